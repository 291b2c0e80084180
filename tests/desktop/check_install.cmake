# Installs the built tree into a scratch prefix and checks that exactly the
# expected files land there, that the program finds its web engine and network
# modules and keeps no run path into the build tree, and that the launcher
# entry points at the installed program and icon.
# Arguments (-D): BUILD_DIR PREFIX BINDIR LIBDIR DATADIR DESKTOP_ID
cmake_minimum_required(VERSION 3.21)
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DESTDIR
                        ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install exited with ${rc} (is the pagecrier target built?)")
endif()
set(icons ${DATADIR}/icons/hicolor)
set(desktop ${DATADIR}/applications/${DESKTOP_ID}.desktop)
set(modules ${LIBDIR}/pagecrier/pagecrier-engine.so ${LIBDIR}/pagecrier/pagecrier-net.so)
set(expected ${BINDIR}/pagecrier ${modules} ${desktop}
    ${DATADIR}/metainfo/${DESKTOP_ID}.metainfo.xml ${icons}/32x32/apps/${DESKTOP_ID}.png
    ${icons}/256x256/apps/${DESKTOP_ID}.png ${icons}/scalable/apps/${DESKTOP_ID}.svg
    ${DATADIR}/doc/pagecrier/copyright)
file(GLOB_RECURSE installed RELATIVE "${PREFIX}" LIST_DIRECTORIES false "${PREFIX}/*")
list(SORT expected)
list(SORT installed)
if(NOT installed STREQUAL expected)
    message(SEND_ERROR "installed:\n  ${installed}\nexpected:\n  ${expected}")
endif()
file(READ_ELF "${PREFIX}/${BINDIR}/pagecrier" RUNPATH runpath RPATH rpath)
string(FIND "${runpath}${rpath}" "${BUILD_DIR}" into_build)
if(NOT into_build EQUAL -1)
    message(SEND_ERROR "the program keeps a run path into the build tree")
endif()
file(STRINGS "${PREFIX}/${desktop}" lines REGEX "^(Exec|Icon)=")
if(NOT lines STREQUAL "Exec=pagecrier;Icon=${DESKTOP_ID}")
    message(SEND_ERROR "the launcher entry says ${lines}")
endif()
