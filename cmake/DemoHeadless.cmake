# What scripts/demo-headless needs beside the program, built on demand
# (target pegelwerk_demo), also when the tests are off: the virtual sound
# card (only ALSA's headers), a write-config that knows it, and a small
# window driver (Qt and Xlib, which Qt's development files bring along).
set(demo_dir ${PROJECT_BINARY_DIR}/demo)
if(TARGET pegelwerk_vcard)
  set(demo_card pegelwerk_vcard)
else()
  # The card's sources are those of its folder that are not tests.
  file(GLOB card_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/vcard/*.cpp)
  list(FILTER card_sources EXCLUDE REGEX "test[^/]*$")
  add_library(pegelwerk_demo_card MODULE EXCLUDE_FROM_ALL ${card_sources})
  target_compile_definitions(pegelwerk_demo_card PRIVATE PIC)
  target_link_libraries(pegelwerk_demo_card PRIVATE PkgConfig::ALSA)
  set_target_properties(pegelwerk_demo_card PROPERTIES
    OUTPUT_NAME pegelwerk_vcard LIBRARY_OUTPUT_DIRECTORY ${demo_dir})
  set(demo_card pegelwerk_demo_card)
endif()
file(GENERATE OUTPUT ${demo_dir}/write-config
  CONTENT "#!/bin/sh\nPEGELWERK_VCARD_PLUGIN='$<TARGET_FILE:${demo_card}>' exec '${PROJECT_SOURCE_DIR}/tests/vcard/write-config' \"$@\"\n"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

add_custom_target(pegelwerk_demo DEPENDS pegelwerk pegelwerk_ding ${demo_card})
find_package(X11 QUIET)
if(X11_FOUND)
  add_executable(demo_window EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/scripts/demo/demo_window.cpp)
  target_link_libraries(demo_window PRIVATE pegelwerk_flags Qt6::Gui X11::X11)
  set_target_properties(demo_window PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${demo_dir})
  add_dependencies(pegelwerk_demo demo_window)
endif()
