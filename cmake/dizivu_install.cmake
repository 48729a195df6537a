# What `cmake --install` puts under the prefix, and the Debian package `cpack -G DEB` makes
# of it: the three programs (and the card-terminal emulator when it is built), the menu
# entry and its icon, the udev rules, the example scripts and dizivu-cli's manual page.
include(GNUInstallDirs)

set(DIZIVU_PROGRAMS dizivu dizivu-cli registrar-emulator card-terminal-emulator)
foreach(program ${DIZIVU_PROGRAMS})
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(FILES packaging/dizivu.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/dizivu.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# udev rules for the registrar on USB (access for the user and group dialout, no ModemManager).
set(DIZIVU_UDEV_RULES_DIR "lib/udev/rules.d" CACHE PATH "Where cmake --install puts the udev rules")
install(FILES packaging/70-dizivu-registrar.rules DESTINATION ${DIZIVU_UDEV_RULES_DIR})

install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# dizivu-cli's manual page, written from its --help at build time.
if(TARGET dizivu-cli)
  set(DIZIVU_MANPAGE ${PROJECT_BINARY_DIR}/man/dizivu-cli.1)
  add_custom_command(OUTPUT ${DIZIVU_MANPAGE}
    COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:dizivu-cli> -DOUT=${DIZIVU_MANPAGE}
            -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/dizivu_manpage.cmake
    DEPENDS dizivu-cli ${PROJECT_SOURCE_DIR}/cmake/dizivu_manpage.cmake
    COMMENT "Writing the manual page of dizivu-cli")
  add_custom_target(dizivu_manpage ALL DEPENDS ${DIZIVU_MANPAGE})
  install(FILES ${DIZIVU_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The Debian package.
set(CPACK_PACKAGE_NAME dizivu)
set(CPACK_PACKAGE_VENDOR "dizivu")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service and operator program for a fiscal cash register")
set(CPACK_PACKAGE_DESCRIPTION
    "Connects to a fiscal registrar over a serial port, its USB virtual COM port or USB, sells in \
receipts, prints reports, runs command scripts and configures the registrar. Includes \
dizivu-cli for automation and a registrar emulator for trying the program without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "dizivu developers <dizivu@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt 6 libraries the programs link, the platform plugins the window needs, Qt's own
# Russian texts, and the USB library loaded at run time (not seen by a linker scan).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6serialport6 (>= 6.4), qt6-qpa-plugins, qt6-translations-l10n, libusb-0.1-4")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
