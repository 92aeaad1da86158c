# Shared build helpers.

# Our own code builds with warnings as errors; generated and third-party code does not pass through here.
function(meter_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-missing-field-initializers)
endfunction()

# meter_glob_library(<name> [DEPS <targets...>])
# A layer library made of every .cpp/.h in the calling folder, so that files can be
# added without touching this list.
function(meter_glob_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  if(NOT sources)
    message(STATUS "${name}: no sources yet, skipped")
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  meter_warnings(${name})
endfunction()

# meter_add_test(<name> SOURCES <files...> [LIBS <targets...>] [ENV <VAR=value>])
# One GoogleTest executable; tests/support gives it a Qt application, an offscreen
# platform and a private settings folder.
function(meter_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE test_support ${ARG_LIBS})
  meter_warnings(${name})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # The test main sets QT_QPA_PLATFORM, METER_BIN_DIR and METER_SOURCE_DIR itself: the
  # discovered tests get their properties through a generated script that splits lists.
  if(ARG_ENV)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "${ARG_ENV}" TIMEOUT 300)
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT 300)
  endif()
endfunction()

# meter_glob_tests(LIBS <targets...>)
# Every *_test.cpp in the calling folder becomes its own test executable, named after
# the folder and the file.
function(meter_glob_tests)
  cmake_parse_arguments(ARG "" "" "LIBS;ENV" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" "_" prefix "${rel}")
  foreach(t IN LISTS tests)
    get_filename_component(stem ${t} NAME_WE)
    meter_add_test(${prefix}_${stem} SOURCES ${t} LIBS ${ARG_LIBS} ENV ${ARG_ENV})
  endforeach()
endfunction()
