# Installs the native tarn like a Linux program: the binary, its man page made from Markdown, its bash completion,
# a Debian package.
include(GNUInstallDirs)
install(TARGETS tarn RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/src/cli/completion.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME tarn)

find_program(GO_MD2MAN go-md2man)
if(GO_MD2MAN)
  # Installed compressed, as Debian's policy asks and man reads it; -n keeps the package the same from build to build.
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/tarn.1 ${CMAKE_BINARY_DIR}/tarn.1.gz
    COMMAND ${GO_MD2MAN} -in ${CMAKE_SOURCE_DIR}/docs/tarn.1.md -out ${CMAKE_BINARY_DIR}/tarn.1
    COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/tarn.1 > ${CMAKE_BINARY_DIR}/tarn.1.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/tarn.1.md)
  add_custom_target(manpage ALL DEPENDS ${CMAKE_BINARY_DIR}/tarn.1.gz)
  install(FILES ${CMAKE_BINARY_DIR}/tarn.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "go-md2man not found: tarn is installed without its man page")
endif()

# The licence, and the Debian changelog, as Debian's policy asks of every package (compressed, -n: the same bytes
# from build to build).
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.Debian.gz
  COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/cmake/debian/changelog > ${CMAKE_BINARY_DIR}/changelog.Debian.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/debian/changelog)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/copyright ${CMAKE_BINARY_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarn)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME tarn)

# The maintainer is the maker whose address the program shows.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/app/maker.h maker_mail REGEX "^#define TARN_MAKER_MAIL ")
string(REGEX REPLACE "^#define TARN_MAKER_MAIL \"([^\"]+)\".*" "\\1" maker_mail "${maker_mail}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ormand Software Studio <${maker_mail}>")
# A Debian revision of its own: the package's changelog is then changelog.Debian.gz.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cut files into numbered pieces and join them again")
# Lines of the extended description are kept under 80 columns, as dpkg shows them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "tarn cuts a file into numbered pieces of a chosen size or count, so that it"
  "can be mailed or carried on small media, and rebuilds it from them with its"
  "name, times and checksum. Its sets are those of Tarn.exe on Windows: either"
  "program joins what the other cut. Commands: split (standard input too), join"
  "(to standard output too), info, verify and repair; recovery volumes in the"
  "PAR 2.0 format rebuild lost or damaged pieces.")
# The binary keeps no debugging symbols in the package, as Debian's policy asks.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
