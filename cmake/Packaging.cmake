# Installation layout and the Debian package.
#
# The program folder (programs, components, libraries, data files) goes to lib/tandemscan/ as it
# is in build/bin, with $ORIGIN rpaths; bin/ holds relative links to the three programs.
include(GNUInstallDirs)

set(launcher_dir ${CMAKE_BINARY_DIR}/launchers)
file(MAKE_DIRECTORY ${launcher_dir})
foreach(pair "tandemscan:Tandemscan" "tandemscan-merge:tandemscan-merge" "tilex:Tilex/Tilex")
  string(REPLACE ":" ";" parts ${pair})
  list(GET parts 0 name)
  list(GET parts 1 target)
  file(CREATE_LINK ../${TS_INSTALL_DIR}/${target} ${launcher_dir}/${name} SYMBOLIC)
  install(FILES ${launcher_dir}/${name} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

set(CPACK_PACKAGE_NAME tandemscan)
set(CPACK_PACKAGE_VENDOR "The Tandemscan developers")
set(CPACK_PACKAGE_CONTACT "The Tandemscan developers <tandemscan@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "join two scans of a sheet larger than the scanner glass")
set(CPACK_PACKAGE_DESCRIPTION
  "Tandemscan joins a document or picture larger than a flatbed scanner's glass, up to A3, that
was scanned in two passes: automatically from the sheet's known width, or by hand with precise
tools. The suite also holds tandemscan-merge for scripts, the Rasterkit image operation library
and Tilex, a sliding picture puzzle.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tandemscan.github.io/")
# The runtime dependencies are worked out from the libraries the programs link; our own
# libraries live in the program folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${TS_PROGRAM_DIR} ${TS_PROGRAM_DIR}/Tilex)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sane-utils, fonts-dejavu-core")
set(CPACK_STRIP_FILES ON)
include(CPack)
