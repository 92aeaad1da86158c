# Chart engine: rebuilding and painting the real-time chart at its fullest, and a
# save/load round trip of its state.
add_executable(chart_bench ${CMAKE_CURRENT_LIST_DIR}/chart_bench.cpp ${CMAKE_SOURCE_DIR}/chart/ChartEngineApi.cpp)
target_link_libraries(chart_bench PRIVATE chart_engine benchmark::benchmark)
meter_warnings(chart_bench)
