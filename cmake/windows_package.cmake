# The text files of the Windows release folder, with CR LF line ends:
# README.txt (how to build and load a host) and LICENSE.txt, installed at
# the top of the prefix beside bin/, include/ and lib/.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(tamrix_map_zip_platform 32-bit)
  set(tamrix_map_oldest_windows "Windows XP SP3")
else()
  set(tamrix_map_zip_platform 64-bit)
  set(tamrix_map_oldest_windows "Windows XP x64 or Server 2003 SP1")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/README.txt.in ${CMAKE_BINARY_DIR}/README.txt
               @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt
               @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/README.txt ${CMAKE_BINARY_DIR}/LICENSE.txt
        DESTINATION . COMPONENT documentation)
