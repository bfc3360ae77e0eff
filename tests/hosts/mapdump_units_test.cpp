// mapdump's pieces that decide what a user reads: escaping, lookup, diff,
// annotation and the command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "address_annotation.h"
#include "command_line.h"
#include "map_diff.h"
#include "output_formats.h"
#include "symbol_queries.h"

namespace {

using namespace std::string_view_literals;

template <typename Write>
std::string rendered(Write write) {
    mapdump::OutputBuffer out{nullptr, {}};
    write(out);
    return out.pending;
}

std::vector<mapdump::SymbolRecord> records_of(std::vector<std::pair<std::uint32_t, std::string>> list) {
    std::vector<mapdump::SymbolRecord> records;
    for (auto &[address, name] : list) records.push_back({0, address, name});
    return records;
}

struct Escape {
    const char *input;
    const char *json;
};

TEST(MapdumpJsonString, EscapesControlsAndKeepsOnlyValidUtf8) {
    const Escape cases[] = {
        {"_main", R"("_main")"},
        {"a\"b\\c/d", R"("a\"b\\c/d")"},
        {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
        {"\x01\x1f\x7f", R"("\u0001\u001f\u007f")"},
        {"caf\xc3\xa9", "\"caf\xc3\xa9\""},  // UTF-8 kept
        {"\xe2\x82\xac \xf0\x9f\x98\x80", "\"\xe2\x82\xac \xf0\x9f\x98\x80\""},
        {"\xe9t\xe9", R"("\u00e9t\u00e9")"},                    // Latin-1 bytes
        {"\x80", R"("\u0080")"},                                // lone continuation
        {"\xc0\xaf", R"("\u00c0\u00af")"},                      // overlong
        {"\xed\xa0\x80", R"("\u00ed\u00a0\u0080")"},            // surrogate
        {"\xe2\x82", R"("\u00e2\u0082")"},                      // cut short
        {"\xf4\x90\x80\x80", R"("\u00f4\u0090\u0080\u0080")"},  // above U+10FFFF
        {"\xff\xc3\xa9", "\"\\u00ff\xc3\xa9\""},                // bad byte, then good
    };
    for (const Escape &c : cases)
        EXPECT_EQ(rendered([&](auto &out) { mapdump::put_json_string(out, c.input); }), c.json) << c.input;
    EXPECT_EQ(rendered([](auto &out) { mapdump::put_json_string(out, std::string("a\0b", 3)); }),
              R"("a\u0000b")");
}

TEST(MapdumpCsvField, QuotesOnlyWhatNeedsIt) {
    const Escape cases[] = {
        {"plain.map", "plain.map"},
        {"a b;c", "a b;c"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
    };
    for (const Escape &c : cases)
        EXPECT_EQ(rendered([&](auto &out) { mapdump::put_csv_field(out, c.input); }), c.json) << c.input;
}

TEST(MapdumpFormats, FormatsShowAddressesTheirOwnWay) {
    std::vector<std::string> files{"x.map"};
    auto records = records_of({{0x1A2B, "_start"}, {0xFFFFFFFF, "top"}});
    EXPECT_EQ(rendered([&](auto &out) { write_records(out, mapdump::OutputFormat::text, files, records); }),
              "00001A2B _start\nFFFFFFFF top\n");
    EXPECT_EQ(rendered([&](auto &out) { write_records(out, mapdump::OutputFormat::csv, files, records); }),
              "file,name,address\r\nx.map,_start,0x00001A2B\r\nx.map,top,0xFFFFFFFF\r\n");
    EXPECT_EQ(rendered([&](auto &out) { write_records(out, mapdump::OutputFormat::json, files, records); }),
              "[\n{\"file\": \"x.map\", \"name\": \"_start\", \"address\": 6699},\n"
              "{\"file\": \"x.map\", \"name\": \"top\", \"address\": 4294967295}\n]\n");
    EXPECT_EQ(rendered([&](auto &out) { write_records(out, mapdump::OutputFormat::json, files, {}); }),
              "[]\n");
}

TEST(MapdumpLookup, FindsTheFirstRecordAtTheGreatestAddressNotAbove) {
    auto records = records_of({{0x100, "low"}, {0x200, "alias_a"}, {0x200, "alias_b"}, {0x300, "high"}});
    struct Case {
        std::uint32_t address;
        const char *name;  // null: nothing at or below
    } cases[] = {
        {0x0, nullptr},     {0xFF, nullptr},    {0x100, "low"},  {0x1FF, "low"},
        {0x200, "alias_a"}, {0x2FF, "alias_a"}, {0x300, "high"}, {0xFFFFFFFF, "high"},
    };
    for (const Case &c : cases) {
        const mapdump::SymbolRecord *found = mapdump::lookup_address(records, c.address);
        if (!c.name) {
            EXPECT_EQ(found, nullptr) << c.address;
        } else {
            ASSERT_NE(found, nullptr) << c.address;
            EXPECT_EQ(found->name, c.name) << c.address;
        }
    }
    EXPECT_EQ(mapdump::lookup_address({}, 0x100), nullptr);
    EXPECT_EQ(rendered([&](auto &out) {
                  mapdump::write_lookup(out, 0x1FF, mapdump::lookup_address(records, 0x1FF), {"x.map"});
                  mapdump::write_lookup(out, 0x10, nullptr, {"x.map"});
              }),
              "0x1FF low+0xFF\n0x10: no symbol at or below\n");
}

TEST(MapdumpAnnotate, NamesEveryAddressWordAndChangesNothingElseWhereverTheInputIsCut) {
    auto records = records_of({{0x1000, "_start"}, {0x1040, "_main"}, {0x1040, "_alias"}, {0x3000, "_far"}});
    struct Case {
        std::string_view input, output;
        bool bare = false;
        std::uint32_t max_offset = 0x1000;
    } cases[] = {
        {"PC=0x1044\n", "PC=0x1044 <_main+0x4>\n"},  // first of a shared address
        {"0X1040,0x00001001;0x104f\n", "0X1040 <_main>,0x00001001 <_start+0x1>;0x104f <_main+0xF>\n"},
        {"0xa 0xFFF 0x0\n", "0xa 0xFFF 0x0\n"},                            // below the first symbol
        {"0x2040 0x203F\n", "0x2040 0x203F <_main+0xFFF>\n"},              // offset limit
        {"0x1050 0x104F\n", "0x1050 0x104F <_main+0xF>\n", false, 0x10},   // --max-offset
        {"a0x1040 0x1040g _0x1040 0x1040_ 0x000010400 0x 0xg (0x1040)\n",  // word boundaries
         "a0x1040 0x1040g _0x1040 0x1040_ 0x000010400 0x 0xg (0x1040 <_main>)\n"},
        {"abcdefghijk0x1040 0x10400x1040\n", "abcdefghijk0x1040 0x10400x1040\n"},
        {"\3770x3000\x80\0 0x1000\r\n"sv, "\3770x3000 <_far>\x80\0 0x1000 <_start>\r\n"sv},  // any byte
        {"end 0x3000", "end 0x3000 <_far>"},  // no final line feed
        {"1040 00001044 104 10400 0x1040 1040H fff\n", "1040 00001044 104 10400 0x1040 <_main> 1040H fff\n"},
        {"1040 00001044 104 10400 0x1040 1040H 0fff abcdefghijk1040\n",
         "1040 <_main> 00001044 <_main+0x4> 104 10400 0x1040 <_main> 1040H 0fff abcdefghijk1040\n", true},
    };
    for (const Case &c : cases) {
        // Cut in two at every byte, as reads may cut a log.
        for (std::size_t cut = 0; cut <= c.input.size(); ++cut) {
            mapdump::Annotation annotation{&records, c.max_offset, c.bare};
            std::string annotated = rendered([&](auto &out) {
                std::string text(c.input.substr(0, cut));
                text.erase(0, mapdump::annotate_text(annotation, text, false, out));
                text.append(c.input.substr(cut));
                EXPECT_EQ(mapdump::annotate_text(annotation, text, true, out), text.size());
            });
            EXPECT_EQ(annotated, c.output) << c.input << " cut at " << cut;
        }
    }
}

TEST(MapdumpFind, KeepsMatchingRecordsInOrderAndNamesTheMissing) {
    auto records = records_of({{1, "a"}, {2, "b"}, {3, "a"}});
    std::vector<std::string> missing;
    auto found = mapdump::find_names(records, {"a", "zz", "zz"}, missing);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].address, 1u);
    EXPECT_EQ(found[1].address, 3u);
    EXPECT_EQ(missing, std::vector<std::string>{"zz"});
}

TEST(MapdumpDiff, RemovedThenAddedThenChangedMatchingRepeatedNamesInOrder) {
    auto old_records = records_of({{0x10, "same"},
                                   {0x20, "moved"},
                                   {0x30, "gone"},
                                   {0x40, "twice"},
                                   {0x50, "twice"},
                                   {0x60, "moved_too"}});
    auto new_records = records_of({{0x10, "same"},
                                   {0x70, "fresh"},
                                   {0x24, "moved"},
                                   {0x40, "twice"},
                                   {0x66, "moved_too"},
                                   {0x80, "twice"},
                                   {0x90, "twice"}});
    EXPECT_EQ(rendered([&](auto &out) { write_diff(out, diff_records(old_records, new_records)); }),
              "-00000030 gone\n"
              "+00000070 fresh\n"
              "+00000090 twice\n"
              "~00000024 moved (was 00000020)\n"
              "~00000080 twice (was 00000050)\n"
              "~00000066 moved_too (was 00000060)\n");
    EXPECT_TRUE(diff_records(old_records, old_records).empty());
}

struct CommandLine {
    std::vector<std::string_view> arguments;
    const char *problem;  // "" when valid
};

TEST(MapdumpCommandLine, AcceptsTheDocumentedFormsAndNamesEachMistake) {
    const CommandLine cases[] = {
        {{"a.map"}, ""},
        {{"--format", "json", "--sort=name", "a.map", "b.map"}, ""},
        {{"--lookup", "0x1A2B", "--lookup=1a2bh", "--find", "_main", "a.map"}, ""},
        {{"--", "--format"}, ""},
        {{"diff", "old.map", "new.map"}, ""},
        {{"diff", "--", "-old.map", "new.map"}, ""},
        {{"--help", "--no-such"}, ""},
        {{}, "no map file given"},
        {{"--format", "json"}, "no map file given"},
        {{"--format", "xml", "a.map"}, "--format must be text, csv, json or elf, not 'xml'"},
        {{"--format=elf", "--machine", "arm", "--output", "a.elf", "a.map"}, ""},
        {{"--machine", "z80", "a.map"}, "--machine is for --format elf only"},
        {{"--format", "elf", "--machine", "Z80", "a.map"},
         "--machine must be i386, arm, avr or z80, not 'Z80'"},
        {{"--output=", "a.map"}, "--output needs a file name"},
        {{"--format", "elf", "--sort", "address", "a.map"},
         "--sort does not apply to --format elf: its symbols are in file order"},
        {{"--lookup", "0x10", "--format", "elf", "a.map"}, "--lookup prints text only; leave out --format"},
        {{"--sort", "size", "a.map"}, "--sort must be file, address or name, not 'size'"},
        {{"--lookup", "1A2B", "a.map"}, "--lookup: '1A2B' is not an address; write 0x1A2B or 1A2BH"},
        {{"--lookup", "123456789H", "a.map"},
         "--lookup: '123456789H' is not an address; write 0x1A2B or 1A2BH"},
        {{"--lookup", "0x10", "--format", "csv", "a.map"}, "--lookup prints text only; leave out --format"},
        {{"a.map", "--find"}, "--find needs a value"},
        {{"-x", "a.map"}, "unknown option '-x'"},
        {{"--formats=json", "a.map"}, "unknown option '--formats=json'"},
        {{"diff", "old.map"}, "diff needs two map files, OLD and NEW"},
        {{"diff", "a", "b", "c"}, "diff needs two map files, OLD and NEW"},
        {{"diff", "--sort", "name", "a"}, "diff takes no options, only OLD and NEW"},
        {{"annotate", "a.map"}, ""},
        {{"annotate"}, "annotate needs a map file"},
        {{"annotate", "--max-offset", "1000", "a.map"},
         "--max-offset: '1000' is not a number; write 0x1000 or 1000H"},
        {{"annotate", "a.map", "--max-offset"}, "--max-offset needs a value"},
        {{"annotate", "--sort=name", "a.map"}, "unknown option '--sort=name' for annotate"},
    };
    for (const CommandLine &c : cases) {
        mapdump::Options options;
        EXPECT_EQ(mapdump::parse_command_line(c.arguments, options), c.problem)
            << (c.arguments.empty() ? "(none)" : c.arguments[0]);
    }

    mapdump::Options options;
    ASSERT_EQ(parse_command_line({"--lookup", " 0x1a2b ", "--lookup=FFFFh", "--find", "x", "--sort",
                                  "address", "--output", "-o.txt", "--", "-a.map", "b.map"},
                                 options),
              "");
    EXPECT_EQ(options.output, "-o.txt");
    EXPECT_EQ(options.lookups, (std::vector<std::uint32_t>{0x1A2B, 0xFFFF}));
    EXPECT_EQ(options.finds, std::vector<std::string>{"x"});
    EXPECT_EQ(options.files, (std::vector<std::string>{"-a.map", "b.map"}));
    EXPECT_EQ(options.sort, mapdump::SortKey::address);
    EXPECT_EQ(options.mode, mapdump::Mode::dump);

    mapdump::Options annotate;
    ASSERT_EQ(parse_command_line({"annotate", "a.map", "--bare", "-", "--max-offset=80h", "--", "--x.log"},
                                 annotate),
              "");
    EXPECT_EQ(annotate.mode, mapdump::Mode::annotate);
    EXPECT_EQ(annotate.files, std::vector<std::string>{"a.map"});
    EXPECT_EQ(annotate.logs, (std::vector<std::string>{"-", "--x.log"}));
    EXPECT_EQ(annotate.max_offset, 0x80u);
    EXPECT_TRUE(annotate.bare);
}

}  // namespace
