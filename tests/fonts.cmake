# The font file upload engine, alone, against the printer simulator and
# under the font dialog.
tovra_add_qtest(tst_fileupload SOURCES tst_fileupload.cpp linkfixture.h recordcapture.h modalcloser.h LIBS tovra_gui
  TIMEOUT 300)
tovra_add_qtest(tst_dialogfontsettings SOURCES tst_dialogfontsettings.cpp recordcapture.h LIBS tovra_gui)
