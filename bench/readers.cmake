# The file readers' peak memory against the file and what the window keeps: Palix's
# Open key and Vadro's Open command on large files they make themselves.
# Run: build/bench/palix_read_memory, build/bench/vadro-table/vadro_read_memory
if(TARGET slm_forms)
  meter_bench(palix_read_memory palix_read_memory.cpp LIBS slm_forms benchmark::benchmark)
endif()
# From the table benchmark's program folder (its RESOURCE beside it).
if(TARGET hygro_forms AND TARGET hygro_table_bench)
  meter_bench(vadro_read_memory vadro_read_memory.cpp LIBS hygro_forms benchmark::benchmark
              OUTPUT_DIR ${CMAKE_BINARY_DIR}/bench/vadro-table)
  add_dependencies(vadro_read_memory hygro_table_bench)
endif()
