# The Debian package: `cpack` in the build folder writes
# tolvan_VERSION_amd64.deb from the install rules (the program, the dialog
# library under lib/tolvan and the user guide under share/tolvan), so that
# `apt install ./tolvan_*.deb` puts in place what `cmake --install` does.
# The package's dependencies are read from the libraries the program and the
# dialog link, so the Qt 6 libraries come with it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvan)
set(CPACK_PACKAGE_VENDOR "Quenby Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Header comments and change markers for Visual Basic 6 and VBA modules")
set(CPACK_PACKAGE_DESCRIPTION
    "Writes procedure and module header comments expanded from templates, and dated change markers around selected lines, into Visual Basic module files: from the command line, a language server for editors (tolvan lsp) and a Qt settings dialog.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tolvan developers <tolvan@example.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The dialog library is found by dpkg-shlibdeps as the program's own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/src/cli)
# The Japanese fonts the dialog is drawn with; without them it still opens.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, qt6-translations-l10n")
include(CPack)
