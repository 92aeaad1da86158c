# Serial port component: receive latency and idle cost (a plain program that prints figures).
add_executable(comport_bench ${CMAKE_CURRENT_LIST_DIR}/comport_bench.cpp)
target_link_libraries(comport_bench PRIVATE serial util)
meter_warnings(comport_bench)
