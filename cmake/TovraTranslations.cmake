# The Simplified Chinese and Japanese texts. The .ts files are kept in
# resources/translations/ and compiled into build/translations/*.qm, where the
# program looks for them relative to its working directory.
include(GNUInstallDirs)

set(TOVRA_TRANSLATION_LANGUAGES zh_CN ja_JP)
# What lupdate reads. qttexts.h lists the texts of Qt's own widgets, since the
# program loads no .qm file but its own.
set(TOVRA_TRANSLATION_INPUTS app ui pages fonts link settings resources/translations/qttexts.h)

set(tovra_ts_files)
foreach(language IN LISTS TOVRA_TRANSLATION_LANGUAGES)
  list(APPEND tovra_ts_files ${PROJECT_SOURCE_DIR}/resources/translations/${language}.ts)
endforeach()
set_source_files_properties(${tovra_ts_files} PROPERTIES OUTPUT_LOCATION ${CMAKE_BINARY_DIR}/translations)
qt5_add_translation(tovra_qm_files ${tovra_ts_files})

add_custom_target(tovra-translations ALL DEPENDS ${tovra_qm_files})
add_dependencies(tovra-cloud-printer-setup tovra-translations)

install(FILES ${tovra_qm_files} DESTINATION ${CMAKE_INSTALL_DATADIR}/tovra-cloud-printer-setup/translations)

# For developers after changing texts in the sources: new texts come in as
# unfinished, removed ones are dropped. Then translate them in Qt Linguist.
add_custom_target(tovra-update-translations
  COMMAND Qt5::lupdate -I ${PROJECT_SOURCE_DIR} ${TOVRA_TRANSLATION_INPUTS}
          -locations none -no-obsolete -ts ${tovra_ts_files}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Updating the .ts files from the sources"
  VERBATIM)
