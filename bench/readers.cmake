# The file readers' peak memory against the file and what the window keeps: Palix's
# Open key and Vadro's Open command on large files they make themselves.
# Run: build/bench/palix_read_memory, build/bench/vadro-table/vadro_read_memory
if(TARGET slm_forms)
  add_executable(palix_read_memory ${CMAKE_CURRENT_LIST_DIR}/palix_read_memory.cpp)
  target_link_libraries(palix_read_memory PRIVATE slm_forms benchmark::benchmark)
  set_target_properties(palix_read_memory PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  meter_warnings(palix_read_memory)
endif()
# From the table benchmark's program folder (its RESOURCE beside it).
if(TARGET hygro_forms AND TARGET hygro_table_bench)
  add_executable(vadro_read_memory ${CMAKE_CURRENT_LIST_DIR}/vadro_read_memory.cpp)
  target_link_libraries(vadro_read_memory PRIVATE hygro_forms benchmark::benchmark)
  set_target_properties(vadro_read_memory PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/vadro-table)
  add_dependencies(vadro_read_memory hygro_table_bench)
  meter_warnings(vadro_read_memory)
endif()
