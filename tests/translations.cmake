# The .ts files against the sources, and the windows in each language.
tovra_add_qtest(tst_translations SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_translations.cpp LIBS tovra_gui)
list(JOIN TOVRA_TRANSLATION_INPUTS "," tovra_translation_inputs)
target_compile_definitions(tst_translations PRIVATE
  TOVRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  TOVRA_LUPDATE="$<TARGET_FILE:Qt5::lupdate>"
  TOVRA_TRANSLATION_INPUTS="${tovra_translation_inputs}"
  TOVRA_QM_DIR="${CMAKE_BINARY_DIR}/translations")
add_dependencies(tst_translations tovra-translations)
