# Registry keys read value by value at two sizes: a read is one pass over its key.
add_executable(registry_bench ${CMAKE_CURRENT_LIST_DIR}/registry_bench.cpp)
target_link_libraries(registry_bench PRIVATE platform_win benchmark::benchmark)
meter_warnings(registry_bench)
