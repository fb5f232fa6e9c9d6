# Installation (cmake --install, make install) and the Debian package (make package).
#
#   bin/trelvan                                   the program
#   bin/trelvan-launch                            starts it in $XDG_DATA_HOME/trelvan
#   share/trelvan/trelvan.sym                     the digit figures the launcher seeds
#   share/applications/trelvan.desktop            the desktop entry, Exec: the launcher
#   share/icons/hicolor/scalable/apps/trelvan.svg its icon
#   share/metainfo/invalid.trelvan.trelvan.metainfo.xml   AppStream metadata for software centres
#   share/man/man1/trelvan.1.gz, trelvan-launch.1.gz, trelvan-report.1.gz   manual pages
#   share/doc/trelvan/copyright, changelog.Debian.gz   as Debian asks of every package
#   share/lintian/overrides/trelvan               lintian tags that do not apply to it
include(GNUInstallDirs)

set(TRELVAN_DEBIAN_RELEASE 1)
set(TRELVAN_DEBIAN_VERSION "${PROJECT_VERSION}-${TRELVAN_DEBIAN_RELEASE}")
set(TRELVAN_PACKAGE_MAINTAINER "TRELVAN maintainers <maintainers@trelvan.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

install(TARGETS trelvan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/trelvan.sym
        DESTINATION ${CMAKE_INSTALL_DATADIR}/trelvan)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/trelvan.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The launcher finds the figures relative to itself, so the installed tree can be moved.
file(RELATIVE_PATH TRELVAN_BIN_TO_DATA "/${CMAKE_INSTALL_BINDIR}"
     "/${CMAKE_INSTALL_DATADIR}/trelvan")
configure_file(${CMAKE_CURRENT_LIST_DIR}/trelvan-launch.in ${PROJECT_BINARY_DIR}/trelvan-launch
               @ONLY)
install(PROGRAMS ${PROJECT_BINARY_DIR}/trelvan-launch DESTINATION ${CMAKE_INSTALL_BINDIR})

install(CODE "set(TRELVAN_DESKTOP_TEMPLATE \"${CMAKE_CURRENT_LIST_DIR}/trelvan.desktop.in\")
set(TRELVAN_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
set(TRELVAN_DATADIR \"${CMAKE_INSTALL_DATADIR}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/install_desktop_entry.cmake)

# Manual pages and the Debian changelog, to_compress as Debian installs them (gzip -9n: no
# name or time stamp in the header). Done at configure time, so that every build target and
# install finds them; editing a source configures again.
find_program(TRELVAN_GZIP gzip REQUIRED)
set(TRELVAN_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${TRELVAN_PACKAGING_OUT})
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.Debian.in
               ${TRELVAN_PACKAGING_OUT}/changelog.Debian @ONLY)
set(TRELVAN_MAN_PAGES trelvan.1 trelvan-launch.1 trelvan-report.1)
set(to_compress "")
foreach(source IN LISTS TRELVAN_MAN_PAGES)
  list(APPEND to_compress ${CMAKE_CURRENT_LIST_DIR}/man/${source})
endforeach()
list(APPEND to_compress ${TRELVAN_PACKAGING_OUT}/changelog.Debian)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${to_compress})
foreach(source IN LISTS to_compress)
  get_filename_component(name ${source} NAME)
  execute_process(COMMAND ${TRELVAN_GZIP} -9 -n -c ${source}
                  OUTPUT_FILE ${TRELVAN_PACKAGING_OUT}/${name}.gz RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip of ${source} failed")
  endif()
endforeach()

foreach(page IN LISTS TRELVAN_MAN_PAGES)
  install(FILES ${TRELVAN_PACKAGING_OUT}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${TRELVAN_PACKAGING_OUT}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/invalid.trelvan.trelvan.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME trelvan)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trelvan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR TRELVAN)
set(CPACK_PACKAGE_CONTACT "${TRELVAN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "eye trainer with hidden digits and a Landolt-ring vision check")
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop eye trainer. A training hides a digit in a fine black-and-white
texture, to be found with the left or the right mouse button; a vision check
measures decimal acuity with Landolt rings of true physical size. Results are
kept in a journal and drawn as a chart. Start it from the menu or with
trelvan-launch, which keeps the user's files in $XDG_DATA_HOME/trelvan. The
program's texts are in Russian.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TRELVAN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TRELVAN_DEBIAN_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed with DESTDIR under the real prefix, so the desktop entry names /usr/bin.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
find_program(TRELVAN_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TRELVAN_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")  # found by no library
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6, libxcb1, libwayland-client0, libpulse0, fonts-liberation2")
endif()
# Without it a Wayland desktop runs the program through XWayland, which may scale its pixels.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)
