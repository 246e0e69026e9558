# The Debian package is built from debian/ (`make deb`, dpkg-buildpackage).
# Its version and date come from debian/changelog, whose newest entry must be
# this release: the build stops here when the two differ.
set(changelog ${PROJECT_SOURCE_DIR}/debian/changelog)
if(EXISTS ${changelog})
  file(STRINGS ${changelog} entry LIMIT_COUNT 1 REGEX "^pegelwerk ")
  file(STRINGS ${changelog} trailer LIMIT_COUNT 1 REGEX "^ -- ")
  string(REGEX REPLACE "^pegelwerk \\(([^)]*)\\).*" "\\1" changelog_version "${entry}")
  string(REGEX REPLACE "^ -- .*>  " "" changelog_date "${trailer}")
  execute_process(
    COMMAND date -u -R -d ${PEGELWERK_RELEASE_DATE}
    OUTPUT_VARIABLE release_date OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT changelog_version STREQUAL PEGELWERK_VERSION OR NOT changelog_date STREQUAL release_date)
    message(FATAL_ERROR "debian/changelog's newest entry is ${changelog_version} of "
      "${changelog_date}, but this is ${PEGELWERK_VERSION} of ${release_date}: "
      "add an entry for this release (dch -v ${PEGELWERK_VERSION})")
  endif()
endif()
