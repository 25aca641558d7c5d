find_package(Qt5 5.15 REQUIRED COMPONENTS Test)

# tovra_add_qtest(NAME SOURCES... [LIBS libs...] [SIMULATOR] [TIMEOUT s] [LABELS...])
# One Qt Test executable per file, registered with CTest on the offscreen
# platform and run in a scratch directory of its own, because the program
# keeps its configuration and log in the working directory. SIMULATOR: the
# suite starts the printer simulator, so it is built first and its path is
# TOVRA_SIM_EXECUTABLE; the others may use the fixtures but start none.
function(tovra_add_qtest name)
  cmake_parse_arguments(ARG "SIMULATOR" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test ${ARG_LIBS})
  if(ARG_SIMULATOR)
    target_compile_definitions(${name} PRIVATE TOVRA_SIM_EXECUTABLE="$<TARGET_FILE:tovra-printer-sim>")
    add_dependencies(${name} tovra-printer-sim)
  else()
    target_compile_definitions(${name} PRIVATE TOVRA_SIM_EXECUTABLE="")
  endif()
  set(workdir ${CMAKE_CURRENT_BINARY_DIR}/scratch/${name})
  file(MAKE_DIRECTORY ${workdir})
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${workdir})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_XCB_GL_INTEGRATION=none"
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "${ARG_LABELS}")
  # Qt's offscreen platform never frees its screen and cursor; the leak is
  # suppressed by library name, which allocation stacks show only when
  # unwound in full (slower, so only for the suites with widgets).
  if(TOVRA_SANITIZE AND "tovra_gui" IN_LIST ARG_LIBS)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT_MODIFICATION
      "ASAN_OPTIONS=path_list_append:fast_unwind_on_malloc=0"
      "LSAN_OPTIONS=path_list_append:suppressions=${PROJECT_SOURCE_DIR}/scripts/lsan.supp")
  endif()
endfunction()
