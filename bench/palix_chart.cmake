# Palix's strip chart: one tick beside QCustomPlot (Debian's Qt 6 build, linked by this
# benchmark only). Run: build/bench/palix_chart_bench
find_package(QCustomPlotQt6 QUIET)
if(TARGET slm_forms AND QCustomPlotQt6_FOUND)
  add_executable(palix_chart_bench ${CMAKE_CURRENT_LIST_DIR}/palix_chart_bench.cpp)
  target_link_libraries(palix_chart_bench PRIVATE slm_forms QCustomPlotQt6::QCustomPlotQt6)
  set_target_properties(palix_chart_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  meter_warnings(palix_chart_bench)
endif()

# Palix's CPU with the Leq/SEL windows open and recording, over 60 s against slmsim.
# Run under a real X server: xvfb-run -a build/bench/palix_charts_cpu
if(TARGET slm_forms AND TARGET slmsim)
  add_executable(palix_charts_cpu ${CMAKE_CURRENT_LIST_DIR}/palix_charts_cpu.cpp)
  target_link_libraries(palix_charts_cpu PRIVATE slm_forms)
  target_compile_definitions(palix_charts_cpu PRIVATE METER_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(palix_charts_cpu PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  add_dependencies(palix_charts_cpu slmsim)
  meter_warnings(palix_charts_cpu)
endif()
