# Vadro's byte and file paths: cutting and decoding frames out of a noisy stream, and
# reading a 100 000-row table file.
add_executable(hygro_bench ${CMAKE_CURRENT_LIST_DIR}/hygro_bench.cpp)
target_link_libraries(hygro_bench PRIVATE hygro_core benchmark::benchmark)
meter_warnings(hygro_bench)
