# cpack -G DEB in a built tree makes the Debian package of what `cmake --install` puts in place.
set(CPACK_PACKAGE_NAME patchwarden)
set(CPACK_PACKAGE_VENDOR "Brindlecroft Music Software")
set(CPACK_PACKAGE_CONTACT "Brindlecroft Music Software <patchwarden@brindlecroft.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of at most 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Patchwarden keeps, song by song, the program and controller settings of MIDI\nunits and sends them to the MIDI output the moment a song is chosen; set lists\nare played with the mouse, the keyboard or a foot controller.")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.brindlecroft.example/patchwarden")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The shared libraries the program links come from dpkg-shlibdeps; what it loads at run
# time is named by hand: Qt's window-system plugins and the font the skins ask for.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd2, a2jmidid")
set(CPACK_STRIP_FILES ON)
include(CPack)
