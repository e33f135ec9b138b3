# `cpack -G DEB` in the build folder makes kelvara_<version>_<arch>.deb from the install rules.
set(CPACK_PACKAGE_NAME kelvara)
set(CPACK_PACKAGE_VENDOR Maroven)
set(CPACK_PACKAGE_CONTACT "Maroven <kelvara@maroven.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find the dead links of a website")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvara crawls a website from its home page level by level, probes every link over HTTP and shows the valid, \
dead and timed-out links in a tree under the page they were found on; it pauses and resumes a check and exports \
text, Html and spreadsheet reports. The interface is in Simplified Chinese. kelvara-check runs the same check \
without a window.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY kelvara)
set(CPACK_GENERATOR DEB)
# The package carries no debug information; RelWithDebInfo builds keep theirs in the build folder.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.maroven.example/kelvara/)
# The libraries the binaries link come from dpkg-shlibdeps. What they load at run time does not show
# there: Qt's platform plugins (no window without them, and Qt only recommends them), the SQLite
# driver of Qt's SQL module (a plugin: without it no check is kept on disk), the CA
# certificates for https sites, a font with Chinese glyphs for the interface and xdg-open, which opens
# pages and reports in the desktop's programs. kelvara-render draws pages built by scripts with Qt
# WebEngine, whose Chromium runs in QtWebEngineProcess and reads its resources and locales from data
# files: neither shows as a linked library.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite, libqt6webenginecore6-bin, libqt6webengine6-data")
# Qt's PostgreSQL driver only for a history that several machines share (kelvara-check --history postgresql://).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ca-certificates, fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei, qt6-translations-l10n, xdg-utils")

include(CPack)
