// The DLL's entry-point routine. At FreeLibrary (reserved is NULL) it hands
// back what each load allocates once and would otherwise leave behind at
// every unload: the scanner's buffer and the emergency exception pool of
// the statically linked C++ runtime. Records stay: they are the host's to
// free. At process exit (reserved not NULL) the process takes it all.
#ifdef _WIN32
#include <windows.h>

#include "reader.h"

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __freeres() noexcept;  // libstdc++'s own, for leak checkers
}
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        tamrix::reader::release();
#if defined(__GLIBCXX__)
        __gnu_cxx::__freeres();
#endif
    }
    return TRUE;
}
#endif
