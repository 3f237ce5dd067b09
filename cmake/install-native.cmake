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

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tarn developers <tarn@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cut files into numbered pieces and join them again")
# Lines of the extended description are kept under 80 columns, as dpkg shows them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "tarn cuts a file into numbered pieces of a chosen size or count, so that it"
  "can be mailed or carried on small media, and rebuilds it from them with its"
  "name, times and checksum. Its sets are those of Tarn.exe on Windows: either"
  "program joins what the other cut. Commands: split (standard input too), join"
  "(to standard output too), info and verify.")
# The binary keeps no debugging symbols in the package, as Debian's policy asks.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
