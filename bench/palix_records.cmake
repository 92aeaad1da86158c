# Palix's records: opening a 349 950-record file into FileList, printing 10 000 records
# to PDF, and the CPU that recording costs beyond the live poll.
# Run: build/bench/palix_records_bench
if(NOT TARGET meter_support)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/bench/support)
endif()
if(TARGET slm_forms AND TARGET slmsim)
  add_executable(palix_records_bench ${CMAKE_CURRENT_LIST_DIR}/palix_records_bench.cpp)
  target_link_libraries(palix_records_bench PRIVATE slm_forms meter_support benchmark::benchmark)
  target_compile_definitions(palix_records_bench PRIVATE METER_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(palix_records_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  add_dependencies(palix_records_bench slmsim)
  meter_warnings(palix_records_bench)
endif()
