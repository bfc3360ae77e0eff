/* Loads tamrix_map.dll, parses a map file, frees the records and unloads
 * the DLL, 1,000 times, then parses once more: every cycle must see the same
 * records, and the process's private bytes must grow by less than 64 KiB
 * between cycle 10 and cycle 1,000: a DLL that kept as little as 100 bytes
 * at each unload would fail.
 *
 * usage: load_unload_test PATH_TO_A_MAP_FILE */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "tamrix_map.h"

typedef int32_t(WINAPI *MapParseFn)(const char *path);
typedef int32_t(WINAPI *WalkFn)(uint32_t *value_out, const char **name_out);
typedef void(WINAPI *FreeAllRecordsFn)(void);

enum { CYCLES = 1000, SETTLED = 10, MOST_GROWTH = 64 * 1024 };

/* One cycle: what the host saw, as "name=value " text, or an empty text
 * if the DLL or an export could not be had. */
static void cycle(const char *path, char *seen, size_t size) {
    HMODULE module = LoadLibraryA("tamrix_map.dll");
    MapParseFn map_parse;
    WalkFn first, next;
    FreeAllRecordsFn free_all;
    size_t used = 0;
    uint32_t value;
    const char *name;
    int32_t more;
    seen[0] = '\0';
    if (!module) return;
    map_parse = (MapParseFn)(void (*)(void))GetProcAddress(module, "MapParse");
    first = (WalkFn)(void (*)(void))GetProcAddress(module, "GetFirstRecord");
    next = (WalkFn)(void (*)(void))GetProcAddress(module, "GetNextRecord");
    free_all = (FreeAllRecordsFn)(void (*)(void))GetProcAddress(module, "FreeAllRecords");
    if (map_parse && first && next && free_all) {
        used += (size_t)snprintf(seen, size, "%ld:", (long)map_parse(path));
        for (more = first(&value, &name); more == 0 && used < size; more = next(&value, &name))
            used += (size_t)snprintf(seen + used, size - used, " %s=%lX", name, (unsigned long)value);
        free_all();
    }
    FreeLibrary(module);
}

/* Committed private memory, summed over the address space as VirtualQuery
 * reports it (wine leaves GetProcessMemoryInfo's PrivateUsage at 0). */
static SIZE_T private_bytes(void) {
    MEMORY_BASIC_INFORMATION region;
    const char *address = NULL;
    SIZE_T total = 0;
    while (VirtualQuery(address, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        if ((const char *)region.BaseAddress + region.RegionSize <= address) break;
        address = (const char *)region.BaseAddress + region.RegionSize;
    }
    return total;
}

int main(int argc, char **argv) {
    static char first_seen[8192];
    static char seen[8192];
    SIZE_T settled = 0, last = 0;
    int i, differing = 0;
    if (argc != 2) {
        fprintf(stderr, "usage: load_unload_test MAP_FILE\n");
        return 1;
    }
    cycle(argv[1], first_seen, sizeof first_seen);
    if (strncmp(first_seen, "0:", 2) != 0) {
        fprintf(stderr, "first cycle failed: \"%s\"\n", first_seen);
        return 1;
    }
    for (i = 2; i <= CYCLES + 1; ++i) {
        cycle(argv[1], seen, sizeof seen);
        if (strcmp(seen, first_seen) != 0 && differing++ == 0)
            fprintf(stderr, "cycle %d saw \"%s\"\n  not \"%s\"\n", i, seen, first_seen);
        if (i == SETTLED) settled = private_bytes();
        if (i == CYCLES) last = private_bytes();
    }
    printf("records each cycle: %s\n", first_seen);
    printf("private bytes after cycle %d: %lu, after cycle %d: %lu (growth %ld)\n", SETTLED,
           (unsigned long)settled, CYCLES, (unsigned long)last, (long)last - (long)settled);
    if (settled == 0 || last == 0) {
        fprintf(stderr, "VirtualQuery failed\n");
        return 1;
    }
    if (differing) fprintf(stderr, "%d cycles saw other records\n", differing);
    if (last > settled && last - settled >= MOST_GROWTH) fprintf(stderr, "private bytes grew by 64 KiB or more\n");
    return differing == 0 && (last <= settled || last - settled < MOST_GROWTH) ? 0 : 1;
}
