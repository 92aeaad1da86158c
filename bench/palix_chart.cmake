# Palix's strip chart: one tick beside QCustomPlot (Debian's Qt 6 build, linked by this
# benchmark only). Run: build/bench/palix_chart_bench
if(TARGET slm_forms)
  find_package(QCustomPlotQt6 REQUIRED)
  add_executable(palix_chart_bench ${CMAKE_CURRENT_LIST_DIR}/palix_chart_bench.cpp)
  target_link_libraries(palix_chart_bench PRIVATE slm_forms QCustomPlotQt6::QCustomPlotQt6)
  set_target_properties(palix_chart_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  meter_warnings(palix_chart_bench)
endif()
