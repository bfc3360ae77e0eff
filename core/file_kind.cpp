#include "file_kind.h"

#include <sys/stat.h>

namespace tamrix {
namespace {

#if defined(__GLIBC__) && defined(__x86_64__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 33)
// glibc 2.33 gave fstat a symbol of its own (fstat@GLIBC_2.33). Before, its
// headers turned fstat into __fxstat(_STAT_VER, ...), which every glibc
// still exports: calling that keeps the library loadable on systems back to
// glibc 2.17 (the Linux wheel's manylinux2014).
extern "C" int __fxstat(int version, int descriptor, struct stat *info);
__asm__(".symver __fxstat,__fxstat@GLIBC_2.2.5");
constexpr int stat_version = 1;  // _STAT_VER on x86-64

int stat_of(int descriptor, struct stat *info) { return __fxstat(stat_version, descriptor, info); }
#else
int stat_of(int descriptor, struct stat *info) { return fstat(descriptor, info); }
#endif

}  // namespace

// msvcrt's fstat says FIFO for a pipe and character device for a console,
// NUL or a port, as POSIX systems do.
FileKind file_kind(std::FILE *stream) {
    struct stat info;
    int descriptor = fileno(stream);
    if (descriptor < 0 || stat_of(descriptor, &info) != 0) return FileKind::other;
    if (S_ISDIR(info.st_mode)) return FileKind::directory;
    if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) return FileKind::pipe_or_device;
    return FileKind::other;
}

}  // namespace tamrix
