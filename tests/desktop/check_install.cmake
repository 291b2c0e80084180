# Runs `cmake --install` into a scratch prefix and checks what lands there:
# exactly the expected files, each a copy of its source, icons of the sizes
# their folders name, and metadata that points at the installed pieces.
#
# Arguments (-D): BUILD_DIR SOURCE_DIR PREFIX BINDIR DATADIR VERSION DESKTOP_ID
# APPSTREAMCLI
cmake_minimum_required(VERSION 3.21)

set(failures 0)
macro(check condition message)
    if(NOT (${condition}))
        message(SEND_ERROR "FAIL: ${message}")
        math(EXPR failures "${failures} + 1")
    endif()
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
set(expected
    ${BINDIR}/pagecrier
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
check("\"${missing}\" STREQUAL \"\"" "missing from the install: ${missing}")
check("\"${unexpected}\" STREQUAL \"\"" "installed but not expected: ${unexpected}")

# --- each file a copy of its source -------------------------------------------
function(same_as installed_rel source)
    if(EXISTS "${PREFIX}/${installed_rel}")
        file(SHA256 "${PREFIX}/${installed_rel}" a)
        file(SHA256 "${source}" b)
        check("\"${a}\" STREQUAL \"${b}\"" "${installed_rel} differs from ${source}")
        set(failures ${failures} PARENT_SCOPE)
    endif()
endfunction()
same_as(${desktop_rel} ${SOURCE_DIR}/data/${DESKTOP_ID}.desktop)
same_as(${metainfo_rel} ${SOURCE_DIR}/data/${DESKTOP_ID}.metainfo.xml)
same_as(${hicolor}/32x32/apps/${DESKTOP_ID}.png ${SOURCE_DIR}/resources/icons/pagecrier-32.png)
same_as(${hicolor}/256x256/apps/${DESKTOP_ID}.png ${SOURCE_DIR}/resources/icons/pagecrier-256.png)
same_as(${hicolor}/scalable/apps/${DESKTOP_ID}.svg ${SOURCE_DIR}/resources/icons/pagecrier.svg)
same_as(${DATADIR}/doc/pagecrier/copyright ${SOURCE_DIR}/LICENSE)

# --- the program --------------------------------------------------------------
set(binary "${PREFIX}/${BINDIR}/pagecrier")
if(EXISTS "${binary}")
    execute_process(COMMAND test -x "${binary}" RESULT_VARIABLE not_executable)
    check("not_executable EQUAL 0" "${BINDIR}/pagecrier is not executable")
    # The installed program must not reach back into the build tree.
    file(READ_ELF "${binary}" RUNPATH runpath RPATH rpath)
    check("NOT \"${runpath}${rpath}\" MATCHES \"${BUILD_DIR}\""
          "${BINDIR}/pagecrier keeps a run path into the build tree: ${runpath}${rpath}")
endif()

# --- PNG icons: their pixel size is the one their folder names ----------------
foreach(size 32 256)
    set(png "${PREFIX}/${hicolor}/${size}x${size}/apps/${DESKTOP_ID}.png")
    if(EXISTS "${png}")
        file(READ "${png}" signature LIMIT 8 HEX)
        check("signature STREQUAL \"89504e470d0a1a0a\"" "${size}px icon is not a PNG")
        file(READ "${png}" header OFFSET 16 LIMIT 8 HEX)
        string(SUBSTRING "${header}" 0 8 w)
        string(SUBSTRING "${header}" 8 8 h)
        math(EXPR w "0x${w}")
        math(EXPR h "0x${h}")
        check("w EQUAL ${size} AND h EQUAL ${size}" "${size}x${size} icon is ${w}x${h}")
    endif()
endforeach()
set(svg "${PREFIX}/${hicolor}/scalable/apps/${DESKTOP_ID}.svg")
if(EXISTS "${svg}")
    file(READ "${svg}" svg_text)
    check("svg_text MATCHES \"<svg[^>]*viewBox=\"" "the scalable icon has no viewBox")
endif()

# --- the launcher entry points at the installed pieces ------------------------
if(EXISTS "${PREFIX}/${desktop_rel}")
    file(STRINGS "${PREFIX}/${desktop_rel}" exec_line REGEX "^Exec=")
    file(STRINGS "${PREFIX}/${desktop_rel}" icon_line REGEX "^Icon=")
    string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" exec_program "${exec_line}")
    check("EXISTS \"${PREFIX}/${BINDIR}/${exec_program}\""
          "Exec= names '${exec_program}', which is not in ${BINDIR}")
    check("\"${icon_line}\" STREQUAL \"Icon=${DESKTOP_ID}\""
          "Icon= is '${icon_line}', not the desktop id ${DESKTOP_ID}")
endif()

# --- the metadata: launchable, binary and the newest release ------------------
if(EXISTS "${PREFIX}/${metainfo_rel}")
    file(READ "${PREFIX}/${metainfo_rel}" xml)
    check("xml MATCHES \"<launchable type=\\\"desktop-id\\\">${DESKTOP_ID}.desktop</launchable>\""
          "the metainfo does not launch ${DESKTOP_ID}.desktop")
    check("xml MATCHES \"<binary>pagecrier</binary>\"" "the metainfo does not provide pagecrier")
    # Releases are listed newest first; the first one must be this version,
    # so a version bump without a release entry fails here.
    string(REGEX MATCH "<release version=\"([^\"]+)\"" newest "${xml}")
    check("\"${CMAKE_MATCH_1}\" STREQUAL \"${VERSION}\""
          "the newest release in the metainfo is '${CMAKE_MATCH_1}', the project version ${VERSION}")
endif()

# --- AppStream's own view of the installed tree -------------------------------
if(APPSTREAMCLI)
    execute_process(
        COMMAND ${APPSTREAMCLI} validate-tree --no-net --explain "${PREFIX}"
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    message("${out}${err}")
    check("rc EQUAL 0" "appstreamcli validate-tree rejects the installed tree")
endif()

if(failures GREATER 0)
    message(FATAL_ERROR "${failures} check(s) failed")
endif()
message("All installed files in place.")
