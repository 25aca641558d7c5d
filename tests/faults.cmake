# The window, the font dialog, the USB link and the connect dialog against a
# printer simulator that misbehaves on purpose. The discovery flood runs in
# network namespaces of its own (it needs root; without, it skips).
tovra_add_qtest(tst_faults SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_faults.cpp ${CMAKE_CURRENT_SOURCE_DIR}/loopwatch.h
  ${CMAKE_CURRENT_SOURCE_DIR}/usb/usbtestsupport.h
  ${CMAKE_CURRENT_SOURCE_DIR}/linkfixture.h ${CMAKE_CURRENT_SOURCE_DIR}/modalcloser.h LIBS tovra_gui TIMEOUT 300)
tovra_add_qtest(tst_faults_discovery SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_faults_discovery.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/netns.h ${CMAKE_CURRENT_SOURCE_DIR}/linkfixture.h LIBS tovra_gui TIMEOUT 300)
