# The USB transport against a fake sysfs tree and pseudo-terminals, and on
# the real default paths under umockdev; end to end it runs in tst_link_e2e.
set(usb_support ${CMAKE_CURRENT_SOURCE_DIR}/usb/usbtestsupport.h ${CMAKE_CURRENT_SOURCE_DIR}/linkfixture.h)

tovra_add_qtest(tst_usbprinter SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_usbprinter.cpp ${usb_support}
  LIBS tovra_core)
target_include_directories(tst_usbprinter PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(tst_usbprinter PRIVATE TOVRA_USB_FIXTURES="${CMAKE_CURRENT_SOURCE_DIR}/usb")
