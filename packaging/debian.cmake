# The Debian package, built by CPack from the install rules:
#   cmake --build build/qt6 --target package     (or: cd build/qt6 && cpack -G DEB)
# gives build/qt6/quorvane_<version>_<arch>.deb.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "print many spreadsheet workbooks and change their page setup in one run")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvane prints every spreadsheet workbook (.xls, .xlsx, .xlsm, .csv) under a
folder in one run, with per-sheet options (empty sheets skipped, first sheet
only, named sheets, a cell range, a paper size), and changes the margins and
orientation of all of them in one run.  The work is done by LibreOffice Calc
in a hidden process of its own; printing goes through CUPS.
.
The package holds the window, Quorvane, and quorvane-cli, which runs the same
runs from a terminal, a script or a scheduled job, and can write PDF files
instead of printing.")
set(QUORVANE_PACKAGE_MAINTAINER "Quorvane maintainers" CACHE STRING
    "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${QUORVANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # quorvane_<version>_<arch>.deb
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# Libraries come from dpkg-shlibdeps.  The LibreOffice UNO libraries (sal,
# cppu and their helpers) lie outside the library path, in the office's
# program folder; dpkg-shlibdeps finds them through the programs' run path
# (INSTALL_RPATH, set beside the programs) and maps them to the libuno-*
# packages that own them, so they need no entry here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What is run rather than linked: the office itself (libreoffice-core, not the
# -nogui variant, which cannot print; libreoffice-calc for the spreadsheet
# filters) and lpstat from the CUPS client for the printer list.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libreoffice-calc, libreoffice-core, cups-client")
# The interface texts are Chinese; the window opens the failure list with
# xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei, xdg-utils")

include(CPack)
