/* Replays the corpus of write_replay_corpus through the library: for each
 * path, MapParse's result, the message of a failure and the records, with
 * the chain from GetRecordTop checked against the walk. The Linux build
 * writes what it sees as the expected results; a Windows build reads them
 * back and reports every file where it sees something else. One process
 * for the whole corpus: starting a program under wine is slow.
 *
 * usage: replay_host --write CORPUS_DIR   paths.txt in, expected.txt out
 *        replay_host CORPUS_DIR           expected.txt in, differences out
 * Paths are relative to CORPUS_DIR, so the messages are the same on every
 * platform. Exit status: 0, 1 when a file differs, 2 on a usage or I/O
 * error. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <direct.h>
#define change_directory _chdir
#else
#include <unistd.h>
#define change_directory chdir
#endif

#include "tamrix_map.h"

enum { SHOWN_DIFFERENCES = 10, SHOWN_LINES = 12 };

typedef struct Text {
    char *data;
    size_t length, capacity;
} Text;

static void fail(const char *what) {
    fprintf(stderr, "replay_host: %s\n", what);
    exit(2);
}

static void put(Text *text, const char *bytes, size_t count) {
    if (text->length + count + 1 > text->capacity) {
        size_t capacity = text->capacity ? text->capacity : 4096;
        while (text->length + count + 1 > capacity) capacity *= 2;
        text->data = realloc(text->data, capacity);
        if (!text->data) fail("out of memory");
        text->capacity = capacity;
    }
    memcpy(text->data + text->length, bytes, count);
    text->length += count;
    text->data[text->length] = '\0';
}

static void put_format(Text *text, const char *format, ...) {
    char line[64];
    va_list arguments;
    va_start(arguments, format);
    vsprintf(line, format, arguments);
    va_end(arguments);
    put(text, line, strlen(line));
}

/* Bytes outside printable ASCII, and the backslash, as \xHH: a result is
 * one line per field whatever the bytes. */
static void put_escaped(Text *text, const char *bytes) {
    const unsigned char *p;
    for (p = (const unsigned char *)bytes; *p; ++p) {
        if (*p >= 0x20 && *p < 0x7F && *p != '\\')
            put(text, (const char *)p, 1);
        else
            put_format(text, "\\x%02X", *p);
    }
}

static void unescape(char *text) {
    char *out = text;
    while (*text) {
        if (text[0] == '\\' && text[1] == 'x' && text[2] && text[3]) {
            char hex[3] = {text[2], text[3], '\0'};
            *out++ = (char)strtoul(hex, NULL, 16);
            text += 4;
        } else {
            *out++ = *text++;
        }
    }
    *out = '\0';
}

/* What a host sees of one parse; the records are freed afterwards. */
static void replay(const char *path, Text *result) {
    int32_t parsed = MapParse(path), walked = 0, chain_leaves_at = -1, more;
    const MapRecord *node = GetRecordTop();
    uint32_t value;
    const char *name;
    Text walk = {NULL, 0, 0};
    for (more = GetFirstRecord(&value, &name); more == 0; more = GetNextRecord(&value, &name)) {
        put_format(&walk, "%08lX ", (unsigned long)value);
        put_escaped(&walk, name);
        put(&walk, "\n", 1);
        if (chain_leaves_at < 0 && !(node && node->value == value && node->name == name)) chain_leaves_at = walked;
        if (node) node = node->next;
        ++walked;
    }
    if (chain_leaves_at < 0 && node) chain_leaves_at = walked;

    result->length = 0;
    put(result, "== ", 3);
    put_escaped(result, path);
    put_format(result, "\nresult %d\n", (int)parsed);
    if (parsed != 0) {
        put(result, "message ", 8);
        put_escaped(result, GetErrorMessage());
        put(result, "\n", 1);
    }
    put_format(result, "records %d\n", (int)walked);
    if (GetRecordCount() != walked) put_format(result, "GetRecordCount %d\n", (int)GetRecordCount());
    if (chain_leaves_at >= 0) put_format(result, "chain leaves the walk at %d\n", (int)chain_leaves_at);
    if (walk.length) put(result, walk.data, walk.length);
    free(walk.data);
    FreeAllRecords();
}

static char *read_file(const char *path, size_t *size) {
    Text text = {NULL, 0, 0};
    char block[65536];
    size_t got;
    FILE *in = fopen(path, "rb");
    if (!in) return NULL;
    while ((got = fread(block, 1, sizeof block, in)) > 0) put(&text, block, got);
    fclose(in);
    put(&text, "", 0);
    *size = text.length;
    return text.data;
}

/* The number of the first line where two results differ, from 0. */
static size_t first_different_line(const char *a, size_t a_length, const char *b, size_t b_length) {
    size_t at = 0, line = 0;
    while (at < a_length && at < b_length && a[at] == b[at])
        if (a[at++] == '\n') ++line;
    return line;
}

/* SHOWN_LINES lines of a result from line `from` on, indented. */
static void show(const char *label, const char *block, size_t length, size_t from) {
    size_t line = 0, at = 0;
    printf("  %s:\n", label);
    while (at < length) {
        const char *end = memchr(block + at, '\n', length - at);
        size_t size = end ? (size_t)(end - (block + at)) : length - at;
        if (line >= from && line < from + SHOWN_LINES) printf("    %.*s\n", (int)size, block + at);
        ++line;
        at += size + 1;
    }
    if (line > from + SHOWN_LINES) printf("    ... %lu more lines\n", (unsigned long)(line - from - SHOWN_LINES));
}

static int write_expected(void) {
    size_t size, at = 0, files = 0;
    char *paths = read_file("paths.txt", &size);
    FILE *out = fopen("expected.txt", "wb");
    Text result = {NULL, 0, 0};
    if (!paths || !out) fail("cannot read paths.txt or write expected.txt");
    while (at < size) {
        char *end = memchr(paths + at, '\n', size - at);
        if (!end) fail("paths.txt: last line without a line feed");
        *end = '\0';
        replay(paths + at, &result);
        if (fwrite(result.data, 1, result.length, out) != result.length) fail("cannot write expected.txt");
        ++files;
        at = (size_t)(end - paths) + 1;
    }
    if (fclose(out) != 0) fail("cannot write expected.txt");
    printf("replay: expected results of %lu files written\n", (unsigned long)files);
    free(paths);
    free(result.data);
    return 0;
}

static int compare_with_expected(void) {
    size_t size, files = 0, differing = 0;
    char *expected = read_file("expected.txt", &size), *block;
    Text result = {NULL, 0, 0};
    if (!expected || strncmp(expected, "== ", 3) != 0) fail("cannot read expected.txt");
    for (block = expected; block < expected + size;) {
        char *next = strstr(block, "\n== ");
        char *path_end = strchr(block, '\n');
        size_t length = next ? (size_t)(next + 1 - block) : size - (size_t)(block - expected);
        char path[1024];
        size_t path_length = (size_t)(path_end - (block + 3));
        if (path_length >= sizeof path) fail("expected.txt: a path too long");
        memcpy(path, block + 3, path_length);
        path[path_length] = '\0';
        unescape(path);
        replay(path, &result);
        ++files;
        if (result.length != length || memcmp(result.data, block, length) != 0) {
            if (++differing <= SHOWN_DIFFERENCES) {
                size_t line = first_different_line(block, length, result.data, result.length);
                size_t from = line > 2 ? line - 2 : 0;
                printf("DIFFERS: %.*s, from line %lu of its result on\n", (int)path_length, block + 3,
                       (unsigned long)line + 1);
                show("expected (Linux)", block, length, from);
                show("got", result.data, result.length, from);
            }
        }
        block += length;
    }
    printf("replay: %lu files replayed, %lu differ\n", (unsigned long)files, (unsigned long)differing);
    free(expected);
    free(result.data);
    return differing ? 1 : 0;
}

int main(int argc, char **argv) {
    int writing = argc == 3 && strcmp(argv[1], "--write") == 0;
    if (argc != 2 + writing) {
        fprintf(stderr, "usage: replay_host [--write] CORPUS_DIR\n");
        return 2;
    }
    if (change_directory(argv[argc - 1]) != 0) fail("cannot change into the corpus folder");
    return writing ? write_expected() : compare_with_expected();
}
