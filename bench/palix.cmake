# CPU that Palix uses while it polls the simulated meter live (PALIX_CPU_SECONDS, 60 by
# default). Run: build/bench/palix_cpu_bench
if(NOT TARGET meter_support)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/bench/support)
endif()
if(TARGET palix AND TARGET slmsim)
  meter_bench(palix_cpu_bench palix_cpu.cpp LIBS meter_support benchmark::benchmark)
  add_dependencies(palix_cpu_bench palix slmsim)
endif()
