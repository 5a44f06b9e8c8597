# What an installation holds besides the two programs, the desktop entry and the MIME type, and
# how `cpack -G DEB` turns it into tandor_<version>_amd64.deb.

include(GNUInstallDirs)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/tandor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/org.tandor.Tandor.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tandor/examples
        FILES_MATCHING PATTERN "*.tdr" PATTERN "index.txt" PATTERN "DERIVATIONS.md")

# Debian keeps man pages compressed; -n leaves the name and time out, so the bytes depend on the
# page alone.
set(TANDOR_MAN_PAGES)
foreach(page tandor tandor-cli)
  set(source ${CMAKE_SOURCE_DIR}/packaging/${page}.1)
  set(target ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${target}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                     COMMAND sh -c "gzip -9n -c '${source}' > '${target}'"
                     DEPENDS ${source} VERBATIM)
  list(APPEND TANDOR_MAN_PAGES ${target})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${TANDOR_MAN_PAGES})
install(FILES ${TANDOR_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tandor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tandor")
set(CPACK_PACKAGE_CONTACT "Tandor developers <tandor-devel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "draw the double-point locus of a map from the plane into space")
set(CPACK_PACKAGE_DESCRIPTION
    "Tandor computes and draws the double-point locus of a map F(u, v) = (x, y, z) from a
rectangle of the plane into space: the points that share their image with another point.
Formulas with two parameters p and q are compiled to machine code; dragging (p, q)
recomputes the picture at once. tandor-cli renders the same pictures without a window.
A gallery of classic map germs and surfaces is included.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its platform plugins at run time, so dpkg-shlibdeps cannot see them: a desktop needs
# the xcb or wayland plugin, which the qt6-qpa-plugins package holds.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Likewise the OpenGL drivers that libEGL and libGL load for the 3D view and --png3d (Mesa's,
# software-rendered where there is no GPU); without them both say why they cannot draw.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libegl-mesa0, libglx-mesa0, libgl1-mesa-dri")
set(CPACK_STRIP_FILES ON)
include(CPack)
