# Comm layer: how fast a received byte completes a pending comm-event wait, and bulk reads.
add_executable(comm_bench ${CMAKE_CURRENT_LIST_DIR}/comm_bench.cpp)
target_link_libraries(comm_bench PRIVATE platform_comm benchmark::benchmark util)
meter_warnings(comm_bench)
