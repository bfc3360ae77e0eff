/* The shortest complete host: parse a map file, walk its records, report
 * a failure, free the records. */
#include <stdio.h>

#include "tamrix_map.h"

int main(int argc, char **argv) {
    uint32_t address;
    const char *name;
    int32_t more;

    if (argc != 2) {
        fputs("usage: host FILE.map\n", stderr);
        return 2;
    }
    if (MapParse(argv[1]) != 0) {
        fputs(GetErrorMessage(), stderr); /* one line, line feed included */
        FreeAllRecords();                 /* records read before the error stay */
        return 1;
    }
    for (more = GetFirstRecord(&address, &name); more == 0; more = GetNextRecord(&address, &name))
        printf("%08X %s\n", (unsigned)address, name);
    printf("%d records\n", (int)GetRecordCount());
    FreeAllRecords();
    return 0;
}
