/* A Windows host of tamrix_map.dll: loads the DLL at run time, resolves the
 * exports by name and by ordinal, and drives them the way a host program
 * does. Builds for 32- and 64-bit Windows; the header's prototypes must
 * match the WINAPI function types written here, which on 32-bit Windows
 * means they carry __stdcall. */
#include <windows.h>

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "tamrix_map.h"
#include "tamrix_map_exports.h"

/* The type of each export, as a host writes it: name##Fn. */
typedef int32_t(WINAPI *MapParseFn)(const char *path);
typedef int32_t(WINAPI *GetRecordCountFn)(void);
typedef const MapRecord *(WINAPI *GetRecordTopFn)(void);
typedef int32_t(WINAPI *GetFirstRecordFn)(uint32_t *value_out, const char **name_out);
typedef GetFirstRecordFn GetNextRecordFn;
typedef void(WINAPI *FreeAllRecordsFn)(void);
typedef const char *(WINAPI *GetErrorMessageFn)(void);
typedef GetErrorMessageFn GetMapDllVersionFn;

/* A calling convention that differs makes the function types incompatible,
 * and _Generic picks the default branch. */
#define SAME_TYPE(function, type) _Generic(&function, type: 1, default: 0)
#define ASSERT_SAME_TYPE(ordinal, name, bytes) _Static_assert(SAME_TYPE(name, name##Fn), #name);
TAMRIX_MAP_EXPORTS(ASSERT_SAME_TYPE)
_Static_assert(sizeof(void *) != 4 || (sizeof(MapRecord) == 12 && offsetof(MapRecord, value) == 4 &&
                                       offsetof(MapRecord, next) == 8),
               "record node layout on 32-bit Windows");

/* Every export of the table, resolved. */
#define EXPORT_FIELD(ordinal, name, bytes) name##Fn name;
static struct {
    TAMRIX_MAP_EXPORTS(EXPORT_FIELD)
} dll;
#define COUNT_EXPORT(ordinal, name, bytes) +1
enum { EXPORT_COUNT = 0 TAMRIX_MAP_EXPORTS(COUNT_EXPORT) };

static int passed = 0;
static int failed = 0;

static void check(int ok, const char *what, int line) {
    if (ok) {
        ++passed;
    } else {
        ++failed;
        fprintf(stderr, "win_host_test.c:%d: check failed: %s\n", line, what);
    }
}
#define CHECK(condition) check((condition) != 0, #condition, __LINE__)

static void check_text(const char *actual, const char *expected, int line) {
    int ok = actual != NULL && strcmp(actual, expected) == 0;
    check(ok, "text", line);
    if (!ok) fprintf(stderr, "  expected: \"%s\"\n  actual:   \"%s\"\n", expected, actual ? actual : "(null)");
}
#define CHECK_TEXT(actual, expected) check_text((actual), (expected), __LINE__)

/* Resolves one export by name and by ordinal; both must give one address. */
static FARPROC resolve(HMODULE module, const char *name, WORD ordinal) {
    FARPROC by_name = GetProcAddress(module, name);
    FARPROC by_ordinal = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    int ok = by_name != NULL && by_name == by_ordinal;
    check(ok, name, __LINE__);
    if (!ok)
        fprintf(stderr, "  %s: by name %#llx, by ordinal %u %#llx\n", name,
                (unsigned long long)(uintptr_t)by_name, ordinal, (unsigned long long)(uintptr_t)by_ordinal);
    return by_name;
}

/* FARPROC converts to the export's own type through the generic function
 * pointer type. */
#define RESOLVE(module, name, type, ordinal) \
    (dll.name = (type)(void (*)(void))resolve((module), #name, (ordinal)))

static char temp_dir[MAX_PATH];
static int file_number = 0;

/* Writes `size` bytes into a new file and returns its path (static). */
static const char *write_map(const char *bytes, size_t size) {
    static char path[MAX_PATH + 32];
    FILE *out;
    snprintf(path, sizeof path, "%stamrix_win_host_%lu_%d.map", temp_dir, GetCurrentProcessId(), file_number++);
    out = fopen(path, "wb");
    CHECK(out != NULL);
    if (out) {
        CHECK(fwrite(bytes, 1, size, out) == size);
        fclose(out);
    }
    return path;
}
#define WRITE_MAP(literal) write_map((literal), sizeof(literal) - 1)

/* Walks the list with GetFirstRecord/GetNextRecord and along the nodes
 * from GetRecordTop at once, and compares both with "name=value " text. */
static void check_records(const char *expected, int line) {
    char seen[512] = "";
    size_t used = 0;
    uint32_t value = 0;
    const char *name = NULL;
    const MapRecord *node = dll.GetRecordTop();
    int count = 0;
    int more;
    for (more = dll.GetFirstRecord(&value, &name); more == 0; more = dll.GetNextRecord(&value, &name)) {
        check(node != NULL && node->name == name && node->value == value, "node matches the walk", line);
        node = node ? node->next : NULL;
        used += (size_t)snprintf(seen + used, sizeof seen - used, "%s=%X ", name, (unsigned)value);
        ++count;
        if (used >= sizeof seen) break;
    }
    check(more == 1, "walk ends with 1", line);
    check(node == NULL, "chain ends with the walk", line);
    check(dll.GetRecordCount() == count, "count matches the walk", line);
    check_text(seen, expected, line);
}
#define CHECK_RECORDS(expected) check_records((expected), __LINE__)

static void at_load(void) {
    uint32_t value = 7;
    const char *name = "untouched";
    CHECK_TEXT(dll.GetErrorMessage(), "");
    CHECK(dll.GetRecordCount() == 0);
    CHECK(dll.GetRecordTop() == NULL);
    CHECK(dll.GetFirstRecord(&value, &name) == 1);
    CHECK(dll.GetNextRecord(&value, &name) == 1);
    CHECK(value == 7 && strcmp(name, "untouched") == 0);
    CHECK_TEXT(dll.GetMapDllVersion(), "tamrix_mal.dll Ver.1.0");
    CHECK(dll.GetMapDllVersion() == dll.GetMapDllVersion());
}

static void text_rules(void) {
    /* CR LF line ends, a header, a record with trailing text. */
    CHECK(dll.MapParse(WRITE_MAP("LINK MAP\r\n\r\nstart ADDR 0100H _start\r\n"
                                 "  indented ADDR 0010H no\r\nlib ADDR 04f0h _printf (libc)\r\n")) == 0);
    CHECK_RECORDS("_start=100 _printf=4F0 ");
    /* A lone CR vanishes; Ctrl-Z ends the input; later parses append. */
    CHECK(dll.MapParse(WRITE_MAP("a ADDR 1H AB\rCD\n\x1A" "b ADDR 2H lost\n")) == 0);
    CHECK_RECORDS("_start=100 _printf=4F0 ABCD=1 ");
    CHECK_TEXT(dll.GetErrorMessage(), "");
    dll.FreeAllRecords();
    CHECK(dll.GetRecordCount() == 0 && dll.GetRecordTop() == NULL);
}

static void messages(void) {
    char expected[MAX_PATH + 128];
    char missing[MAX_PATH + 32];
    const char *path;
    static char long_word[8192 + 32];

    CHECK(dll.MapParse(WRITE_MAP("x ADDR 5H kept\n")) == 0);

    snprintf(missing, sizeof missing, "%stamrix_win_host_missing.map", temp_dir);
    CHECK(dll.MapParse(missing) == -1);
    snprintf(expected, sizeof expected, "can't open file %s\n", missing);
    CHECK_TEXT(dll.GetErrorMessage(), expected);
    CHECK_RECORDS("kept=5 ");

    path = WRITE_MAP("p ADDR 6H q\n\nr");
    CHECK(dll.MapParse(path) == -1);
    snprintf(expected, sizeof expected, "%s:3: syntax error. \"\" is invalid.\n", path);
    CHECK_TEXT(dll.GetErrorMessage(), expected);
    CHECK_RECORDS("kept=5 q=6 ");

    /* A success leaves the last failure's message. */
    CHECK(dll.MapParse(WRITE_MAP("s ADDR 7H t\n")) == 0);
    CHECK_TEXT(dll.GetErrorMessage(), expected);

    /* An over-long word fails the parse; the host process goes on. */
    strcpy(long_word, "u ADDR 8H v\n");
    memset(long_word + strlen(long_word), 'w', 8192);
    strcat(long_word, "\n");
    path = write_map(long_word, strlen(long_word));
    CHECK(dll.MapParse(path) == -1);
    snprintf(expected, sizeof expected, "%s:2: token too large, exceeds YYLMAX\n", path);
    CHECK_TEXT(dll.GetErrorMessage(), expected);
    CHECK_RECORDS("kept=5 q=6 t=7 v=8 ");
    dll.FreeAllRecords();
}

static void walk(void) {
    uint32_t value = 0;
    const char *name = NULL;
    CHECK(dll.MapParse(WRITE_MAP("a ADDR 1H one\nb ADDR 2H two\n")) == 0);
    CHECK(dll.GetFirstRecord(&value, &name) == 0 && value == 1 && strcmp(name, "one") == 0);
    CHECK(dll.GetNextRecord(&value, &name) == 0 && value == 2 && strcmp(name, "two") == 0);
    CHECK(dll.GetNextRecord(&value, &name) == 1);
    /* An ended walk stays ended when a parse appends; a new one sees all. */
    CHECK(dll.MapParse(WRITE_MAP("c ADDR FFFFH three\n")) == 0);
    CHECK(dll.GetNextRecord(&value, &name) == 1 && value == 2 && strcmp(name, "two") == 0);
    CHECK_RECORDS("one=1 two=2 three=FFFF ");
    dll.FreeAllRecords();
    CHECK(dll.GetFirstRecord(&value, &name) == 1);
}

int main(void) {
    HMODULE module = LoadLibraryA("tamrix_map.dll");
    int i;
    if (!module) {
        fprintf(stderr, "LoadLibraryA(\"tamrix_map.dll\") failed: error %lu\n", GetLastError());
        return 1;
    }
#define RESOLVE_EXPORT(ordinal, name, bytes) RESOLVE(module, name, name##Fn, ordinal);
    TAMRIX_MAP_EXPORTS(RESOLVE_EXPORT)
    CHECK(GetProcAddress(module, MAKEINTRESOURCEA(EXPORT_COUNT + 1)) == NULL);
    if (failed) return 1;
    if (!GetTempPathA(sizeof temp_dir, temp_dir)) return 1;

    at_load();
    text_rules();
    messages();
    walk();

    for (i = 0; i < file_number; ++i) {
        char path[MAX_PATH + 32];
        snprintf(path, sizeof path, "%stamrix_win_host_%lu_%d.map", temp_dir, GetCurrentProcessId(), i);
        DeleteFileA(path);
    }
    FreeLibrary(module);
    printf("win_host_test: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
