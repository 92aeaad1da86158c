# Vadro's byte and file paths: cutting and decoding frames out of a noisy stream, and
# reading a 100 000-row table file; and the real-time table's grid at 1 000 000 rows.
add_executable(hygro_bench ${CMAKE_CURRENT_LIST_DIR}/hygro_bench.cpp)
target_link_libraries(hygro_bench PRIVATE hygro_core benchmark::benchmark)
meter_warnings(hygro_bench)

add_executable(hygro_grid_bench ${CMAKE_CURRENT_LIST_DIR}/hygro_grid_bench.cpp)
target_link_libraries(hygro_grid_bench PRIVATE platform_forms benchmark::benchmark)
meter_warnings(hygro_grid_bench)

# Vadro's table commands at volume, on the program's own main form: opening and saving
# a 100 000-row table. Beside the program, which reads its RESOURCE/ folder.
add_executable(hygro_table_bench ${CMAKE_CURRENT_LIST_DIR}/hygro_table_bench.cpp)
target_link_libraries(hygro_table_bench PRIVATE hygro_forms benchmark::benchmark)
meter_warnings(hygro_table_bench)
