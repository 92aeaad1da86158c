# Palix's plot window: drawing the curve of the largest record file (349 950 records),
# column by column as the program does, beside a line to every record.
# Run: build/bench/palix_plot_bench
if(TARGET slm_forms)
  add_executable(palix_plot_bench ${CMAKE_CURRENT_LIST_DIR}/palix_plot_bench.cpp)
  target_link_libraries(palix_plot_bench PRIVATE slm_forms benchmark::benchmark)
  set_target_properties(palix_plot_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  meter_warnings(palix_plot_bench)
endif()
