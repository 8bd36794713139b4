# The Debian package (scripts/package): CPack's DEB generator over what
# `cmake --install` installs, below /usr. The libraries the program links are
# found by dpkg-shlibdeps; Qt's database drivers, loaded by name at run time,
# are named here, as are what the window uses when it is there.

set(CRVXML_MAINTAINER "Manutentori di crvxml <crvxml@example.org>" CACHE STRING
  "Maintainer of the Debian package: name <address>")

# What Debian asks of every package: its copyright and its changelog,
# compressed to the last byte and without a time stamp.
configure_file(program/debian/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
set(CRVXML_CHANGELOG ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${CRVXML_CHANGELOG}
  COMMAND sh -c "gzip -9nc changelog > changelog.gz"
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  VERBATIM)
add_custom_target(crvxml-changelog DEPENDS ${CRVXML_CHANGELOG})
# What cmake --install copies besides the program comes with crvxml-doc.
add_dependencies(crvxml-doc crvxml-changelog)
install(FILES program/debian/copyright ${CRVXML_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME crvxml)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${CRVXML_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CRVXML_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "importazione delle pratiche dei mandanti nell'archivio della suite")
set(CPACK_PACKAGE_DESCRIPTION
  "Il modulo di importazione della suite di gestione delle pratiche di recupero
crediti. Legge i file XML che i mandanti consegnano (formato Corvestra e
formato banca, anche come esportazione di testo), elenca ogni pratica con i
totali e la scrive nell'archivio pratiche della suite (SQLite, PostgreSQL o
ODBC), con un lotto di importazione per esecuzione e un registro di che cosa
fu importato. Mostra le fatture elettroniche FatturaPA, esporta pratiche in
cartelle di lavoro .xlsx e accoda le note comuni ai memo.

Una finestra per l'operatore e gli stessi comandi da terminale (crvxml(1)).")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's SQLite, PostgreSQL and ODBC drivers: plug-ins, which no linker sees.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql, libqt6sql6-odbc")
# Qt's own texts in Italian, the face with the design's widths, the ODBC
# drivers a connection string may name, and xdg-open for files handed to
# the desktop.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "qt6-translations-l10n, fonts-liberation2, libsqliteodbc, odbc-postgresql, xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
