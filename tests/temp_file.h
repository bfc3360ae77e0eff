// Map files made on the spot for one test, removed when it ends.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <process.h>
#define TAMRIX_MAP_TEST_PID _getpid()
#else
#include <unistd.h>
#define TAMRIX_MAP_TEST_PID getpid()
#endif

class TempFile {
public:
    explicit TempFile(std::string_view bytes) {
        static std::atomic<unsigned> counter{0};
        path_ = (std::filesystem::temp_directory_path() /
                 ("tamrix_map_test_" + std::to_string(TAMRIX_MAP_TEST_PID) + "_" +
                  std::to_string(counter++) + ".map"))
                    .string();
        std::ofstream out(path_, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    const std::string &path() const { return path_; }
    const char *c_path() const { return path_.c_str(); }

private:
    std::string path_;
};

// Where the committed fixture files live.
inline std::string fixture(const std::string &name) {
    return std::string(TAMRIX_MAP_TEST_DATA) + "/" + name;
}
