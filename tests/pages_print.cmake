# The print settings page, its test pages and the raw print channel.
tovra_add_qtest(tst_widgetprint SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_widgetprint.cpp LIBS tovra_gui)
tovra_add_qtest(tst_testpages
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_testpages.cpp ${CMAKE_CURRENT_SOURCE_DIR}/linkfixture.h
  ${CMAKE_CURRENT_SOURCE_DIR}/usb/usbtestsupport.h LIBS tovra_gui tovra_sim TIMEOUT 300)
target_include_directories(tst_testpages PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
