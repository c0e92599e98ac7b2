# Writes ARCHIVE, a gzipped tar of the project's source as the build found it
# in SOURCE_DIR, under the folder NAME: what git tracks and the new files it
# does not ignore, uncommitted edits included; without git, every file
# outside the build folders. Run at build time (cmake -P), so that the
# archive is always the tree the program was built from.
# A copy of the tree inside another checkout (the mutation stage's) is not
# that checkout's source: git counts only where the tree is its top.
execute_process(COMMAND git -C ${SOURCE_DIR} rev-parse --show-toplevel
    OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(top AND top STREQUAL SOURCE_DIR)
    execute_process(COMMAND git -C ${SOURCE_DIR} ls-files --cached --others --exclude-standard
        OUTPUT_VARIABLE files OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(REPLACE "\n" ";" files "${files}")
else()
    file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
    list(FILTER files EXCLUDE REGEX "^(build[^/]*|\\.git)/")
endif()
get_filename_component(staging ${ARCHIVE} DIRECTORY)
set(staging ${staging}/source-staging)
file(REMOVE_RECURSE ${staging})
foreach(path IN LISTS files)
    # A tracked file deleted in the working tree is not part of it.
    if(EXISTS ${SOURCE_DIR}/${path} AND NOT IS_DIRECTORY ${SOURCE_DIR}/${path})
        get_filename_component(folder ${staging}/${NAME}/${path} DIRECTORY)
        file(COPY ${SOURCE_DIR}/${path} DESTINATION ${folder})
    endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar czf ${ARCHIVE} ${NAME} WORKING_DIRECTORY ${staging}
    RESULT_VARIABLE status)
file(REMOVE_RECURSE ${staging})
if(NOT status EQUAL 0)
    message(FATAL_ERROR "The source archive ${ARCHIVE} could not be written")
endif()
