# Where MinGW's runtime DLLs are, which a MinGW-built program and Qt link
# dynamically: the C++ library, GCC's support library and winpthreads.
#
#   orbitviewer_mingw_runtime(<variable>)
#
# sets <variable> to their absolute paths. Qt's MinGW kits, and MSYS2, keep
# them beside the compiler in its bin/ directory, where the compiler's own
# -print-file-name does not look (it answers such a name unchanged); Debian's
# cross compiler keeps them in its library directory, which -print-file-name
# names. Both are asked, the compiler's directory first.
function(orbitviewer_mingw_runtime variable)
    get_filename_component(compiler_dir ${CMAKE_CXX_COMPILER} DIRECTORY)
    set(paths)
    foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        set(path ${compiler_dir}/${dll})
        if(NOT EXISTS ${path})
            execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        endif()
        if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
            message(FATAL_ERROR "${dll}, part of MinGW's runtime, is neither beside ${CMAKE_CXX_COMPILER} "
                "nor where that compiler says it is")
        endif()
        get_filename_component(path ${path} REALPATH)
        list(APPEND paths ${path})
    endforeach()
    set(${variable} ${paths} PARENT_SCOPE)
endfunction()
