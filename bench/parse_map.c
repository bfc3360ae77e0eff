/* The library's side of the benchmark: a host that parses one map file,
 * walks every record and frees them, as an application would.
 *
 *   parse_map [--warm-up MAP] FILE
 *
 * With --warm-up, MAP (a small map) is parsed first and not timed: the
 * library's code is then paged in and its reading buffer allocated, as in
 * a host that has parsed before, so that the timed figure is the cost of
 * FILE alone. The timed parse still takes all its record storage afresh.
 *
 * Prints one line of key=value pairs: the record count, a checksum of the
 * records (the sum of their addresses and of their name lengths), the time
 * spent in parse_walk_free, and the peak resident size before and after
 * (Linux only: it reads /proc/self/status). */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "tamrix_map.h"

struct walk_result {
    int32_t parse_result;
    uint64_t records;
    uint64_t address_sum;
    uint64_t name_bytes;
};

/* The high-water mark of this program's resident size. getrusage's
 * ru_maxrss would not do: it keeps the peak of whatever process image
 * this one was exec'd from, e.g. a large benchmark driver. */
static long peak_rss_kib(void) {
    char line[256];
    long kib = -1;
    FILE *status = fopen("/proc/self/status", "r");
    if (!status) return -1;
    while (fgets(line, sizeof line, status))
        if (sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    fclose(status);
    return kib;
}

/* Everything the benchmark measures, in one function so that callgrind can
 * count exactly this (--toggle-collect=parse_walk_free). */
__attribute__((noinline)) void parse_walk_free(const char *path, struct walk_result *out) {
    uint32_t address;
    const char *name;
    memset(out, 0, sizeof *out);
    out->parse_result = MapParse(path);
    for (int32_t more = GetFirstRecord(&address, &name); more == 0; more = GetNextRecord(&address, &name)) {
        out->records++;
        out->address_sum += address;
        out->name_bytes += strlen(name);
    }
    FreeAllRecords();
}

int main(int argc, char **argv) {
    const char *warm_up = NULL;
    if (argc == 4 && strcmp(argv[1], "--warm-up") == 0) {
        warm_up = argv[2];
        argv += 2;
        argc -= 2;
    }
    if (argc != 2) {
        fprintf(stderr, "usage: parse_map [--warm-up MAP] FILE\n");
        return 2;
    }
    if (warm_up) {
        if (MapParse(warm_up) != 0) {
            fputs(GetErrorMessage(), stderr);
            return 1;
        }
        FreeAllRecords();
    }
    long rss_before = peak_rss_kib();
    struct timespec start, end;
    struct walk_result result;
    clock_gettime(CLOCK_MONOTONIC, &start);
    parse_walk_free(argv[1], &result);
    clock_gettime(CLOCK_MONOTONIC, &end);
    if (result.parse_result != 0) {
        fputs(GetErrorMessage(), stderr);
        return 1;
    }
    double seconds = (double)(end.tv_sec - start.tv_sec) + (double)(end.tv_nsec - start.tv_nsec) / 1e9;
    printf("records=%llu address_sum=%llu name_bytes=%llu seconds=%.6f rss_before_kib=%ld rss_peak_kib=%ld\n",
           (unsigned long long)result.records, (unsigned long long)result.address_sum,
           (unsigned long long)result.name_bytes, seconds, rss_before, peak_rss_kib());
    return 0;
}
