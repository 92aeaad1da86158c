# Palix's plot window: drawing the curve of the largest record file (349 950 records),
# column by column as the program does, beside a line to every record.
# Run: build/bench/palix_plot_bench
if(TARGET slm_forms)
  meter_bench(palix_plot_bench palix_plot_bench.cpp LIBS slm_forms benchmark::benchmark)
endif()
