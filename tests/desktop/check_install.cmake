# Runs `cmake --install` into a scratch prefix and checks what lands there:
# exactly the expected files, each a copy of its source, icons of the sizes
# their folders name, and metadata that points at the installed pieces.
#
# Arguments (-D): BUILD_DIR SOURCE_DIR PREFIX BINDIR LIBDIR DATADIR VERSION DESKTOP_ID
# APPSTREAMCLI
cmake_minimum_required(VERSION 3.21)

set(failures 0)
macro(fail message)
    message(SEND_ERROR "FAIL: ${message}")
    math(EXPR failures "${failures} + 1")
endmacro()

# --- install ----------------------------------------------------------------
file(REMOVE_RECURSE "${PREFIX}")
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=DESTDIR
            ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "FAIL: cmake --install exited with ${rc} (is the pagecrier target built?)")
endif()

# --- the set of files ---------------------------------------------------------
set(hicolor ${DATADIR}/icons/hicolor)
set(desktop_rel ${DATADIR}/applications/${DESKTOP_ID}.desktop)
set(metainfo_rel ${DATADIR}/metainfo/${DESKTOP_ID}.metainfo.xml)
set(engine_module_rel ${LIBDIR}/pagecrier/pagecrier-engine.so)
set(expected
    ${BINDIR}/pagecrier
    ${engine_module_rel}
    ${desktop_rel}
    ${metainfo_rel}
    ${hicolor}/32x32/apps/${DESKTOP_ID}.png
    ${hicolor}/256x256/apps/${DESKTOP_ID}.png
    ${hicolor}/scalable/apps/${DESKTOP_ID}.svg
    ${DATADIR}/doc/pagecrier/copyright)
list(SORT expected)

file(GLOB_RECURSE installed RELATIVE "${PREFIX}" LIST_DIRECTORIES false "${PREFIX}/*")
list(SORT installed)
message("Installed into ${PREFIX}:")
foreach(f IN LISTS installed)
    message("  ${f}")
endforeach()

set(missing ${expected})
list(REMOVE_ITEM missing ${installed})
set(unexpected ${installed})
list(REMOVE_ITEM unexpected ${expected})
if(missing)
    fail("missing from the install: ${missing}")
endif()
if(unexpected)
    fail("installed but not expected: ${unexpected}")
endif()

# --- each file a copy of its source -------------------------------------------
macro(same_as installed_rel source)
    if(EXISTS "${PREFIX}/${installed_rel}")
        file(SHA256 "${PREFIX}/${installed_rel}" installed_sum)
        file(SHA256 "${source}" source_sum)
        if(NOT installed_sum STREQUAL source_sum)
            fail("${installed_rel} differs from ${source}")
        endif()
    endif()
endmacro()
same_as(${desktop_rel} ${SOURCE_DIR}/data/${DESKTOP_ID}.desktop)
same_as(${metainfo_rel} ${SOURCE_DIR}/data/${DESKTOP_ID}.metainfo.xml)
same_as(${hicolor}/32x32/apps/${DESKTOP_ID}.png ${SOURCE_DIR}/resources/icons/pagecrier-32.png)
same_as(${hicolor}/256x256/apps/${DESKTOP_ID}.png ${SOURCE_DIR}/resources/icons/pagecrier-256.png)
same_as(${hicolor}/scalable/apps/${DESKTOP_ID}.svg ${SOURCE_DIR}/resources/icons/pagecrier.svg)
same_as(${DATADIR}/doc/pagecrier/copyright ${SOURCE_DIR}/LICENSE)

# --- the web engine module, where the program looks for it --------------------
file(RELATIVE_PATH module_from_bin "${PREFIX}/${BINDIR}" "${PREFIX}/${engine_module_rel}")
if(NOT EXISTS "${PREFIX}/${BINDIR}/${module_from_bin}")
    fail("the web engine module is not at ${BINDIR}/${module_from_bin}")
endif()

# --- the program --------------------------------------------------------------
set(binary "${PREFIX}/${BINDIR}/pagecrier")
if(EXISTS "${binary}")
    execute_process(COMMAND test -x "${binary}" RESULT_VARIABLE not_executable)
    if(NOT not_executable EQUAL 0)
        fail("${BINDIR}/pagecrier is not executable")
    endif()
    # The installed program must not reach back into the build tree.
    file(READ_ELF "${binary}" RUNPATH runpath RPATH rpath)
    string(FIND "${runpath}${rpath}" "${BUILD_DIR}" into_build)
    if(NOT into_build EQUAL -1)
        fail("${BINDIR}/pagecrier keeps a run path into the build tree: ${runpath}${rpath}")
    endif()
endif()

# --- PNG icons: their pixel size is the one their folder names ----------------
foreach(size 32 256)
    set(png "${PREFIX}/${hicolor}/${size}x${size}/apps/${DESKTOP_ID}.png")
    if(EXISTS "${png}")
        file(READ "${png}" signature LIMIT 8 HEX)
        if(NOT signature STREQUAL "89504e470d0a1a0a")
            fail("the ${size}x${size} icon is not a PNG")
        endif()
        file(READ "${png}" header OFFSET 16 LIMIT 8 HEX)
        string(SUBSTRING "${header}" 0 8 w)
        string(SUBSTRING "${header}" 8 8 h)
        math(EXPR w "0x${w}")
        math(EXPR h "0x${h}")
        if(NOT (w EQUAL size AND h EQUAL size))
            fail("the ${size}x${size} icon is ${w}x${h}")
        endif()
    endif()
endforeach()
set(svg "${PREFIX}/${hicolor}/scalable/apps/${DESKTOP_ID}.svg")
if(EXISTS "${svg}")
    file(READ "${svg}" svg_text)
    if(NOT svg_text MATCHES "<svg[^>]* viewBox=")
        fail("the scalable icon has no viewBox")
    endif()
endif()

# --- the launcher entry points at the installed pieces ------------------------
if(EXISTS "${PREFIX}/${desktop_rel}")
    file(STRINGS "${PREFIX}/${desktop_rel}" exec_line REGEX "^Exec=")
    file(STRINGS "${PREFIX}/${desktop_rel}" icon_line REGEX "^Icon=")
    string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" exec_program "${exec_line}")
    if(NOT exec_program OR NOT EXISTS "${PREFIX}/${BINDIR}/${exec_program}")
        fail("Exec= names '${exec_program}', which is not in ${BINDIR}")
    endif()
    if(NOT icon_line STREQUAL "Icon=${DESKTOP_ID}")
        fail("the entry says '${icon_line}', not Icon=${DESKTOP_ID}")
    endif()
endif()

# --- the metadata: launchable, binary and the newest release ------------------
if(EXISTS "${PREFIX}/${metainfo_rel}")
    file(READ "${PREFIX}/${metainfo_rel}" xml)
    string(FIND "${xml}" "<launchable type=\"desktop-id\">${DESKTOP_ID}.desktop</launchable>" at)
    if(at EQUAL -1)
        fail("the metainfo does not launch ${DESKTOP_ID}.desktop")
    endif()
    string(FIND "${xml}" "<binary>pagecrier</binary>" at)
    if(at EQUAL -1)
        fail("the metainfo does not provide the binary pagecrier")
    endif()
    # Releases are listed newest first; the first one must be this version,
    # so a version bump without a release entry fails here.
    string(REGEX MATCH "<release version=\"([^\"]+)\"" newest "${xml}")
    if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
        fail("the newest release in the metainfo is '${CMAKE_MATCH_1}', the project version ${VERSION}")
    endif()
endif()

# --- AppStream's own view of the installed tree -------------------------------
if(APPSTREAMCLI)
    execute_process(
        COMMAND ${APPSTREAMCLI} validate-tree --no-net --explain "${PREFIX}"
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    message("${out}${err}")
    if(NOT rc EQUAL 0)
        fail("appstreamcli validate-tree rejects the installed tree")
    endif()
endif()

if(failures GREATER 0)
    message(FATAL_ERROR "${failures} check(s) failed")
endif()
message("All installed files in place.")
