# What scripts/demo-headless needs beside the program, built on demand
# (target pegelwerk_demo): the virtual sound card with its write-config
# (tests/vcard), and two small window drivers (Qt and Xlib, which Qt's
# development files bring along): one presses a key and takes a picture, the
# tests' close_window closes the window as a window manager would.
set(demo_dir ${PROJECT_BINARY_DIR}/demo)
add_custom_target(pegelwerk_demo DEPENDS pegelwerk pegelwerk_ding pegelwerk_vcard)
find_package(X11 QUIET)
if(X11_FOUND)
  add_executable(demo_window EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/scripts/demo/demo_window.cpp)
  target_link_libraries(demo_window PRIVATE pegelwerk_flags Qt6::Gui X11::X11)
  add_executable(demo_close_window EXCLUDE_FROM_ALL
    ${PROJECT_SOURCE_DIR}/tests/support/close_window.c)
  target_link_libraries(demo_close_window PRIVATE pegelwerk_flags X11::X11)
  set_target_properties(demo_window demo_close_window PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${demo_dir})
  add_dependencies(pegelwerk_demo demo_window demo_close_window)
endif()
