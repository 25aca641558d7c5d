# The serial and audio settings pages. The serial suite prints through a
# pseudo-terminal of its own and saves against the printer simulator on a
# loopback address of its own.
tovra_add_qtest(tst_widgetaudio SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_widgetaudio.cpp LIBS tovra_gui)
tovra_add_qtest(tst_widgetserial
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_widgetserial.cpp ${CMAKE_CURRENT_SOURCE_DIR}/linkfixture.h
  LIBS tovra_gui TIMEOUT 300)
