// The eight functions hosts call (api/exports.txt lists them). None of
// them throws: the reader turns whatever it throws into its outcome.
#include "tamrix_map.h"

#include "messages.h"
#include "parse_driver.h"
#include "record_list.h"

extern "C" {

TAMRIX_MAP_API(int32_t) MapParse(const char *path) { return tamrix::run_map_parse(path); }

TAMRIX_MAP_API(int32_t) GetRecordCount(void) { return tamrix::record_count(); }

TAMRIX_MAP_API(const MapRecord *) GetRecordTop(void) { return tamrix::record_top(); }

TAMRIX_MAP_API(int32_t) GetFirstRecord(uint32_t *value_out, const char **name_out) {
    return tamrix::first_record(value_out, name_out);
}

TAMRIX_MAP_API(int32_t) GetNextRecord(uint32_t *value_out, const char **name_out) {
    return tamrix::next_record(value_out, name_out);
}

TAMRIX_MAP_API(void) FreeAllRecords(void) { tamrix::free_all_records(); }

TAMRIX_MAP_API(const char *) GetErrorMessage(void) { return tamrix::error_message(); }

TAMRIX_MAP_API(const char *) GetMapDllVersion(void) { return tamrix::version_text(); }

}  // extern "C"
