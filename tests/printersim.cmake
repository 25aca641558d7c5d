# The simulator's records, state file and options, and its executable over loopback.
tovra_add_qtest(tst_printersim
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_printersim.cpp ${CMAKE_CURRENT_SOURCE_DIR}/simprocess.h LIBS tovra_sim)
