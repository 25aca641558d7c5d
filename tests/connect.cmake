# The connect and reconnect dialogs. The connect dialog's suite makes network
# namespaces of its own (it needs root; without, it skips) and runs the
# printer simulator in them.
tovra_add_qtest(tst_dialogconnect SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_dialogconnect.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/netns.h ${CMAKE_CURRENT_SOURCE_DIR}/linkfixture.h
  ${CMAKE_CURRENT_SOURCE_DIR}/usb/usbtestsupport.h LIBS tovra_gui TIMEOUT 300)
target_include_directories(tst_dialogconnect PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
tovra_add_qtest(tst_dialogreconnect SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_dialogreconnect.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/simprocess.h LIBS tovra_gui TIMEOUT 300)
