/* A host written in C: compiles the public header as C and checks, in a
 * fresh process, the state at load and one parse through the exports. */
#include <stdio.h>
#include <string.h>

#include "tamrix_map.h"

static int failures = 0;

#define CHECK(condition)                                                   \
    do {                                                                   \
        if (!(condition)) {                                                \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                    \
        }                                                                  \
    } while (0)

int main(int argc, char **argv) {
    uint32_t value = 42;
    const char *name = "untouched";
    const MapRecord *node;

    if (argc != 2) {
        fprintf(stderr, "usage: c_host_test FILE.map\n");
        return 2;
    }
    /* At load. */
    CHECK(strcmp(GetErrorMessage(), "") == 0);
    CHECK(GetRecordCount() == 0);
    CHECK(GetRecordTop() == NULL);
    CHECK(GetFirstRecord(&value, &name) == 1);
    CHECK(GetNextRecord(&value, &name) == 1);
    CHECK(value == 42 && strcmp(name, "untouched") == 0);
    CHECK(strcmp(GetMapDllVersion(), "tamrix_mal.dll Ver.1.0") == 0);
    CHECK(GetMapDllVersion() == GetMapDllVersion());

    /* One parse, walked both ways. */
    CHECK(MapParse(argv[1]) == 0);
    CHECK(strcmp(GetErrorMessage(), "") == 0);
    CHECK(GetRecordCount() == 4);
    node = GetRecordTop();
    CHECK(GetFirstRecord(&value, &name) == 0);
    CHECK(node != NULL && node->value == value && node->name == name);
    CHECK(value == 0x100 && strcmp(name, "_start") == 0);
    while (GetNextRecord(&value, &name) == 0) {
        node = node ? node->next : NULL;
        CHECK(node != NULL && node->value == value && node->name == name);
    }
    CHECK(node != NULL && node->next == NULL);
    CHECK(value == 0xFFFF && strcmp(name, "data_end") == 0);
    FreeAllRecords();
    CHECK(GetRecordCount() == 0 && GetRecordTop() == NULL);

    if (sizeof(void *) == 4) CHECK(sizeof(MapRecord) == 12);
    if (failures == 0) printf("c_host_test: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
