# Chart engine: whole frames beside QCustomPlot (Debian's Qt 6 build, linked by this
# benchmark only), and a save/load round trip of its state.
# QCustomPlot is installed by `scripts/setup bench` only; without it this is skipped.
find_package(QCustomPlotQt6 QUIET)
if(QCustomPlotQt6_FOUND)
  add_executable(chart_bench ${CMAKE_CURRENT_LIST_DIR}/chart_bench.cpp ${CMAKE_SOURCE_DIR}/chart/ChartEngineApi.cpp)
  target_link_libraries(chart_bench PRIVATE chart_engine benchmark::benchmark QCustomPlotQt6::QCustomPlotQt6)
  meter_warnings(chart_bench)
else()
  message(STATUS "chart_bench: needs QCustomPlot (scripts/setup bench), skipped")
endif()

# One frame at the far ends of what the engine accepts: time and peak memory.
add_executable(chart_frame_bench ${CMAKE_CURRENT_LIST_DIR}/chart_frame_bench.cpp ${CMAKE_SOURCE_DIR}/chart/ChartEngineApi.cpp)
target_link_libraries(chart_frame_bench PRIVATE chart_engine Qt6::Widgets)
meter_warnings(chart_frame_bench)
