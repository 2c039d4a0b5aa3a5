# SPDX-License-Identifier: MIT
# What `cmake --install` puts under the prefix (FHS layout), and the .deb CPack
# makes of it. share/kelvane/installed-files lists every file installed, so that
# the About window can tell the program's size from its own files alone.
include(GNUInstallDirs)

set(KELVANE_APP_ID com.orbwright.kelvane)
set(KELVANE_MAINTAINER "The Kelvane developers <kelvane@orbwright.com>")
set(staging ${PROJECT_BINARY_DIR}/install-data)
set(installed_files "")  # relative to the prefix

install(TARGETS kelvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
list(APPEND installed_files ${CMAKE_INSTALL_BINDIR}/kelvane)
set(man_pages kelvane)
if(TARGET kelvanefs)
  install(TARGETS kelvanefs RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND installed_files ${CMAKE_INSTALL_BINDIR}/kelvanefs)
  list(APPEND man_pages kelvanefs)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/${KELVANE_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${KELVANE_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
list(APPEND installed_files
  ${CMAKE_INSTALL_DATADIR}/applications/${KELVANE_APP_ID}.desktop
  ${CMAKE_INSTALL_DATADIR}/metainfo/${KELVANE_APP_ID}.metainfo.xml)

# The icon set the window uses too (resources/icons.qrc).
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kelvane.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${KELVANE_APP_ID}.svg)
list(APPEND installed_files ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps/${KELVANE_APP_ID}.svg)
foreach(size 16 24 32 48 64 128 256)
  set(folder ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kelvane-${size}.png DESTINATION ${folder}
    RENAME ${KELVANE_APP_ID}.png)
  list(APPEND installed_files ${folder}/${KELVANE_APP_ID}.png)
endforeach()

# Man pages and the changelogs compressed as Debian wants them (gzip -9n: no
# name or time inside, so the bytes depend on the text alone).
set(gzipped "")
foreach(page ${man_pages})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/man/${page}.1 ${staging}/${page}.1 @ONLY)
  list(APPEND gzipped ${staging}/${page}.1)
  install(FILES ${staging}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  list(APPEND installed_files ${CMAKE_INSTALL_MANDIR}/man1/${page}.1.gz)
endforeach()
# The release notes keep their own name: "changelog" in a package's doc
# folder is Debian's changelog, which dpkg and lintian read in their format.
# That one is made here for the version built, dated as CHANGELOG.md dates it.
configure_file(${PROJECT_SOURCE_DIR}/CHANGELOG.md ${staging}/CHANGELOG.md COPYONLY)
file(STRINGS ${staging}/CHANGELOG.md release_headings REGEX "^## " ENCODING UTF-8)
list(GET release_headings 0 newest_release)
string(REGEX MATCH "[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]" release_date "${newest_release}")
if(NOT release_date)
  message(FATAL_ERROR "CHANGELOG.md: the first release heading has no date: ${newest_release}")
endif()
execute_process(COMMAND date -u -R -d "${release_date} 12:00:00" OUTPUT_VARIABLE release_stamp
  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
file(WRITE ${staging}/changelog "kelvane (${PROJECT_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}. What changed is in CHANGELOG.md.gz beside this file.

 -- ${KELVANE_MAINTAINER}  ${release_stamp}
")
list(APPEND gzipped ${staging}/CHANGELOG.md ${staging}/changelog)
set(gzip_outputs "")
foreach(file ${gzipped})
  add_custom_command(OUTPUT ${file}.gz COMMAND gzip -9nfk ${file} DEPENDS ${file} VERBATIM)
  list(APPEND gzip_outputs ${file}.gz)
endforeach()
add_custom_target(kelvane_install_data DEPENDS ${gzip_outputs})
add_dependencies(kelvane kelvane_install_data)

set(docdir ${CMAKE_INSTALL_DATADIR}/doc/kelvane)
install(FILES ${staging}/changelog.gz ${staging}/CHANGELOG.md.gz DESTINATION ${docdir})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${docdir} RENAME copyright)
install(FILES ${PROJECT_SOURCE_DIR}/resources/NOTICES.txt DESTINATION ${docdir} RENAME NOTICES)
list(APPEND installed_files ${docdir}/changelog.gz ${docdir}/CHANGELOG.md.gz ${docdir}/copyright ${docdir}/NOTICES)

# systemd user units: every *.service and *.timer of packaging/systemd, with
# @CMAKE_INSTALL_FULL_BINDIR@ filled in at install time, since CPack installs
# under a prefix of its own. Each install writes straight into its own
# destination: installs may run side by side (a package and a plain install).
file(GLOB units CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/packaging/systemd/*.service
  ${PROJECT_SOURCE_DIR}/packaging/systemd/*.timer)
set(unitdir lib/systemd/user)
foreach(unit ${units})
  get_filename_component(name ${unit} NAME)
  list(APPEND installed_files ${unitdir}/${name})
  install(CODE "
    set(CMAKE_INSTALL_FULL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    set(target \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${unitdir}/${name}\")
    message(STATUS \"Installing: \${target}\")
    file(READ \"${unit}\" text)
    file(CONFIGURE OUTPUT \"\${target}\" CONTENT \"\${text}\" @ONLY)
    file(CHMOD \"\${target}\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${target}\")")
endforeach()

list(APPEND installed_files ${CMAKE_INSTALL_DATADIR}/kelvane/installed-files)
list(SORT installed_files)
list(JOIN installed_files "\n" listing)
file(WRITE ${staging}/installed-files "${listing}\n")
install(FILES ${staging}/installed-files DESTINATION ${CMAKE_INSTALL_DATADIR}/kelvane)

# The Debian package: dependencies from the libraries the executables link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VENDOR "The Kelvane developers")
set(CPACK_PACKAGE_CONTACT "${KELVANE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compress files in place and read them back byte for byte")
set(CPACK_PACKAGE_DESCRIPTION "Kelvane compresses files where they are, in the decmpfs format with LZFSE,
and keeps a list of registered files and folders that it compresses again on
request or on a weekly systemd timer. Every conversion is proved on a temporary
file before it is swapped in, so no failure leaves a file half converted.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://orbwright.com/kelvane/)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# What the program needs that no library link shows: a font with Japanese
# glyphs (every label is Japanese; DejaVu alone draws boxes), Qt's platform
# plugins (no window without them) and fusermount3 (mounts are part of the
# usual flow). Qt's own Japanese dialog texts and a themed icon set only look
# better: the program falls back to English and to icons it draws itself.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic, qt6-qpa-plugins")
if(TARGET kelvanefs)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", fuse3")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, adwaita-icon-theme | breeze-icon-theme, libqt6svg6")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
