# The USB link: the transport against a fake sysfs tree and pseudo-terminals,
# end to end through the simulator's pseudo-terminal, the promises it shares
# with the TCP link, and the real default paths under umockdev.
set(usb_support ${CMAKE_CURRENT_SOURCE_DIR}/usb/usbtestsupport.h ${CMAKE_CURRENT_SOURCE_DIR}/linkfixture.h)

tovra_add_qtest(tst_usbprinter SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_usbprinter.cpp ${usb_support}
  LIBS tovra_core)
target_include_directories(tst_usbprinter PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})

tovra_add_qtest(tst_usb_umockdev SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_usb_umockdev.cpp ${usb_support}
  LIBS tovra_core)
target_include_directories(tst_usb_umockdev PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(tst_usb_umockdev PRIVATE TOVRA_USB_FIXTURES="${CMAKE_CURRENT_SOURCE_DIR}/usb")

tovra_add_qtest(tst_usb_e2e SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_usb_e2e.cpp ${usb_support}
  ${CMAKE_CURRENT_SOURCE_DIR}/simprocess.h LIBS tovra_core TIMEOUT 300)
target_include_directories(tst_usb_e2e PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})

tovra_add_qtest(tst_usb_contract SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_usb_contract.cpp ${usb_support}
  ${CMAKE_CURRENT_SOURCE_DIR}/simprocess.h LIBS tovra_core TIMEOUT 300)
target_include_directories(tst_usb_contract PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
