tovra_add_qtest(tst_printersim SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_printersim.cpp LIBS tovra_sim)
# The test runs the executable too.
