# The connect and reconnect dialogs. The connect dialog's suite makes network
# namespaces of its own (it needs root; without, it skips) and runs the
# printer simulator in them.
tovra_add_qtest(tst_dialogconnect SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_dialogconnect.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/netns.h LIBS tovra_gui TIMEOUT 300)
tovra_add_qtest(tst_dialogreconnect SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_dialogreconnect.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/simprocess.h LIBS tovra_gui TIMEOUT 300)
