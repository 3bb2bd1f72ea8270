# cpack -G DEB: the program, the simulator and the desktop files in one Debian package whose
# library dependencies dpkg-shlibdeps works out; the CJK font is named so the Chinese texts
# have glyphs on any desktop.
set(CPACK_PACKAGE_NAME hartconfig)
set(CPACK_PACKAGE_VENDOR "hartconfig")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configure and calibrate HART smart transmitters")
set(CPACK_PACKAGE_DESCRIPTION "A HART primary master for a serial HART modem, with a \
transmitter simulator on a pseudo-terminal (hart-transmitter-sim).")
set(CPACK_PACKAGE_CONTACT "hartconfig maintainers <hartconfig@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei")
set(CPACK_GENERATOR DEB)
include(CPack)
