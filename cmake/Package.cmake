# The Debian package "vantrel": the install rules of src/ (the programs, the
# manual page, the desktop entry and icons) plus the files Debian wants beside
# them, packed by CPack's DEB generator. scripts/package.sh builds it from the
# release preset and checks it with lintian:
#
#   cpack --config build/release/CPackConfig.cmake -B build/package
#
# The maintainer script cmake/deb/postinst gives Vantrel the capability
# cap_net_bind_service on every configure, so that an ordinary user may bind
# UDP 137 and 138 and receive.
include(GNUInstallDirs)

set(VANTREL_DEB_DIR ${PROJECT_SOURCE_DIR}/cmake/deb)
set(VANTREL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/vantrel)

# What the package holds, built: scripts/package.sh builds this target alone
# rather than the whole tree (tests, fuzzers, benchmarks).
add_custom_target(vantrel_package_contents)
add_dependencies(vantrel_package_contents Vantrel vantrel-send)

# vantrel_install_gzipped(<file> <destination>)
#
# Installs <file> compressed as Debian wants manual pages and changelogs:
# gzip -9n, without name and time stamp, so the bytes stay the same from
# build to build.
function(vantrel_install_gzipped file destination)
  get_filename_component(name ${file} NAME)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/gzipped/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/gzipped
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${file} ${out}
    DEPENDS ${file}
    VERBATIM)
  string(MAKE_C_IDENTIFIER ${name} id)
  add_custom_target(vantrel_gzip_${id} ALL DEPENDS ${out})
  add_dependencies(vantrel_package_contents vantrel_gzip_${id})
  install(FILES ${out} DESTINATION ${destination})
endfunction()

install(FILES ${VANTREL_DEB_DIR}/copyright DESTINATION ${VANTREL_DOC_DIR})
vantrel_install_gzipped(${VANTREL_DEB_DIR}/changelog ${VANTREL_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR Tessivane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tessivane <team@tessivane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pop-up messenger for the local network")
# The long description: lines of at most 79 characters ("." is an empty line).
set(CPACK_PACKAGE_DESCRIPTION
  "Vantrel lives behind an icon in the notification area and sends and
receives short text messages as Messenger datagrams (NetBIOS datagram
service, UDP 138, mailslot messngr), to one computer or to a whole
workgroup. It talks to Windows computers running the Messenger service, to
Samba hosts and to other copies of itself. vantrel-send sends such a
message from the command line.
.
So that an ordinary user receives, the installation gives /usr/bin/Vantrel
the capability cap_net_bind_service (binding ports below 1024) where the
file system keeps file capabilities.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the programs link are found by dpkg-shlibdeps; the
# dialog font and setcap (used by postinst at configure time, which a plain
# Depends already orders before it) are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${VANTREL_DEB_DIR}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)

# lintian on the package of the tree under test: seconds, so it runs with ctest. (The release
# package itself comes from scripts/package.sh, which checks it the same way.) Not in sanitizer
# trees: what lintian checks is the same there, and it takes long over their big binaries.
if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  add_test(NAME package_lintian
    COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/package.sh --build-dir ${PROJECT_BINARY_DIR}
            --out ${PROJECT_BINARY_DIR}/package-lintian)
  set_tests_properties(package_lintian PROPERTIES LABELS package SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
