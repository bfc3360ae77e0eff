/*
 * tamrix_map: reads the symbol lines of a linker map file and hands them to
 * the host as a list of records (a symbol name and its 32-bit address).
 *
 *   if (MapParse("app.map") != 0) fputs(GetErrorMessage(), stderr);
 *   uint32_t address; const char *name;
 *   for (int32_t more = GetFirstRecord(&address, &name); more == 0;
 *        more = GetNextRecord(&address, &name))
 *       printf("%08X %s\n", address, name);
 *   FreeAllRecords();
 *
 * A symbol line starts in column 1 with a word, goes on with "ADDR" and a
 * blank or tab, an address of one to four hex digits with an H suffix, and
 * a name:  start ADDR 0100H _main  gives the record _main = 0x100.
 * Every other line is skipped.
 *
 * The library keeps one record list, one error message and one scanner for
 * the whole process. It is not thread-safe: call it from one thread at a
 * time. Successive MapParse calls append to the same list.
 */
#ifndef TAMRIX_MAP_H
#define TAMRIX_MAP_H

#include <stdint.h>

/* Calling convention: stdcall on 32-bit Windows (the DLL's exports remove
 * their own arguments), the platform default everywhere else. */
#if defined(_WIN32) && !defined(_WIN64)
#define TAMRIX_MAP_CALL __stdcall
#else
#define TAMRIX_MAP_CALL
#endif

/* Export attribute. On Windows the DLL's .def file names the exports, so
 * the library itself needs no attribute there and hosts import. */
#if defined(_WIN32)
#if defined(TAMRIX_MAP_BUILDING)
#define TAMRIX_MAP_EXPORT
#else
#define TAMRIX_MAP_EXPORT __declspec(dllimport)
#endif
#elif defined(TAMRIX_MAP_BUILDING) && defined(__GNUC__)
#define TAMRIX_MAP_EXPORT __attribute__((visibility("default")))
#else
#define TAMRIX_MAP_EXPORT
#endif

/* Declares one exported function returning `type`. */
#define TAMRIX_MAP_API(type) TAMRIX_MAP_EXPORT type TAMRIX_MAP_CALL

#ifdef __cplusplus
extern "C" {
#endif

/* One record. The host may follow the chain from GetRecordTop() itself.
 * Fields are in this order: on 32-bit targets without gaps, name at
 * offset 0, value at 4, next at 8, a node of 12 bytes; on 64-bit targets
 * name at 0, value at 8 and next at 16 (4 bytes of padding behind value),
 * a node of 24 bytes. All of it is owned by the library and stays valid
 * until FreeAllRecords(). */
typedef struct MapRecord {
    const char *name;       /* zero-terminated symbol name, 8-bit text */
    uint32_t value;         /* the symbol's address */
    const struct MapRecord *next; /* following record, NULL in the last */
} MapRecord;

/* Parses the map file at `path` and appends one record per symbol line to
 * the record list, in file order. The file is read as text: CR bytes are
 * dropped and a Ctrl-Z byte (0x1A) ends the input.
 * Returns 0 on success. Returns -1 on failure, with GetErrorMessage() set to
 * one line that ends in a line feed:
 *   "can't open file PATH"       the file cannot be opened (missing, no
 *                                access, a directory, or path is NULL)
 *   "PATH:LINE: syntax error. \"TEXT\" is invalid."
 *                                the file has no line feed at all, or its
 *                                last line starts with a word in column 1
 *                                and has no line feed
 *   "PATH:LINE: token too large, exceeds YYLMAX"
 *                                a run of 8192 or more word characters
 *   "PATH:LINE: input in flex scanner failed"          a read error
 *   "PATH:LINE: out of dynamic memory in yy_create_buffer()"
 *                                no memory for the scanner's buffer
 *   "PATH:LINE: out of dynamic memory in AddRecord()"
 *                                no memory to store the record of line
 *                                LINE; the parse stops there, so a list
 *                                after a 0 is never missing a record
 * Records appended before a failure stay in the list. Messages longer than
 * 255 characters are cut. */
TAMRIX_MAP_API(int32_t) MapParse(const char *path);

/* Returns the number of records in the list. */
TAMRIX_MAP_API(int32_t) GetRecordCount(void);

/* Returns the first record node, or NULL when the list is empty. */
TAMRIX_MAP_API(const MapRecord *) GetRecordTop(void);

/* Starts (or restarts) the walk at the first record.
 * Returns 0 and writes the record's address to *value_out and its name to
 * *name_out; returns 1 when the list is empty and writes nothing.
 * A NULL output pointer is skipped. */
TAMRIX_MAP_API(int32_t) GetFirstRecord(uint32_t *value_out, const char **name_out);

/* Delivers the next record of the walk, like GetFirstRecord.
 * Returns 0 when a record was delivered; returns 1 and writes nothing when
 * no record is left or no walk has begun. The walk stays ended until the
 * next GetFirstRecord, even if a later MapParse appends records. */
TAMRIX_MAP_API(int32_t) GetNextRecord(uint32_t *value_out, const char **name_out);

/* Releases every record; all record and name pointers become invalid.
 * The list is empty afterwards and the next MapParse starts a new one. */
TAMRIX_MAP_API(void) FreeAllRecords(void);

/* Returns the message of the last failed MapParse, or "" if none failed
 * since the library was loaded. A successful MapParse leaves it as it is.
 * The text lives in a static 256-byte buffer. */
TAMRIX_MAP_API(const char *) GetErrorMessage(void);

/* Returns the version text "tamrix_mal.dll Ver.1.0"; the same pointer on
 * every call. */
TAMRIX_MAP_API(const char *) GetMapDllVersion(void);

#ifdef __cplusplus
}
#endif

#endif /* TAMRIX_MAP_H */
