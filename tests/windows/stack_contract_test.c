/* The 32-bit DLL's calling convention, measured: each export is resolved by
 * name and by ordinal and called through a stub that records ESP before
 * the arguments are pushed and after the call returns. A stdcall function
 * removes its own arguments: MapParse 4 bytes, GetFirstRecord and
 * GetNextRecord 8, the others none. Every export is called with ESP at each
 * of the four 4-byte offsets within 16 bytes, since hosts built by MSVC
 * keep the stack aligned to 4 bytes only, and must give the same results.
 *
 * usage: stack_contract_test PATH_TO_A_MAP_FILE */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "tamrix_map.h"
#include "tamrix_map_exports.h"

/* uint32_t measured_call(const void *function, uint32_t argument_count,
 *                        const uint32_t *arguments, uint32_t esp_offset,
 *                        int32_t *removed)
 * Calls `function` with ESP = `esp_offset` (mod 16) at the call instruction
 * and stores in *removed how many bytes of arguments the callee took off
 * the stack. Callers' registers are kept as the cdecl convention wants. */
__asm__(".text\n"
        ".globl _measured_call\n"
        "_measured_call:\n"
        "    pushl %ebp\n"
        "    movl %esp, %ebp\n"
        "    pushl %esi\n"
        "    pushl %edi\n"
        "    pushl %ebx\n"
        "    movl 8(%ebp), %eax\n"        /* function */
        "    movl 12(%ebp), %ecx\n"       /* argument count */
        "    movl 16(%ebp), %edx\n"       /* arguments */
        "    movl %esp, %edi\n"           /* edi: ESP at the call */
        "    subl $64, %edi\n"
        "    andl $-16, %edi\n"
        "    addl 20(%ebp), %edi\n"
        "    leal (%edi,%ecx,4), %esp\n"  /* ESP before the pushes */
        "    jecxz 2f\n"
        "1:  pushl -4(%edx,%ecx,4)\n"     /* last argument first */
        "    loop 1b\n"
        "2:  call *%eax\n"
        "    movl %esp, %ecx\n"           /* edi survives: callee-saved */
        "    subl %edi, %ecx\n"
        "    leal -12(%ebp), %esp\n"
        "    movl 24(%ebp), %edx\n"
        "    movl %ecx, (%edx)\n"
        "    popl %ebx\n"
        "    popl %edi\n"
        "    popl %esi\n"
        "    popl %ebp\n"
        "    ret\n");
uint32_t measured_call(const void *function, uint32_t argument_count, const uint32_t *arguments,
                       uint32_t esp_offset, int32_t *removed);

/* Each export's place in the table: its ordinal less one. */
#define EXPORT_INDEX(ordinal, name, bytes) AT_##name = (ordinal)-1,
#define COUNT_EXPORT(ordinal, name, bytes) +1
enum { TAMRIX_MAP_EXPORTS(EXPORT_INDEX) EXPORTS = 0 TAMRIX_MAP_EXPORTS(COUNT_EXPORT) };

#define EXPORT_ROW(ordinal, name, bytes) {#name, bytes},
static const struct {
    const char *name;
    int32_t removes; /* bytes of arguments the function takes off the stack */
} exports[EXPORTS] = {TAMRIX_MAP_EXPORTS(EXPORT_ROW)};

static const void *by_name[EXPORTS];
static const void *by_ordinal[EXPORTS];
static int32_t removed_seen[EXPORTS];
static int failures = 0;

/* Calls one export (through its ordinal's address on odd rounds) and
 * checks how much stack it removed. */
static uint32_t call(int export_index, int round, uint32_t first, uint32_t second) {
    uint32_t arguments[2] = {first, second};
    uint32_t count = (uint32_t)exports[export_index].removes / 4;
    const void *function = (round & 1) ? by_ordinal[export_index] : by_name[export_index];
    int32_t removed = -1;
    uint32_t result = measured_call(function, count, arguments, (uint32_t)(round * 4), &removed);
    if (removed != exports[export_index].removes) {
        fprintf(stderr, "%s at ESP offset %d removed %ld bytes, expected %ld\n", exports[export_index].name,
                round * 4, (long)removed, (long)exports[export_index].removes);
        ++failures;
    }
    removed_seen[export_index] = removed;
    return result;
}

/* One round of calls; what the host sees goes into `seen` as text. */
static void one_round(int round, const char *path, const char *missing, char *seen, size_t size) {
    size_t used = 0;
    uint32_t value = 0;
    const char *name = NULL;
    int32_t parsed = (int32_t)call(AT_MapParse, round, (uint32_t)(uintptr_t)path, 0);
    int32_t count = (int32_t)call(AT_GetRecordCount, round, 0, 0);
    const MapRecord *top = (const MapRecord *)(uintptr_t)call(AT_GetRecordTop, round, 0, 0);
    int32_t more;
    used += (size_t)snprintf(seen + used, size - used, "parse %ld, %ld records, top %s=%lX:", (long)parsed,
                             (long)count, top ? top->name : "(none)", top ? (unsigned long)top->value : 0ul);
    for (more = (int32_t)call(AT_GetFirstRecord, round, (uint32_t)(uintptr_t)&value, (uint32_t)(uintptr_t)&name);
         more == 0 && used < size;
         more = (int32_t)call(AT_GetNextRecord, round, (uint32_t)(uintptr_t)&value, (uint32_t)(uintptr_t)&name))
        used += (size_t)snprintf(seen + used, size - used, " %s=%lX", name, (unsigned long)value);
    parsed = (int32_t)call(AT_MapParse, round, (uint32_t)(uintptr_t)missing, 0);
    used += (size_t)snprintf(seen + used, size - used, "; missing %ld: %s", (long)parsed,
                             (const char *)(uintptr_t)call(AT_GetErrorMessage, round, 0, 0));
    call(AT_FreeAllRecords, round, 0, 0);
    snprintf(seen + used, size - used, "after free %ld; %s", (long)call(AT_GetRecordCount, round, 0, 0),
             (const char *)(uintptr_t)call(AT_GetMapDllVersion, round, 0, 0));
}

int main(int argc, char **argv) {
    static char first_round[4096];
    static char this_round[4096];
    HMODULE module = LoadLibraryA("tamrix_map.dll");
    int i;
    if (argc != 2 || !module) {
        fprintf(stderr, "usage: stack_contract_test MAP_FILE (with tamrix_map.dll beside it)\n");
        return 1;
    }
    for (i = 0; i < EXPORTS; ++i) {
        by_name[i] = (const void *)GetProcAddress(module, exports[i].name);
        by_ordinal[i] = (const void *)GetProcAddress(module, MAKEINTRESOURCEA(i + 1));
        if (!by_name[i] || by_name[i] != by_ordinal[i]) {
            fprintf(stderr, "%s: by name %p, by ordinal %d %p\n", exports[i].name, by_name[i], i + 1,
                    by_ordinal[i]);
            return 1;
        }
    }
    one_round(0, argv[1], "tamrix_no_such.map", first_round, sizeof first_round);
    printf("ESP offset 0: %s\n", first_round);
    for (i = 1; i < 4; ++i) {
        one_round(i, argv[1], "tamrix_no_such.map", this_round, sizeof this_round);
        if (strcmp(this_round, first_round) != 0) {
            printf("ESP offset %d: %s\n", i * 4, this_round);
            ++failures;
        }
    }
    for (i = 0; i < EXPORTS; ++i)
        printf("%d %-16s removes %ld bytes (expected %ld)\n", i + 1, exports[i].name, (long)removed_seen[i],
               (long)exports[i].removes);
    FreeLibrary(module);
    printf("stack_contract_test: %s\n", failures ? "FAILED" : "passed");
    return failures ? 1 : 0;
}
