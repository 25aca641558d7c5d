# The mobile network page, on its own and on a link to the simulator.
tovra_add_qtest(tst_widgetwnet
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_widgetwnet.cpp ${CMAKE_CURRENT_SOURCE_DIR}/linkfixture.h
          ${CMAKE_CURRENT_SOURCE_DIR}/testsupport.h
  LIBS tovra_gui TIMEOUT 300)
