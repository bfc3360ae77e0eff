// Files that are no map files, and files that change under the reader. The
// process survives each one, MapParse gives the documented result and
// message, the list stays consistent, and the next parse works.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#endif
#ifdef __linux__
#include <linux/sockios.h>
#endif

#include "tamrix_map.h"
#include "hostile_contents.h"
#include "host_records.h"
#include "map_reader.h"
#include "temp_file.h"

namespace {

using namespace hostile_contents;
using namespace std::string_literals;

std::string syntax_error(const std::string &path, int line) {
    return path + ":" + std::to_string(line) + ": syntax error. \"\" is invalid.\n";
}

// Lines "L<i> ADDR <i & 0xFFFF>H sym_<i>" from `first` on, and their records.
std::string record_lines(std::uint32_t first, std::uint32_t count, Records *records = nullptr) {
    std::string text;
    char line[64];
    for (std::uint32_t i = first; i < first + count; ++i) {
        std::snprintf(line, sizeof line, "L%u ADDR %04XH sym_%u\n", i, i & 0xFFFF, i);
        text += line;
        if (records) records->emplace_back("sym_" + std::to_string(i), i & 0xFFFF);
    }
    return text;
}

#ifndef _WIN32
bool is_prefix(const Records &part, const Records &whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}
#endif

class HostileFile : public ::testing::Test {
protected:
    void SetUp() override { FreeAllRecords(); }

    // Whatever came before, the next parse starts from a clean scanner:
    // lines count from 1 and the records are its own.
    void TearDown() override {
        FreeAllRecords();
        TempFile next("\nnext ADDR 10H after\nX");
        EXPECT_EQ(MapParse(next.c_path()), -1);
        EXPECT_EQ(GetErrorMessage(), syntax_error(next.path(), 3));
        EXPECT_EQ(checked_records(), (Records{{"after", 0x10}}));
        FreeAllRecords();
    }

    int parse(const std::string &bytes) {
        file_ = std::make_unique<TempFile>(bytes);
        return MapParse(file_->c_path());
    }
    const std::string &path() const { return file_->path(); }

    std::unique_ptr<TempFile> file_;
};

struct HostileContent {
    const char *what;
    std::string (*make)();
    int result;
    const char *message;  // after "PATH:"
    Records records;
};

// The bytes can be large; show the name only.
void PrintTo(const HostileContent &c, std::ostream *out) { *out << c.what; }

class HostileContents : public HostileFile, public ::testing::WithParamInterface<HostileContent> {};

TEST_P(HostileContents, GiveTheDocumentedResult) {
    const HostileContent &c = GetParam();
    EXPECT_EQ(parse(c.make()), c.result);
    EXPECT_EQ(checked_records(), c.records);
    if (c.result == -1) {
        EXPECT_EQ(GetErrorMessage(), path() + ":" + c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Contents, HostileContents,
    ::testing::Values(
        HostileContent{"only NUL bytes", only_nul_bytes, -1, "1: syntax error. \"\" is invalid.\n", {}},
        HostileContent{"NUL lines", nul_bytes_and_line_ends, 0, nullptr, {{"x", 1}}},
        HostileContent{"Ctrl-Z first", ctrl_z_first, -1, "1: syntax error. \"\" is invalid.\n", {}},
        HostileContent{"CR only", cr_only, -1, "1: syntax error. \"\" is invalid.\n", {}},
        HostileContent{"1 MiB line of punctuation", punctuation_line, 0, nullptr, {{"x", 1}}},
        HostileContent{"1 MiB word", megabyte_word, -1, "2: token too large, exceeds YYLMAX\n", {{"x", 1}}},
        HostileContent{"1 MiB name", megabyte_name, -1, "3: token too large, exceeds YYLMAX\n", {}},
        HostileContent{"1 MiB of hyphens", megabyte_of_hyphens, -1, "1: token too large, exceeds YYLMAX\n", {}},
        HostileContent{"bytes 0x80-0xFF everywhere", high_bytes_everywhere, 0, nullptr, {{"y", 2}, {"z", 3}}},
        HostileContent{"empty file", empty, -1, "1: syntax error. \"\" is invalid.\n", {}}));

TEST_F(HostileFile, TwoHundredThousandRecordLines) {
    Records expected;
    ASSERT_EQ(parse(record_lines(0, 200000, &expected)), 0);
    EXPECT_EQ(checked_records(), expected);
}

// What a file must give by the documented rules: after the text rules, it
// fails when it has no line feed at all or its last line begins with a
// line head (a name in column 1 that does not run on into a hyphen).
struct RuleOutcome {
    int result;
    int error_line;
};

RuleOutcome outcome_by_the_rules(const std::string &bytes) {
    std::string text;
    for (char c : bytes) {
        if (c == '\x1A') break;
        if (c != '\r') text += c;
    }
    auto name_start = [](char c) { return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    auto name_char = [&](char c) { return name_start(c) || (c >= '0' && c <= '9'); };
    int line_feeds = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    std::size_t at = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
    bool line_head = false;
    if (at < text.size() && name_start(text[at])) {
        while (at < text.size() && name_char(text[at])) ++at;
        line_head = at == text.size() || text[at] != '-';
    }
    return {line_feeds == 0 || line_head ? -1 : 0, line_feeds + 1};
}

void expect_outcome_by_the_rules(const std::string &path, const std::string &bytes, int result) {
    RuleOutcome expected = outcome_by_the_rules(bytes);
    EXPECT_EQ(result, expected.result);
    if (result == -1) {
        EXPECT_EQ(GetErrorMessage(), syntax_error(path, expected.error_line));
    }
    for (const Record &record : checked_records()) {
        EXPECT_LE(record.second, 0xFFFFu);
        EXPECT_FALSE(record.first.empty());
    }
}

TEST_F(HostileFile, RandomBinaryFollowsTheDocumentedRule) {
    std::mt19937 random(20240601);
    for (int round = 0; round < 8; ++round) {
        std::string bytes(256 * 1024, '\0');
        for (char &byte : bytes) byte = static_cast<char>(random());
        // Half of them without Ctrl-Z, so that they are read to the end.
        if (round % 2) std::replace(bytes.begin(), bytes.end(), '\x1A', '\0');
        int result = parse(bytes);
        expect_outcome_by_the_rules(path(), bytes, result);
        FreeAllRecords();
    }
}

#ifdef __linux__
TEST_F(HostileFile, AnExecutableFollowsTheDocumentedRule) {
    std::ifstream in("/proc/self/exe", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 1000u);
    expect_outcome_by_the_rules("/proc/self/exe", bytes, MapParse("/proc/self/exe"));
}
#endif

TEST_F(HostileFile, DirectoryCannotBeOpened) {
    std::string directory = std::filesystem::temp_directory_path().string();
    EXPECT_EQ(MapParse(directory.c_str()), -1);
    EXPECT_EQ(GetErrorMessage(), "can't open file " + directory + "\n");
    EXPECT_EQ(GetRecordCount(), 0);
}

TEST_F(HostileFile, MissingFileCannotBeOpened) {
    std::string missing = (std::filesystem::temp_directory_path() / "tamrix_map_missing" / "x.map").string();
    EXPECT_EQ(MapParse(missing.c_str()), -1);
    EXPECT_EQ(GetErrorMessage(), "can't open file " + missing + "\n");
}

TEST_F(HostileFile, PathOf4096CharactersIsCutInTheMessage) {
    std::string directory = std::filesystem::temp_directory_path().string();
    std::string path = directory + "/" + std::string(4096 - directory.size() - 1, 'p');
    ASSERT_EQ(path.size(), 4096u);
    EXPECT_EQ(MapParse(path.c_str()), -1);
    EXPECT_EQ(GetErrorMessage(), ("can't open file " + path).substr(0, 255));
}

#ifndef _WIN32
TEST_F(HostileFile, DevNullIsAnEmptyFile) {
    EXPECT_EQ(MapParse("/dev/null"), -1);
    EXPECT_EQ(GetErrorMessage(), syntax_error("/dev/null", 1));
}

// 4095 characters: the longest path the system opens.
TEST_F(HostileFile, LongestPathThatOpensWorksAndIsCutInTheMessage) {
    TempFile file("a ADDR 1H x\nB");
    std::filesystem::path full(file.path());
    std::string head = full.parent_path().string();
    std::string tail = "/" + full.filename().string();
    std::string path = head;
    while (path.size() + tail.size() + 2 <= 4095) path += "/.";
    path.append(4095 - path.size() - tail.size(), '/');
    path += tail;
    ASSERT_EQ(path.size(), 4095u);
    EXPECT_EQ(MapParse(path.c_str()), -1);
    EXPECT_EQ(GetErrorMessage(), syntax_error(path, 2).substr(0, 255));
    EXPECT_EQ(checked_records(), (Records{{"x", 1}}));
}

#ifdef __linux__
// Offset 0 of a process's memory is never mapped: the first read fails.
TEST_F(HostileFile, ReadErrorIsAnErrorNotAnExit) {
    EXPECT_EQ(MapParse("/proc/self/mem"), -1);
    EXPECT_EQ(GetErrorMessage(), "/proc/self/mem:1: input in flex scanner failed\n"s);
    EXPECT_EQ(GetRecordCount(), 0);
}
#endif

// A scratch directory for special files, removed with what it holds.
class ScratchDirectory {
public:
    ScratchDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tamrix_map_XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : "";
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }
    bool ok() const { return !path_.empty(); }

private:
    std::string path_;
};

bool write_all(int fd, const std::string &bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Opens the writing end of `fifo` once MapParse has opened the reading
// end, without blocking for good if it never does. -1 on failure.
int open_fifo_writer(const std::string &fifo) {
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 10000; ++tries) {
        fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (fd >= 0 && fcntl(fd, F_SETFL, 0) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Waits until `condition` holds, 10 s at most.
template <typename Condition>
void wait_until(Condition condition) {
    for (int tries = 0; tries < 20000 && !condition(); ++tries)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
}

// A host whose signal handler was installed without SA_RESTART: every
// signal interrupts whatever call the parsing thread is blocked in.
class InterruptingSignals {
public:
    InterruptingSignals() : target_(pthread_self()) {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR1, &action, nullptr);
        sender_ = std::thread([this] {
            while (!stop_) {
                pthread_kill(target_, SIGUSR1);
                std::this_thread::sleep_for(std::chrono::microseconds(300));
            }
        });
    }
    ~InterruptingSignals() {
        stop_ = true;
        sender_.join();
        signal(SIGUSR1, SIG_IGN);  // drops one still pending
    }

private:
    pthread_t target_;
    std::atomic<bool> stop_{false};
    std::thread sender_;
};

// 3000 record lines and an unfinished one through a FIFO, written in
// pieces that end anywhere, also inside a line, with pauses between.
void expect_fifo_read_whole(bool with_signals) {
    ScratchDirectory scratch;
    ASSERT_TRUE(scratch.ok());
    std::string fifo = scratch / "map.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Records expected;
    std::string lines = record_lines(0, 3000, &expected);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the reader waits in open
        int fd = open_fifo_writer(fifo);
        if (fd < 0) return;
        for (std::size_t at = 0; at < lines.size(); at += 7777) {
            if (!write_all(fd, lines.substr(at, 7777))) break;
            std::this_thread::sleep_for(std::chrono::microseconds(700));
        }
        write_all(fd, "tail ADDR 1H unfinished");
        close(fd);
    });
    int result;
    {
        std::unique_ptr<InterruptingSignals> signals;
        if (with_signals) signals = std::make_unique<InterruptingSignals>();
        result = MapParse(fifo.c_str());
    }
    writer.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(GetErrorMessage(), syntax_error(fifo, 3001));
    EXPECT_EQ(checked_records(), expected);
}

TEST_F(HostileFile, FifoWithAWriterBehindIt) { expect_fifo_read_whole(false); }

// An interrupted open or read is no failure: it is made again.
TEST_F(HostileFile, FifoReadWhileSignalsInterruptTheReader) { expect_fifo_read_whole(true); }

// The input ends at a Ctrl-Z: a writer that sends one and then keeps its
// end open, for as long as the parse takes or 10 s, must not hold it up.
TEST_F(HostileFile, FifoWhoseWriterStaysOpenAfterCtrlZ) {
    for (std::size_t carriage_returns : {0u, 9000u}) {
        SCOPED_TRACE(std::to_string(carriage_returns) + " CR bytes before the Ctrl-Z");
        ScratchDirectory scratch;
        ASSERT_TRUE(scratch.ok());
        std::string fifo = scratch / "map.fifo";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::atomic<bool> parsed{false};
        bool closed_by_timeout = false;
        std::thread writer([&] {
            int fd = open_fifo_writer(fifo);
            if (fd < 0) return;
            write_all(fd, "A ADDR 1H a\n" + std::string(carriage_returns, '\r') + "\x1A" "B ADDR 2H b\n");
            wait_until([&] { return parsed.load(); });
            closed_by_timeout = !parsed;
            close(fd);
        });
        int result = MapParse(fifo.c_str());
        parsed = true;
        writer.join();
        EXPECT_FALSE(closed_by_timeout) << "MapParse waited for the writer to close";
        EXPECT_EQ(result, 0) << GetErrorMessage();
        EXPECT_EQ(checked_records(), (Records{{"a", 1}}));
        FreeAllRecords();
    }
}

#ifdef __linux__
// True while `thread` of this process waits in a read from `device`.
bool waits_reading(pid_t thread, const std::string &device) {
    std::ifstream in("/proc/self/task/" + std::to_string(thread) + "/syscall");
    long number = -1;
    std::string first_argument;
    if (!(in >> number >> first_argument) || number != SYS_read) return false;
    std::string descriptor = "/proc/self/fd/" + std::to_string(std::stol(first_argument, nullptr, 16));
    char target[256];
    ssize_t length = readlink(descriptor.c_str(), target, sizeof target);
    return length > 0 && std::string(target, static_cast<std::size_t>(length)) == device;
}

std::atomic<bool> signal_handled{false};

// The signal comes while the reader waits for more bytes of a read that
// has some already: the read ends short with the stream's error indicator
// set, and the read that meets the end of the data must still see an end
// and not an error. `parse` reads `device`; `open_writer` gives its writing
// end, on which the request `unsent` counts the bytes not yet taken.
template <typename OpenWriter, typename Parse>
void expect_read_on_after_an_interrupt(const std::string &device, OpenWriter open_writer, unsigned long unsent,
                                       Parse parse) {
    struct sigaction action {};
    action.sa_handler = [](int) { signal_handled = true; };
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, nullptr);
    signal_handled = false;
    pthread_t reader = pthread_self();
    pid_t reader_id = static_cast<pid_t>(syscall(SYS_gettid));
    std::thread writer([&] {
        int fd = open_writer();
        if (fd < 0) return;
        write_all(fd, "a ADDR 1H x\n");
        wait_until([&] {
            int left = -1;
            return ioctl(fd, unsent, &left) == 0 && left == 0 && waits_reading(reader_id, device);
        });
        pthread_kill(reader, SIGUSR1);
        wait_until([] { return signal_handled.load(); });  // the read was cut short, with no data
        write_all(fd, "b ADDR 2H y\n");
        close(fd);
    });
    int result = parse();
    writer.join();
    signal(SIGUSR1, SIG_IGN);
    EXPECT_TRUE(signal_handled);
    EXPECT_EQ(result, 0) << GetErrorMessage();
    EXPECT_EQ(checked_records(), (Records{{"x", 1}, {"y", 2}}));
}

// A FIFO is read a character at a time.
TEST_F(HostileFile, FifoReadInterruptedInsideARead) {
    ScratchDirectory scratch;
    ASSERT_TRUE(scratch.ok());
    std::string fifo = scratch / "map.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    expect_read_on_after_an_interrupt(
        fifo, [&] { return open_fifo_writer(fifo); }, FIONREAD, [&] { return MapParse(fifo.c_str()); });
}

// A socket is read in blocks, as a regular file is. MapParse cannot open
// one, so the reader gets it directly; it stands for a file on a network or
// FUSE file system, whose reads a signal may interrupt too.
TEST_F(HostileFile, SocketReadInterruptedInsideABlock) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    std::FILE *stream = fdopen(ends[0], "r");
    ASSERT_NE(stream, nullptr);
    char target[64];
    ssize_t length = readlink(("/proc/self/fd/" + std::to_string(ends[0])).c_str(), target, sizeof target);
    ASSERT_GT(length, 0);
    expect_read_on_after_an_interrupt(
        std::string(target, static_cast<std::size_t>(length)), [&] { return ends[1]; }, SIOCOUTQ, [&] {
            try {
                yy_reset_input(stream);
                return yyparse();
            } catch (const tamrix::ScannerFatal &fatal) {  // a read error: what the retry prevents
                ADD_FAILURE() << fatal.message;
                return -1;
            }
        });
    std::fclose(stream);
}
#endif

// Records read from a file that changed while it was read: the first ones
// in file order, as many as the reader saw whole lines of.
void expect_consistent_prefix(const std::string &path, int result, const Records &all, std::size_t at_least) {
    Records records = checked_records();
    EXPECT_TRUE(is_prefix(records, all));
    EXPECT_GE(records.size(), at_least);
    if (result == -1) {  // the reader met the end inside a record line
        EXPECT_EQ(GetErrorMessage(), syntax_error(path, static_cast<int>(records.size()) + 1));
    } else {
        EXPECT_EQ(result, 0);
    }
}

TEST_F(HostileFile, FileThatGrowsWhileItIsRead) {
    Records all;
    std::string initial = record_lines(0, 20000, &all);
    std::string more = record_lines(20000, 20000, &all);
    ASSERT_EQ(parse(initial), 0);  // creates the file
    FreeAllRecords();
    std::atomic<bool> started{false};
    std::thread appender([&] {
        int fd = open(path().c_str(), O_WRONLY | O_APPEND);
        if (fd < 0) return;
        started = true;
        for (std::size_t at = 0; at < more.size(); at += 4000) write_all(fd, more.substr(at, 4000));
        close(fd);
    });
    while (!started) std::this_thread::yield();
    int result = MapParse(path().c_str());
    appender.join();
    expect_consistent_prefix(path(), result, all, 20000);
}

TEST_F(HostileFile, FileThatIsTruncatedWhileItIsRead) {
    Records all;
    std::string kept = record_lines(0, 10000, &all);
    std::string cut = record_lines(10000, 60000, &all);
    ASSERT_EQ(parse(kept + cut), 0);
    FreeAllRecords();
    std::thread truncater([&] {
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        EXPECT_EQ(truncate(path().c_str(), static_cast<off_t>(kept.size())), 0);
    });
    int result = MapParse(path().c_str());
    truncater.join();
    expect_consistent_prefix(path(), result, all, 10000);
}

// A terminal is read one line at a time; VEOF at the start of a line is its
// end of file.
class Terminal {
public:
    Terminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        name_ = ptsname(master_);
        // Kept open so that input waits in the terminal until it is read.
        slave_ = open(name_.c_str(), O_RDWR | O_NOCTTY);
        termios settings;
        if (slave_ < 0 || tcgetattr(slave_, &settings) != 0) return;
        // Lines as typed: no echo, no signal characters, CR kept as CR.
        settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ISIG);
        settings.c_lflag |= ICANON;
        settings.c_iflag &= ~static_cast<tcflag_t>(ICRNL);
        tcsetattr(slave_, TCSANOW, &settings);
        end_of_file_ = static_cast<char>(settings.c_cc[VEOF]);
    }
    ~Terminal() {
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }
    bool ok() const { return slave_ >= 0 && end_of_file_ != 0; }
    bool type(const std::string &text) { return write_all(master_, text); }
    void hang_up() {
        close(master_);
        master_ = -1;
    }
    char end_of_file() const { return end_of_file_; }
    // Typed characters that a read can have now, -1 if unknown.
    int unread() const {
        int count = -1;
        return ioctl(slave_, FIONREAD, &count) == 0 ? count : -1;
    }
    const char *name() const { return name_.c_str(); }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string name_;
    char end_of_file_ = 0;
};

class TerminalFile : public HostileFile {
protected:
    void SetUp() override {
        HostileFile::SetUp();
        // MapParse opens the terminal as any file; a session leader would
        // take it as its controlling terminal, and get SIGHUP at the end.
        if (getsid(0) == getpid()) GTEST_SKIP() << "the test process leads its session";
    }
};

TEST_F(TerminalFile, LinesUpToEndOfFile) {
    Terminal terminal;
    ASSERT_TRUE(terminal.ok());
    ASSERT_TRUE(terminal.type("a ADDR 1H x\n\n  skipped ADDR 5H no\nb ADDR 2H y\n"s + terminal.end_of_file()));
    EXPECT_EQ(MapParse(terminal.name()), 0);
    EXPECT_EQ(checked_records(), (Records{{"x", 1}, {"y", 2}}));
}

TEST_F(TerminalFile, EndOfFileInsideALine) {
    Terminal terminal;
    ASSERT_TRUE(terminal.ok());
    // The first VEOF hands over the unfinished line, the second is the end.
    char eof = terminal.end_of_file();
    ASSERT_TRUE(terminal.type("a ADDR 1H x\nc ADDR 3H z"s + eof + eof));
    EXPECT_EQ(MapParse(terminal.name()), -1);
    EXPECT_EQ(GetErrorMessage(), syntax_error(terminal.name(), 2));
    EXPECT_EQ(checked_records(), (Records{{"x", 1}}));
}
// The text rules hold on a terminal too.
TEST_F(TerminalFile, CarriageReturnsDropAndCtrlZEndsTheInput) {
    Terminal terminal;
    ASSERT_TRUE(terminal.ok());
    ASSERT_TRUE(terminal.type("a ADDR 1H A\rB\r\nb ADDR 2H y\x1A" "c ADDR 3H z\n"s + terminal.end_of_file()));
    EXPECT_EQ(MapParse(terminal.name()), -1);
    EXPECT_EQ(GetErrorMessage(), syntax_error(terminal.name(), 2));
    EXPECT_EQ(checked_records(), (Records{{"AB", 1}}));
}

// Three pieces without a line feed, each handed over by VEOF, make one
// line longer than a read of 8192 characters.
TEST_F(TerminalFile, LineLongerThanARead) {
    Terminal terminal;
    ASSERT_TRUE(terminal.ok());
    char eof = terminal.end_of_file();
    std::thread typist([&] {
        for (int piece = 0; piece < 3; ++piece) terminal.type(std::string(3000, '.') + eof);
        terminal.type("\na ADDR 1H x\n"s + eof);
    });
    int result = MapParse(terminal.name());
    typist.join();
    EXPECT_EQ(result, 0) << GetErrorMessage();
    EXPECT_EQ(checked_records(), (Records{{"x", 1}}));
}

#ifdef __linux__
// The other side of the terminal goes while the reader waits for the next
// line: that read fails, a read error. (A read begun after the hang-up
// would see the end of the file instead, so the hang-up waits for it.)
TEST_F(TerminalFile, WhoseOtherSideHangsUpDuringARead) {
    Terminal terminal;
    ASSERT_TRUE(terminal.ok());
    ASSERT_TRUE(terminal.type("a ADDR 1H x\n"));
    // Typed text reaches the reading side a little later; a first read
    // made before that would wait, and the hang-up would fail it instead.
    wait_until([&] { return terminal.unread() > 0; });
    pid_t reader = static_cast<pid_t>(syscall(SYS_gettid));
    std::thread hang_up([&] {
        wait_until([&] { return waits_reading(reader, terminal.name()); });
        terminal.hang_up();
    });
    int result = MapParse(terminal.name());
    hang_up.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(GetErrorMessage(), std::string(terminal.name()) + ":2: input in flex scanner failed\n");
    EXPECT_EQ(checked_records(), (Records{{"x", 1}}));
}
#endif

TEST_F(TerminalFile, ReadWhileSignalsInterruptTheReader) {
    Terminal terminal;
    ASSERT_TRUE(terminal.ok());
    Records expected;
    std::string lines = record_lines(0, 200, &expected);
    std::thread typist([&] {
        for (std::size_t at = 0; at < lines.size(); at += 100) {
            terminal.type(lines.substr(at, 100));
            std::this_thread::sleep_for(std::chrono::microseconds(700));
        }
        terminal.type(std::string(1, terminal.end_of_file()));
    });
    int result;
    {
        InterruptingSignals signals;
        result = MapParse(terminal.name());
    }
    typist.join();
    EXPECT_EQ(result, 0) << GetErrorMessage();
    EXPECT_EQ(checked_records(), expected);
}
#endif  // _WIN32

}  // namespace
