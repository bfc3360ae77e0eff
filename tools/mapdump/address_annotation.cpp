#include "address_annotation.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "address_literal.h"
#include "log_input.h"
#include "symbol_queries.h"

namespace mapdump {
namespace {

constexpr std::size_t longest_address = 10;  // "0x" and eight digits
constexpr std::size_t read_size = 1 << 16;

constexpr bool is_word(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// The address that a whole word spells, read as --lookup reads its
// argument: "0x1A2B" as it stands, a bare "1A2B" as "1A2BH".
std::optional<std::uint32_t> word_address(std::string_view word, bool bare) {
    char literal[longest_address + 2];
    if (word.size() >= 3 && word.size() <= longest_address && word[0] == '0' &&
        (word[1] == 'x' || word[1] == 'X')) {
        word.copy(literal, word.size());
        literal[word.size()] = '\0';
    } else if (bare && (word.size() == 4 || word.size() == 8)) {
        word.copy(literal, word.size());
        literal[word.size()] = 'H';
        literal[word.size() + 1] = '\0';
    } else {
        return std::nullopt;
    }
    std::uint32_t address = 0;
    if (tamrix::ConvertHexAddress(literal, address) != tamrix::CONV_OK) return std::nullopt;
    return address;
}

void put_symbol(OutputBuffer &out, const Annotation &annotation, std::uint32_t address) {
    const SymbolRecord *found = lookup_address(*annotation.by_address, address);
    if (!found || address - found->address >= annotation.max_offset) return;
    put(out, " <");
    put(out, found->name);
    if (address != found->address) {
        put(out, '+');
        put_hex(out, address - found->address);
    }
    put(out, '>');
}

std::size_t word_end(std::string_view text, std::size_t start) {
    while (start < text.size() && is_word(text[start])) ++start;
    return start;
}

// The next "0x" or "0X" that starts a word, found with memchr on the two
// letters rather than byte by byte: the position of its "0", or npos.
// `lower` and `upper` keep the letters found ahead, so that each byte is
// searched once per letter however often this is called.
struct PrefixSearch {
    std::string_view text;
    bool after_word;
    std::size_t lower = 0, upper = 0;  // next 'x' and 'X' at or after the last search's start

    std::size_t next_letter(std::size_t &cached, char letter, std::size_t from) {
        if (from >= text.size()) return text.size();
        if (cached < from) {
            const void *found = std::memchr(text.data() + from, letter, text.size() - from);
            cached = found ? static_cast<std::size_t>(static_cast<const char *>(found) - text.data())
                           : text.size();
        }
        return cached;
    }

    std::size_t next_prefix(std::size_t from) {
        for (;;) {
            std::size_t x = std::min(next_letter(lower, 'x', from + 1), next_letter(upper, 'X', from + 1));
            if (x >= text.size()) return std::string_view::npos;
            std::size_t zero = x - 1;
            bool starts_word = zero == 0 ? !after_word : !is_word(text[zero - 1]);
            if (text[zero] == '0' && starts_word) return zero;
            from = x;
        }
    }
};

// The bytes of `text` that can be annotated now: all of it at the end of
// the input, else all but a last word that is short enough to become an
// address once more bytes arrive.
std::size_t ready_length(std::string_view text, bool at_end) {
    if (at_end) return text.size();
    std::size_t word = 0;
    while (word < text.size() && word <= longest_address && is_word(text[text.size() - 1 - word])) ++word;
    return word <= longest_address ? text.size() - word : text.size();
}

}  // namespace

std::size_t annotate_text(Annotation &annotation, std::string_view text, bool at_end, OutputBuffer &out) {
    std::string_view ready = text.substr(0, ready_length(text, at_end));
    std::size_t written = 0;  // ready[0, written) is in `out`
    auto annotate_word = [&](std::size_t start, std::size_t end) {
        auto address = word_address(ready.substr(start, end - start), annotation.bare);
        if (!address) return;
        put(out, ready.substr(written, end - written));
        put_symbol(out, annotation, *address);
        written = end;
    };

    if (annotation.bare) {
        // Every word is a candidate, so every byte is looked at.
        std::size_t start = annotation.after_word ? word_end(ready, 0) : 0;
        while (start < ready.size()) {
            if (!is_word(ready[start])) {
                ++start;
                continue;
            }
            std::size_t end = word_end(ready, start);
            annotate_word(start, end);
            start = end;
        }
    } else {
        PrefixSearch search{ready, annotation.after_word};
        std::size_t start = 0;
        while ((start = search.next_prefix(start)) != std::string_view::npos) {
            std::size_t end = word_end(ready.substr(0, start + longest_address + 1), start);
            annotate_word(start, end);
            start = end;
        }
    }
    put(out, ready.substr(written));
    if (!ready.empty()) annotation.after_word = is_word(ready.back());
    return ready.size();
}

bool annotate_log(Annotation &annotation, int log, bool live, OutputBuffer &out) {
    annotation.after_word = false;
    std::vector<char> buffer(read_size + longest_address);
    std::size_t held = 0;  // bytes at the front of `buffer` left over by the last call
    for (;;) {
        long got = read_log(log, buffer.data() + held, read_size);
        if (got < 0) return false;
        std::size_t length = held + static_cast<std::size_t>(got);
        std::size_t used = annotate_text(annotation, std::string_view(buffer.data(), length), got == 0, out);
        held = length - used;
        std::memmove(buffer.data(), buffer.data() + used, held);
        if (got == 0) return true;
        if (out.failed || (live && !flush(out))) return true;
    }
}

}  // namespace mapdump
