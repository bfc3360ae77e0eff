// Writes the replay corpus: map files that reach every rule of the reader
// and every refill point, the same bytes on every run, and paths.txt, the
// list of paths (relative to the corpus folder) that replay_host parses,
// including paths that cannot be opened.
//
// usage: write_replay_corpus SOURCE_DIR CORPUS_DIR
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "hostile_contents.h"
#include "map_samples.h"

namespace fs = std::filesystem;
using map_samples::Random;

namespace {

struct Corpus {
    fs::path folder;
    std::vector<std::string> paths;
    std::size_t bytes = 0, with_cr = 0, with_nul = 0, with_ctrl_z = 0, with_long_run = 0;
};

bool has_run_of(const std::string &text, std::size_t length) {
    std::size_t run = 0;
    for (char c : text) {
        bool word = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-';
        run = word ? run + 1 : 0;
        if (run >= length) return true;
    }
    return false;
}

void add_file(Corpus &corpus, const std::string &path, const std::string &bytes) {
    fs::path full = corpus.folder / path;
    fs::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    corpus.paths.push_back(path);
    corpus.bytes += bytes.size();
    corpus.with_cr += bytes.find('\r') != std::string::npos;
    corpus.with_nul += bytes.find('\0') != std::string::npos;
    corpus.with_ctrl_z += bytes.find('\x1A') != std::string::npos;
    corpus.with_long_run += has_run_of(bytes, 8191);
}

std::string numbered(const char *folder, std::size_t n) {
    char name[64];
    std::snprintf(name, sizeof name, "%s/%04zu.map", folder, n);
    return name;
}

// CR, NUL and Ctrl-Z bytes put anywhere, as files from other systems and
// half-written files have them: CR bytes make a C runtime's text mode read
// short, a Ctrl-Z must end the input wherever it falls.
std::string sprinkled(Random &random, std::string text) {
    std::size_t crs = random.below(4) ? random.below(80) : 0;
    for (std::size_t i = 0; i < crs; ++i) text.insert(random.below(text.size() + 1), 1, '\r');
    std::size_t nuls = random.below(3) ? 0 : random.below(10);
    for (std::size_t i = 0; i < nuls; ++i) text.insert(random.below(text.size() + 1), 1, '\0');
    if (random.below(4)) text.insert(random.below(text.size() + 1), 1, '\x1A');
    return text;
}

void add_generated(Corpus &corpus) {
    std::size_t n = 0;
    for (const std::string &text : map_samples::edge_cases()) add_file(corpus, numbered("edge", n++), text);
    for (const std::string &text : map_samples::carriage_return_cases()) add_file(corpus, numbered("edge", n++), text);

    // Every fifth of the runs around the token limit: all lengths, shifts
    // and refills, the start conditions and endings taken in turn.
    n = 0;
    std::size_t visited = 0;
    map_samples::runs_at_refill_boundaries([&](const std::string &text) {
        if (visited++ % 5 == 0) add_file(corpus, numbered("refill", n++), text);
    });

    Random random{20261209};
    for (n = 0; n < 2000; ++n) add_file(corpus, numbered("random", n), map_samples::random_input(random, 1 + random.below(40), false));
    for (std::size_t i = 0; i < 150; ++i, ++n)
        add_file(corpus, numbered("random", n), map_samples::random_input(random, 200 + random.below(8000), true));

    for (int round = 0; round < 12; ++round) add_file(corpus, numbered("dense", round), map_samples::dense_map(random, round));

    // Long texts, of all rules and of record lines, from 2 to 40 KiB.
    for (n = 0; n < 400; ++n) {
        std::string text = n % 3 ? map_samples::random_input(random, 300 + random.below(3000), n % 3 == 2)
                                 : map_samples::dense_map(random, static_cast<int>(n / 3));
        add_file(corpus, numbered("sprinkled", n), sprinkled(random, text));
    }

    for (n = 0; n < 40; ++n) {
        std::string bytes(1 + random.below(64 * 1024), '\0');
        for (char &byte : bytes) byte = static_cast<char>(random.next());
        if (n % 2) {  // half of them read to the end
            for (char &byte : bytes)
                if (byte == '\x1A') byte = '\0';
        }
        add_file(corpus, numbered("binary", n), bytes);
    }

    for (const hostile_contents::Content &content : hostile_contents::all)
        add_file(corpus, std::string("hostile/") + content.name + ".map", content.make());
}

// The committed map files: fixtures, examples, fuzz seeds and regressions.
void add_committed(Corpus &corpus, const fs::path &source) {
    std::vector<fs::path> files;
    for (const char *folder : {"tests/data", "tests/hosts/data", "examples", "fuzz/corpus", "fuzz/regressions"})
        for (const fs::directory_entry &entry : fs::recursive_directory_iterator(source / folder))
            if (entry.is_regular_file() && entry.path().extension() != ".c") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path &file : files) {
        std::ifstream in(file, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        add_file(corpus, "committed/" + fs::relative(file, source).generic_string(), bytes);
    }
}

// Paths that cannot be opened: missing, below a missing folder or below a
// file, a folder, the empty path, one longer than a message, 8-bit bytes.
void add_unopenable(Corpus &corpus) {
    for (std::string path : {"missing.map", "missing/a.map", "hostile/empty.map/a.map", "hostile", ""})
        corpus.paths.push_back(path);
    corpus.paths.push_back("missing/" + std::string(300, 'p') + ".map");
    corpus.paths.push_back("missing-\xE9\xFF.map");
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::cerr << "usage: write_replay_corpus SOURCE_DIR CORPUS_DIR\n";
        return 2;
    }
    Corpus corpus{argv[2], {}};
    fs::remove_all(corpus.folder);
    add_generated(corpus);
    add_committed(corpus, argv[1]);
    add_unopenable(corpus);
    std::ofstream list(corpus.folder / "paths.txt", std::ios::binary);
    for (const std::string &path : corpus.paths) list << path << '\n';
    std::cout << "replay corpus: " << corpus.paths.size() << " paths, " << corpus.bytes << " bytes; files with CR "
              << corpus.with_cr << ", NUL " << corpus.with_nul << ", Ctrl-Z " << corpus.with_ctrl_z
              << ", a word run of 8191 or more " << corpus.with_long_run << "\n";
    return list ? 0 : 1;
}
