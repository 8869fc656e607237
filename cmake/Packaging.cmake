# Debian package of everything `cmake --install` puts in place: the library,
# zep-sim, zep-contract and its sources, the headers and the pkg-config file.
# Runtime dependencies come from dpkg-shlibdeps, so they follow whatever the
# binaries were linked against.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sta-meas)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "sta-meas maintainers <sta-meas@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Station-measurement application of the access point management framework")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "libsta_meas.so, its C headers and pkg-config file, and zep-sim, which plays
 scenarios against the library on an emulation of the framework, and
 zep-contract, which checks a framework against what the library assumes of it.")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack asks dpkg for the architecture, which names the build machine's.
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
# The installed headers include the safe C library's; the .pc file requires it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsafec-dev")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkg-config")
# A shlibs file, so that packages linking libsta_meas depend on this one.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
