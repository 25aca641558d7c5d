# The main window, its pages' dispatch and the preferences and serial port dialogs.
set(mainwindow_suites tst_mainwindow tst_mainwindow_link tst_dialogs)
tovra_add_qtest(tst_mainwindow SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_mainwindow.cpp LIBS tovra_gui)
tovra_add_qtest(tst_mainwindow_link
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_mainwindow_link.cpp ${CMAKE_CURRENT_SOURCE_DIR}/simprocess.h
  LIBS tovra_gui TIMEOUT 300)
tovra_add_qtest(tst_dialogs
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_dialogs.cpp ${CMAKE_CURRENT_SOURCE_DIR}/testsupport.h
  LIBS tovra_gui)

# The offscreen platform's own leak is suppressed by library name, which the
# allocation stacks show only when unwound in full.
if(TOVRA_SANITIZE)
  set_property(TEST ${mainwindow_suites} APPEND PROPERTY ENVIRONMENT_MODIFICATION
    "ASAN_OPTIONS=path_list_append:fast_unwind_on_malloc=0"
    "LSAN_OPTIONS=path_list_append:suppressions=${PROJECT_SOURCE_DIR}/scripts/lsan.supp")
endif()
