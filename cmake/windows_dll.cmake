# tamrix_map.dll: no lib prefix, exports named and numbered by a .def file,
# nothing needed at run time but system DLLs.
set_target_properties(tamrix_map PROPERTIES PREFIX "" OUTPUT_NAME tamrix_map)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The stdcall exports carry their argument sizes inside the objects
  # (_MapParse@4); --kill-at exports them under the bare names. Without
  # the fixup, an export that lost __stdcall fails the link instead of
  # being matched silently to a caller-cleans function.
  set(tamrix_map_def ${tamrix_map_exports_dir}/tamrix_map_stdcall.def)
  target_link_options(tamrix_map PRIVATE "LINKER:--kill-at" "LINKER:--disable-stdcall-fixup")
  # ld's import library drops the sizes from the symbols as well, so a
  # host compiled with tamrix_map.h (which asks for _MapParse@4) could not
  # link to it. dlltool keeps them in the symbols and imports by bare name.
  if(NOT CMAKE_DLLTOOL)
    message(FATAL_ERROR "dlltool is needed for the import library of the 32-bit DLL")
  endif()
  add_custom_command(TARGET tamrix_map POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} --input-def ${tamrix_map_def} --kill-at
            --dllname tamrix_map.dll --output-lib $<TARGET_LINKER_FILE:tamrix_map>
    VERBATIM)
else()
  set(tamrix_map_def ${tamrix_map_exports_dir}/tamrix_map.def)
endif()
target_sources(tamrix_map PRIVATE ${tamrix_map_def})

# tamrix_map.lib, the import library for hosts linked the MSVC way (link.exe,
# lld-link), beside MinGW's libtamrix_map.dll.a. llvm-dlltool writes the
# short-import form MSVC's linker expects; for i686 it reads the decorated
# .def, so the symbols keep their sizes (_MapParse@4) while the DLL is
# imported by bare name (-k).
find_program(TAMRIX_MAP_LLVM_DLLTOOL NAMES llvm-dlltool-14 llvm-dlltool)
if(NOT TAMRIX_MAP_LLVM_DLLTOOL)
  message(FATAL_ERROR "llvm-dlltool is needed for tamrix_map.lib (package llvm-14)")
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(tamrix_map_lib_machine -m i386 -k)
else()
  set(tamrix_map_lib_machine -m i386:x86-64)
endif()
add_custom_command(TARGET tamrix_map POST_BUILD
  COMMAND ${TAMRIX_MAP_LLVM_DLLTOOL} ${tamrix_map_lib_machine} -D tamrix_map.dll
          -d ${tamrix_map_def} -l $<TARGET_LINKER_FILE_DIR:tamrix_map>/tamrix_map.lib
  VERBATIM)

if(MINGW)
  # libgcc and libstdc++ linked in: the DLL depends on KERNEL32 and the C
  # runtime only. They are the win32 thread model's: the posix model's
  # (which GoogleTest, and so the test programs, need) brings winpthread,
  # keeps some 400 bytes at every FreeLibrary and imports GetTickCount64,
  # which Windows XP lacks. So the DLL's compiles and its link run the
  # compilers of the same names with -win32 in place of -posix.
  target_link_options(tamrix_map PRIVATE -static)
  tamrix_map_win32_threads(tamrix_map)  # its layers are compiled so too (cmake/layers.cmake)
  # The oldest Windows the DLL loads on: XP SP3 for 32 bits, XP x64 (5.2)
  # for 64; tests/windows/test_dll_static.py holds its KERNEL32 imports to XP's.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(windows_minor 1)
  else()
    set(windows_minor 2)
  endif()
  target_link_options(tamrix_map PRIVATE
    "LINKER:--major-os-version,5,--minor-os-version,${windows_minor}"
    "LINKER:--major-subsystem-version,5,--minor-subsystem-version,${windows_minor}")
endif()
target_link_options(tamrix_map PRIVATE "LINKER:--no-undefined")

# Programs and the DLL in one folder, where the Windows loader looks first.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set_target_properties(tamrix_map PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
