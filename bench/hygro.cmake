# Vadro's byte and file paths: cutting and decoding frames out of a noisy stream, and
# reading a 100 000-row table file; and the real-time table's grid at 1 000 000 rows.
add_executable(hygro_bench ${CMAKE_CURRENT_LIST_DIR}/hygro_bench.cpp)
target_link_libraries(hygro_bench PRIVATE hygro_core benchmark::benchmark)
meter_warnings(hygro_bench)

if(TARGET hygro_forms)
  add_executable(hygro_grid_bench ${CMAKE_CURRENT_LIST_DIR}/hygro_grid_bench.cpp)
  target_link_libraries(hygro_grid_bench PRIVATE hygro_forms benchmark::benchmark)
  meter_warnings(hygro_grid_bench)
endif()

# The charts in Vadro's own windows, beside QCustomPlot. It runs from a program folder
# of its own (panel pictures, chart template), so it never touches the program's.
find_package(QCustomPlotQt6 QUIET)
if(TARGET hygro_forms AND QCustomPlotQt6_FOUND)
  add_executable(hygro_chart_bench ${CMAKE_CURRENT_LIST_DIR}/hygro_chart_bench.cpp)
  target_link_libraries(hygro_chart_bench PRIVATE hygro_forms QCustomPlotQt6::QCustomPlotQt6 benchmark::benchmark)
  meter_warnings(hygro_chart_bench)
  set_target_properties(hygro_chart_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/vadro)
  add_custom_command(TARGET hygro_chart_bench POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/hygro/RESOURCE ${CMAKE_BINARY_DIR}/bench/vadro/RESOURCE
    VERBATIM)
endif()

# Vadro's table commands at volume, on the program's own main form: opening and saving
# a 100 000-row table. From a program folder of its own, like the chart benchmark.
if(TARGET hygro_forms)
  add_executable(hygro_table_bench ${CMAKE_CURRENT_LIST_DIR}/hygro_table_bench.cpp)
  target_link_libraries(hygro_table_bench PRIVATE hygro_forms benchmark::benchmark)
  meter_warnings(hygro_table_bench)
  set_target_properties(hygro_table_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/vadro-table)
  add_custom_command(TARGET hygro_table_bench POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/hygro/RESOURCE ${CMAKE_BINARY_DIR}/bench/vadro-table/RESOURCE
    VERBATIM)
endif()
