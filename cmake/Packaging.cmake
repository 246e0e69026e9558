# A Debian package of the installed program (`cpack -G DEB` in a build folder).
set(CPACK_PACKAGE_NAME pegelwerk)
set(CPACK_PACKAGE_VENDOR "The Pegelwerk developers")
set(CPACK_PACKAGE_VERSION "2.00.0005")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small, fast six-slider desktop mixer")
set(CPACK_PACKAGE_DESCRIPTION
  "One fixed window with six sliders for the master volume, microphone, line-in, CD, MIDI and wave playback lines of the sound card. Every move sets its line at once and plays a short ding.")
set(CPACK_PACKAGE_CONTACT "The Pegelwerk developers")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libsndfile is loaded at run time and Qt's platform plugins are plugins, so
# dpkg-shlibdeps sees neither.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsndfile1 (>= 1.0.20), qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)
