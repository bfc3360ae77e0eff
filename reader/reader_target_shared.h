// What the reader's targets share, included by each target's unit before
// its target opens: the state, the tokens and the record list they work
// on, all outside any target.
#pragma once

#include "map_reader.h"
#include "map_tokens.h"
#include "record_list.h"
#include "scan_buffer.h"
#include "target_entries.h"
