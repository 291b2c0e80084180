# Binary package: `cpack -G DEB` in the build directory makes
# pagecrier_<version>_<arch>.deb from the install rules.
set(CPACK_PACKAGE_NAME pagecrier)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Pagecrier developers")
set(CPACK_PACKAGE_CONTACT "The Pagecrier developers <maintainers@pagecrier.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Pagecrier announces one page of a web site to twelve search engines.
The page address, the user's name and e-mail address are typed once; one
button per engine builds that engine's add-a-page request and shows the
engine's answer in a browser pane inside the main window. The details can be
kept as favorites and loaded at start-up.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://pagecrier.org/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY pagecrier)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The shared libraries the binary links (Qt, libstdc++, ...) come from
# dpkg-shlibdeps; these are the run-time pieces it cannot see: the web
# engine's helper process, the platform plugins and a font metric-compatible
# with Arial for the tab captions, and a proportional sans-serif font for
# everything else (with Liberation alone, fontconfig picks its monospace face).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6webenginecore6-bin, qt6-qpa-plugins, fonts-liberation, fonts-dejavu-core")
# Native Wayland windows; without it Qt runs through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

# Without dpkg-shlibdeps CPack quietly keeps only the list above, and the
# package would not pull in Qt; stop instead (checked when cpack runs).
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/PagecrierCPackChecks.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE} [=[
if(CPACK_GENERATOR STREQUAL "DEB")
    find_program(PAGECRIER_DPKG_SHLIBDEPS dpkg-shlibdeps)
    if(NOT PAGECRIER_DPKG_SHLIBDEPS)
        message(FATAL_ERROR "dpkg-shlibdeps not found (package dpkg-dev): without it "
                            "the .deb would not declare the Qt libraries it needs")
    endif()
endif()
]=])

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/\\\\.cache/")

include(CPack)
