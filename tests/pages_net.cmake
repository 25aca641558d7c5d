# The Ethernet, Wi-Fi and mobile network pages and the Configure Wi-Fi
# dialog, on their own and against the printer simulator on a loopback
# address of its own.
tovra_add_qtest(tst_networkpages
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_networkpages.cpp ${CMAKE_CURRENT_SOURCE_DIR}/linkfixture.h
          ${CMAKE_CURRENT_SOURCE_DIR}/recordcapture.h ${CMAKE_CURRENT_SOURCE_DIR}/pagesupport.h
  LIBS tovra_gui TIMEOUT 300)
