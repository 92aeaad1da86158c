# Palix's strip chart: one tick beside QCustomPlot (Debian's Qt 6 build, linked by this
# benchmark only). Run: build/bench/palix_chart_bench
find_package(QCustomPlotQt6 QUIET)
if(TARGET slm_forms AND QCustomPlotQt6_FOUND)
  meter_bench(palix_chart_bench palix_chart_bench.cpp LIBS slm_forms QCustomPlotQt6::QCustomPlotQt6)
endif()

# Palix's CPU with the Leq/SEL windows open and recording, over 60 s against slmsim.
# Run under a real X server: xvfb-run -a build/bench/palix_charts_cpu
if(NOT TARGET meter_support)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/bench/support)
endif()
if(TARGET slm_forms AND TARGET slmsim)
  meter_bench(palix_charts_cpu palix_charts_cpu.cpp LIBS slm_forms meter_support)
  add_dependencies(palix_charts_cpu slmsim)
endif()
