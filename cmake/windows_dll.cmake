# tamrix_map.dll: no lib prefix, exports named and numbered by the .def file.
set_target_properties(tamrix_map PROPERTIES PREFIX "" OUTPUT_NAME tamrix_map)
target_sources(tamrix_map PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/api/tamrix_map.def)
