# A Debian package of the installed program: `cpack -G DEB` in a build folder
# configured for the prefix /usr (the `package` preset, `make deb`). The
# program looks for its data in the prefix it was built for, so the package
# installs into that same prefix.
set(PEGELWERK_MAINTAINER "Pegelwerk developers <pegelwerk@pegelwerk.de>")

# The Debian changelog and the machine-readable copyright, made from LICENSE.
execute_process(
  COMMAND date -u -R -d ${PEGELWERK_RELEASE_DATE}
  OUTPUT_VARIABLE PEGELWERK_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(REGEX REPLACE "\n+$" "" license "${license}")
string(REGEX REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " license "${license}")
set(PEGELWERK_LICENSE_TEXT " ${license}")
# The first packaging of each version.
set(PEGELWERK_DEBIAN_REVISION 1)
set(debian_dir ${PROJECT_BINARY_DIR}/debian)
configure_file(cmake/debian/copyright.in ${debian_dir}/copyright @ONLY)
configure_file(cmake/debian/changelog.in ${debian_dir}/changelog.Debian @ONLY)
add_custom_command(
  OUTPUT ${debian_dir}/changelog.Debian.gz
  COMMAND ${PEGELWERK_GZIP} -9n -c changelog.Debian > changelog.Debian.gz
  DEPENDS ${debian_dir}/changelog.Debian
  WORKING_DIRECTORY ${debian_dir}
  COMMENT "Compressing the Debian changelog")
add_custom_target(pegelwerk_debian_docs ALL DEPENDS ${debian_dir}/changelog.Debian.gz)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/pegelwerk)
install(FILES ${debian_dir}/copyright ${debian_dir}/changelog.Debian.gz DESTINATION ${doc_dir})

set(CPACK_PACKAGE_NAME pegelwerk)
set(CPACK_PACKAGE_VENDOR "The Pegelwerk developers")
set(CPACK_PACKAGE_VERSION ${PEGELWERK_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${PEGELWERK_DEBIAN_REVISION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small, fast six-slider desktop mixer")
# Debian wants the lines of the long description under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "One fixed window with six sliders for the master volume, microphone,
line-in, CD, MIDI and wave playback lines of the sound card. Every move
sets its line at once and plays a short ding.")
set(CPACK_PACKAGE_CONTACT ${PEGELWERK_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PEGELWERK_MAINTAINER})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libsndfile is loaded at run time and Qt's platform plugins are plugins, so
# dpkg-shlibdeps sees neither.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsndfile1 (>= 1.0.20), qt6-qpa-plugins")
# Wayland sessions need Qt's Wayland plugin; the bell stands in for the ding.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, sound-theme-freedesktop")
set(CPACK_STRIP_FILES ON)
include(CPack)
