# Invoked after building a Qt-free target: the build fails if Qt shows up
# among its link libraries.
foreach(lib IN LISTS LINKS INTERFACE_LINKS)
  if(lib MATCHES "Qt[0-9]*::" OR lib MATCHES "libQt[0-9]")
    message(FATAL_ERROR "${TARGET_NAME} must not link Qt, but links ${lib}")
  endif()
endforeach()
