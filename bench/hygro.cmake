# Vadro's byte and file paths: cutting and decoding frames out of a noisy stream, and
# reading a 100 000-row table file; and the real-time table's grid at 100 000 rows.
add_executable(hygro_bench ${CMAKE_CURRENT_LIST_DIR}/hygro_bench.cpp)
target_link_libraries(hygro_bench PRIVATE hygro_core benchmark::benchmark)
meter_warnings(hygro_bench)

add_executable(hygro_grid_bench ${CMAKE_CURRENT_LIST_DIR}/hygro_grid_bench.cpp)
target_link_libraries(hygro_grid_bench PRIVATE platform_forms benchmark::benchmark)
meter_warnings(hygro_grid_bench)
