# Palix's memory download at the line's pace and the decoding of a long set, with a
# QSerialPort reader of the same image as the peer when Qt's serial port module is
# there. Run: build/bench/palix_memory_bench
if(NOT TARGET meter_support)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/bench/support)
endif()
if(TARGET slm_forms AND TARGET slmsim)
  add_executable(palix_memory_bench ${CMAKE_CURRENT_LIST_DIR}/palix_memory.cpp)
  target_link_libraries(palix_memory_bench PRIVATE slm_forms meter_support benchmark::benchmark)
  find_package(Qt6 QUIET COMPONENTS SerialPort)
  if(TARGET Qt6::SerialPort)
    target_link_libraries(palix_memory_bench PRIVATE Qt6::SerialPort)
    target_compile_definitions(palix_memory_bench PRIVATE HAVE_QT_SERIALPORT)
  endif()
  target_compile_definitions(palix_memory_bench PRIVATE METER_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(palix_memory_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  add_dependencies(palix_memory_bench slmsim)
  meter_warnings(palix_memory_bench)
endif()
