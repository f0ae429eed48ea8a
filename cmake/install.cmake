# The install (cmake --install build --prefix P, DESTDIR too) and the .deb made from it
# (make package). The bundle keeps its layout under P/lib/kelvane, so the program finds its
# resources as in the build tree; P/bin/kelvane is a link to it.
set(KELVANE_APP_ID org.kelvane.Kelvane)
set(KELVANE_CONTACT "Kelvane developers <kelvane@kelvane.org>")
set(KELVANE_DESKTOP ${PROJECT_SOURCE_DIR}/resources/desktop)
set(KELVANE_INSTALL_BUNDLE lib/kelvane/Kelvane.app)

install(TARGETS kelvane RUNTIME DESTINATION ${KELVANE_INSTALL_BUNDLE}/Contents/Linux)
install(FILES ${PROJECT_SOURCE_DIR}/resources/default.tga ${PROJECT_SOURCE_DIR}/resources/main.ui
  DESTINATION ${KELVANE_INSTALL_BUNDLE}/Contents/Resources)
install(FILES ${KELVANE_REFERENCES}
  DESTINATION ${KELVANE_INSTALL_BUNDLE}/Contents/Resources/validation)

# A relative link, made in the build tree and installed as a link, so that the install can
# be moved (DESTDIR, a package) and /proc/self/exe still leads into the bundle.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin-link)
file(CREATE_LINK ../${KELVANE_INSTALL_BUNDLE}/Contents/Linux/kelvane
  ${CMAKE_BINARY_DIR}/bin-link/kelvane SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/bin-link/kelvane DESTINATION bin)

# The copyright file in Debian's machine-readable format, made from LICENSE, its one source.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE KELVANE_LICENSE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${KELVANE_LICENSE}")
set(KELVANE_COPYRIGHT "${CMAKE_MATCH_1}")
string(FIND "${KELVANE_LICENSE}" "Permission is hereby" start)
string(SUBSTRING "${KELVANE_LICENSE}" ${start} -1 KELVANE_LICENSE)
string(STRIP "${KELVANE_LICENSE}" KELVANE_LICENSE)
# Continuation lines start with a space; a blank line is written " .".
string(REPLACE "\n\n" "\n.\n" KELVANE_LICENSE "${KELVANE_LICENSE}")
string(REPLACE "\n" "\n " KELVANE_LICENSE "${KELVANE_LICENSE}")
file(WRITE ${CMAKE_BINARY_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Kelvane
Upstream-Contact: ${KELVANE_CONTACT}

Files: *
Copyright: ${KELVANE_COPYRIGHT}
License: MIT
 ${KELVANE_LICENSE}
")
install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION share/doc/kelvane)

install(FILES ${KELVANE_DESKTOP}/${KELVANE_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${KELVANE_DESKTOP}/${KELVANE_APP_ID}.metainfo.xml DESTINATION share/metainfo)
foreach(size 48 64 128 256)
  install(FILES ${KELVANE_DESKTOP}/icons/kelvane-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${KELVANE_APP_ID}.png)
endforeach()

# The manual page is written by hand (docs/kelvane.1); install.files checks that its options
# are those of --help, both ways. Compressed here, as Debian installs manual pages.
set(KELVANE_MAN ${CMAKE_BINARY_DIR}/man/kelvane.1.gz)
add_custom_command(OUTPUT ${KELVANE_MAN}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/kelvane.1 ${CMAKE_BINARY_DIR}/man/
  COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/man/kelvane.1
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/kelvane.1 VERBATIM)
add_custom_target(kelvane_man ALL DEPENDS ${KELVANE_MAN})
install(FILES ${KELVANE_MAN} DESTINATION share/man/man1)

# The README and the pages it links, laid out as in the source tree so that their links hold.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/kelvane)
file(GLOB KELVANE_DOCS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.png)
install(FILES ${KELVANE_DOCS} DESTINATION share/doc/kelvane/docs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "OpenGL triangle-throughput benchmark")
set(CPACK_PACKAGE_DESCRIPTION "Kelvane draws a grid of textured, lit spheres and makes it \
denser until the frame rate gives way; its score is the size of the grid the renderer last \
kept up with. It runs in a window, or offscreen from the command line, and leaves a log, a \
screenshot, a JSON result and a plot of each test.")
set(CPACK_PACKAGE_CONTACT ${KELVANE_CONTACT})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The libraries it links come from dpkg-shlibdeps. SDL opens EGL only at run time, so no
# library dependency brings it, yet without it --offscreen cannot run at all; the text
# overlay wants a font, and does without one.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libegl1, libegl-mesa0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)

if(KELVANE_TESTS)
  # The install into a folder, and the package installed, run and removed.
  foreach(case files package)
    add_test(NAME install.${case}
      COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/install.sh ${case} ${CMAKE_BINARY_DIR})
    set_tests_properties(install.${case} PROPERTIES TIMEOUT 400 COST 43)
  endforeach()
endif()

# The benchmark suite's profile run by the suite's own code, where a copy of it lies beside
# the source tree (../shared/pts); skipped, and saying so, elsewhere.
if(KELVANE_TESTS)
  add_test(NAME pts.profile COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/pts.sh ${PROJECT_SOURCE_DIR})
  set_tests_properties(pts.profile PROPERTIES TIMEOUT 900 SKIP_RETURN_CODE 77
    ENVIRONMENT KELVANE_SPHERE_COST=$<TARGET_FILE:sphere_cost> COST 110)
endif()
