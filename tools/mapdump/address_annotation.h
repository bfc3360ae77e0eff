// mapdump annotate: every address in a text followed by the symbol that
// covers it, " <NAME+0xOFF>", as --lookup finds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "output_buffer.h"
#include "symbol_records.h"

namespace mapdump {

struct Annotation {
    const std::vector<SymbolRecord> *by_address;  // stably sorted by address
    std::uint32_t max_offset;                     // offsets from here on are not annotated
    bool bare;                                    // 4 or 8 hex digits alone are addresses too
    bool after_word = false;                      // the byte before the next text is a word character
};

// Appends `text` to `out`, each address word in it followed by its symbol.
// An address is a whole word (a run of [0-9A-Za-z_]): 0x or 0X and one to
// eight hex digits, or with `bare` exactly four or eight hex digits.
// Unless `at_end`, a short word at the end of `text` may still grow into
// an address and is left for the next call, which must receive it again in
// front of what follows. Returns how many bytes of `text` were used.
std::size_t annotate_text(Annotation &annotation, std::string_view text, bool at_end, OutputBuffer &out);

// Annotates the whole of `log` (from open_log). With `live`, what is done
// is written out before every read that may wait. Returns false on a read
// error, with errno set; stops early when writing fails.
bool annotate_log(Annotation &annotation, int log, bool live, OutputBuffer &out);

}  // namespace mapdump
