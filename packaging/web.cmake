# The viewer as a web page: a folder any static web server can serve, with
# the page, the WebAssembly program and its loader, and the licences and
# notices of Qt and Emscripten's runtime, which the program links statically.

# The page sets the program's environment (Qt's loader needs ENV for that).
set_target_properties(orbitviewer PROPERTIES QT_WASM_EXPORT_NAME orbitviewer_entry
    QT_WASM_EXTRA_EXPORTED_METHODS ENV)
# The viewer reads no image files.
qt_import_plugins(orbitviewer EXCLUDE_BY_TYPE imageformats)

set(ORBITVIEWER_WEB_DIR ${PROJECT_BINARY_DIR}/web)
set(ORBITVIEWER_SOURCE_ARCHIVE ${PROJECT_NAME}-${PROJECT_VERSION}-source.tar.gz)
configure_file(web/index.html ${ORBITVIEWER_WEB_DIR}/index.html @ONLY)
include(licences.cmake)
orbitviewer_runtime_notices(notices ${CMAKE_CXX_COMPILER})
orbitviewer_licence_files(${ORBITVIEWER_WEB_DIR} ${notices})

# The page is conveyed under the GPL (Qt's web platform is GPL-3.0 alone), so
# the folder carries the program's own corresponding source beside Qt's note.
add_custom_target(orbitviewer_source ALL
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DNAME=${PROJECT_NAME}-${PROJECT_VERSION}
        -DARCHIVE=${ORBITVIEWER_WEB_DIR}/${ORBITVIEWER_SOURCE_ARCHIVE} -P ${CMAKE_CURRENT_SOURCE_DIR}/sourcearchive.cmake
    COMMENT "The source the page was built from: ${ORBITVIEWER_SOURCE_ARCHIVE}"
    VERBATIM)

# Qt writes the program, its loader and a page of its own beside the target;
# the folder takes the first two, under the page above.
set(program_files orbitviewer.js orbitviewer.wasm qtloader.js)
list(TRANSFORM program_files PREPEND ${ORBITVIEWER_WEB_DIR}/ OUTPUT_VARIABLE served_program)
add_custom_command(OUTPUT ${served_program}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE_DIR:orbitviewer>/orbitviewer.js
        $<TARGET_FILE_DIR:orbitviewer>/orbitviewer.wasm $<TARGET_FILE_DIR:orbitviewer>/qtloader.js
        ${ORBITVIEWER_WEB_DIR}
    DEPENDS orbitviewer
    COMMENT "The served folder: ${ORBITVIEWER_WEB_DIR}"
    VERBATIM)

# What the browser downloads, compressed ahead of time beside it at the
# highest levels, for a server to send as it is (nginx's gzip_static and
# brotli_static, Caddy's precompressed): Debian's gzip -9 (with no name or
# time stamp inside, so that builds are reproducible) and brotli -q 11.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
find_program(BROTLI_EXECUTABLE brotli REQUIRED)
set(compressed)
foreach(file IN LISTS served_program ITEMS ${ORBITVIEWER_WEB_DIR}/index.html)
    add_custom_command(OUTPUT ${file}.gz ${file}.br
        COMMAND ${CMAKE_COMMAND} -E rm -f ${file}.gz ${file}.br
        COMMAND ${GZIP_EXECUTABLE} -9 --no-name --keep ${file}
        COMMAND ${BROTLI_EXECUTABLE} --quality=11 --keep ${file}
        DEPENDS ${file}
        VERBATIM)
    list(APPEND compressed ${file}.gz ${file}.br)
endforeach()
add_custom_target(orbitviewer_web ALL DEPENDS ${served_program})
add_dependencies(orbitviewer_web orbitviewer_source)
add_custom_target(orbitviewer_compressed ALL DEPENDS ${compressed})
