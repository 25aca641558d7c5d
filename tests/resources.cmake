# The compiled-in images, the window icons and the desktop entry.
tovra_add_qtest(tst_resources SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_resources.cpp LIBS tovra_gui)
target_compile_definitions(tst_resources PRIVATE
  TOVRA_DESKTOP_FILE="${PROJECT_SOURCE_DIR}/packaging/tovra-cloud-printer-setup.desktop"
  TOVRA_DESKTOP_ICON="${PROJECT_SOURCE_DIR}/resources/images/app-256.png")
