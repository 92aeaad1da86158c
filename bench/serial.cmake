# Serial port components: receive latency beside QSerialPort (the peer, linked by this
# benchmark only) and idle cost (a plain program that prints figures).
find_package(Qt6 QUIET COMPONENTS SerialPort)
if(TARGET Qt6::SerialPort)
  add_executable(comport_bench ${CMAKE_CURRENT_LIST_DIR}/comport_bench.cpp)
  target_link_libraries(comport_bench PRIVATE serial Qt6::SerialPort util)
  meter_warnings(comport_bench)
else()
  message(WARNING "Qt6 SerialPort not found (scripts/setup installs it): comport_bench is not built")
endif()
