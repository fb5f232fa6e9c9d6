# Install step: writes the desktop entry with Exec naming the launcher under the prefix the
# tree is installed to, which is known only now (cmake --install --prefix, CPack).
# Set before: TRELVAN_DESKTOP_TEMPLATE, TRELVAN_BINDIR, TRELVAN_DATADIR.
set(TRELVAN_LAUNCHER "${CMAKE_INSTALL_PREFIX}/${TRELVAN_BINDIR}/trelvan-launch")
set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${TRELVAN_DATADIR}/applications/trelvan.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${TRELVAN_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")
