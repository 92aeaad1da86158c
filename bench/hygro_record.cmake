# Vadro recording at rate 1 against the simulated meter: the memory a recorded row costs
# the running program (table, chart and all), beside QTableWidget and QCustomPlot where
# QCustomPlot is there (the benchmark alone links it).
# Run: build/bench/vadro-record/hygro_record_bench
# The launcher of the simulators and the CPU time, shared with the tests.
if(NOT TARGET meter_support)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/bench/support)
endif()
find_package(QCustomPlotQt6 QUIET)
if(TARGET hygro_forms AND TARGET hygrosim)
  add_executable(hygro_record_bench ${CMAKE_CURRENT_LIST_DIR}/hygro_record_bench.cpp)
  target_link_libraries(hygro_record_bench PRIVATE hygro_forms meter_support benchmark::benchmark)
  target_compile_definitions(hygro_record_bench PRIVATE METER_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  if(QCustomPlotQt6_FOUND)
    target_link_libraries(hygro_record_bench PRIVATE QCustomPlotQt6::QCustomPlotQt6)
    target_compile_definitions(hygro_record_bench PRIVATE HAVE_QCUSTOMPLOT)
  endif()
  set_target_properties(hygro_record_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/vadro-record)
  add_dependencies(hygro_record_bench hygrosim)
  add_custom_command(TARGET hygro_record_bench POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/hygro/RESOURCE ${CMAKE_BINARY_DIR}/bench/vadro-record/RESOURCE
    VERBATIM)
  meter_warnings(hygro_record_bench)
endif()
