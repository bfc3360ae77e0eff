// The DLL's entry-point routine: nothing to set up or tear down, since all
// state is static and records left at unload are the host's to free.
#ifdef _WIN32
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif
