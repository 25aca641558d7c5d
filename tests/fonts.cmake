# The font file upload engine, alone and against the printer simulator.
tovra_add_qtest(tst_fileupload SOURCES tst_fileupload.cpp linkfixture.h recordcapture.h LIBS tovra_core TIMEOUT 300)
tovra_add_qtest(tst_dialogfontsettings SOURCES tst_dialogfontsettings.cpp recordcapture.h LIBS tovra_gui)
tovra_add_qtest(tst_fonts_e2e SOURCES tst_fonts_e2e.cpp linkfixture.h pagesupport.h modalcloser.h LIBS tovra_gui TIMEOUT 300)
