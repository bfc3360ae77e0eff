// The scanner and the parser with the portable searches, a machine word at
// a time: what every processor runs.
#define TAMRIX_MAP_PORTABLE_SEARCHES
#include "map_scanner.cpp"
#include "map_token_source.cpp"
