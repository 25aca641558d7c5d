# The main window, its pages' dispatch and the preferences and serial port dialogs.
tovra_add_qtest(tst_mainwindow SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_mainwindow.cpp LIBS tovra_gui)
tovra_add_qtest(tst_dialogs
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_dialogs.cpp ${CMAKE_CURRENT_SOURCE_DIR}/modalcloser.h
  LIBS tovra_gui)

