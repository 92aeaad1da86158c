# CPU that Palix uses while it polls the simulated meter live (PALIX_CPU_SECONDS, 60 by
# default). Run: build/bench/palix_cpu_bench
if(TARGET palix AND TARGET slmsim)
  add_executable(palix_cpu_bench ${CMAKE_CURRENT_LIST_DIR}/palix_cpu.cpp)
  target_link_libraries(palix_cpu_bench PRIVATE benchmark::benchmark)
  # CpuTime.h of tests/support, header only.
  target_include_directories(palix_cpu_bench PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(palix_cpu_bench PRIVATE METER_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(palix_cpu_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  add_dependencies(palix_cpu_bench palix slmsim)
  meter_warnings(palix_cpu_bench)
endif()
