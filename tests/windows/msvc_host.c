/* A host linked the way MSVC links one: against tamrix_map.lib, with no C
 * runtime at all (its own entry point, the few KERNEL32 functions it calls
 * declared here). It parses each file named on its command line and prints
 * the result, the records by walk and by node chain, the message of a
 * failure and the version text. The same source builds for Linux with the
 * C library, so that both outputs can be compared byte for byte.
 *
 * Build (see build_msvc_host.sh):
 *   clang-cl-14 --target=i686-pc-windows-msvc /c /O1 /GS- /I include -- msvc_host.c
 *   lld-link /nodefaultlib /entry:host_entry /subsystem:console
 *            msvc_host.obj tamrix_map.lib kernel32.lib */
#include <stddef.h>
#include <stdint.h>

#include "tamrix_map.h"

#ifdef _WIN32
__declspec(dllimport) void *__stdcall GetStdHandle(uint32_t which);
__declspec(dllimport) int __stdcall WriteFile(void *file, const void *bytes, uint32_t size,
                                              uint32_t *written, void *overlapped);
__declspec(dllimport) char *__stdcall GetCommandLineA(void);
__declspec(dllimport) void __stdcall ExitProcess(uint32_t code);
#define STD_OUTPUT_HANDLE ((uint32_t)-11)
#else
#include <unistd.h>
#endif

static char out_buffer[4096];
static size_t out_used;

static void flush_out(void) {
    size_t done = 0;
    while (done < out_used) {
#ifdef _WIN32
        uint32_t written = 0;
        /* WriteFile leaves the bytes as they are: no CR is added. */
        if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out_buffer + done, (uint32_t)(out_used - done),
                       &written, NULL) || written == 0)
            break;
#else
        ssize_t written = write(1, out_buffer + done, out_used - done);
        if (written <= 0) break;
#endif
        done += (size_t)written;
    }
    out_used = 0;
}

static void put_char(char c) {
    if (out_used == sizeof out_buffer) flush_out();
    out_buffer[out_used++] = c;
}

static void put_text(const char *text) {
    while (*text) put_char(*text++);
}

static void put_hex8(uint32_t value) {
    int shift;
    for (shift = 28; shift >= 0; shift -= 4) put_char("0123456789ABCDEF"[(value >> shift) & 15]);
}

static void put_decimal(int32_t value) {
    char digits[12];
    int n = 0;
    uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
    if (value < 0) put_char('-');
    do {
        digits[n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    while (n) put_char(digits[--n]);
}

static void put_record(uint32_t value, const char *name) {
    put_hex8(value);
    put_char(' ');
    put_text(name);
    put_char('\n');
}

/* Parses one file and prints what a host sees of it. */
static void show(const char *path) {
    uint32_t value;
    const char *name;
    const MapRecord *node;
    int32_t result = MapParse(path);
    put_text("MapParse ");
    put_text(path);
    put_text(" = ");
    put_decimal(result);
    put_char('\n');
    if (result != 0) {
        put_text("message: ");
        put_text(GetErrorMessage());
    }
    put_text("walk, ");
    put_decimal(GetRecordCount());
    put_text(" records:\n");
    for (result = GetFirstRecord(&value, &name); result == 0; result = GetNextRecord(&value, &name))
        put_record(value, name);
    put_text("chain:\n");
    for (node = GetRecordTop(); node; node = node->next) put_record(node->value, node->name);
    FreeAllRecords();
}

#ifdef _WIN32
/* The command line split at blanks, double quotes grouping (enough for the
 * paths the tests pass). Writes the arguments in place, returns their count. */
static int split_arguments(char *line, char **argv, int most) {
    int argc = 0;
    while (*line && argc < most) {
        char *word;
        while (*line == ' ' || *line == '\t') ++line;
        if (!*line) break;
        word = argv[argc++] = line;
        while (*line && *line != ' ' && *line != '\t') {
            if (*line == '"') {
                for (++line; *line && *line != '"'; ++line) *word++ = *line;
                if (*line) ++line;
            } else {
                *word++ = *line++;
            }
        }
        if (*line) ++line;
        *word = '\0';
    }
    return argc;
}
#endif

static int run(int argc, char **argv) {
    int i;
    for (i = 1; i < argc; ++i) show(argv[i]);
    put_text("version: ");
    put_text(GetMapDllVersion());
    put_char('\n');
    flush_out();
    return 0;
}

#ifdef _WIN32
void host_entry(void) {
    char *argv[64];
    ExitProcess((uint32_t)run(split_arguments(GetCommandLineA(), argv, 64), argv));
}
#else
int main(int argc, char **argv) {
    return run(argc, argv);
}
#endif
