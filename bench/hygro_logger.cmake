# Vadro's data-logger download at the 9600-baud pace in both transfer modes and the
# decoding of a 4000-record set, beside QSerialPort and QCustomPlot (the benchmark
# alone links them). Run: build/bench/hygro_logger_bench
# The launcher of the simulators and the CPU time, shared with the tests.
if(NOT TARGET meter_support)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/bench/support)
endif()
find_package(Qt6 COMPONENTS SerialPort QUIET)
find_package(QCustomPlotQt6 QUIET)
if(TARGET hygro_forms AND TARGET hygrosim AND TARGET Qt6::SerialPort AND TARGET QCustomPlotQt6::QCustomPlotQt6)
  add_executable(hygro_logger_bench ${CMAKE_CURRENT_LIST_DIR}/hygro_logger_bench.cpp)
  target_link_libraries(hygro_logger_bench PRIVATE hygro_forms meter_support Qt6::SerialPort QCustomPlotQt6::QCustomPlotQt6 benchmark::benchmark)
  target_compile_definitions(hygro_logger_bench PRIVATE METER_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(hygro_logger_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  add_dependencies(hygro_logger_bench hygrosim)
  # The program's folders beside the benchmark, which runs the main form.
  add_custom_command(TARGET hygro_logger_bench POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/hygro/RESOURCE ${CMAKE_BINARY_DIR}/bench/RESOURCE
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bench/template
    VERBATIM)
  meter_warnings(hygro_logger_bench)
else()
  message(STATUS "hygro_logger_bench: needs Qt6 SerialPort and QCustomPlot (scripts/setup bench), skipped")
endif()
