# Prints the size of each file a browser downloads from served folder DIR,
# as it is, gzipped and with brotli (the .gz and .br the build writes beside
# it), and fails when orbitviewer.wasm is over any of its three budgets:
#
#   cmake -DDIR=<folder> "-DWASM_BUDGET=<bytes>;<gzipped>;<brotli>" -P downloadsize.cmake
foreach(name index.html qtloader.js orbitviewer.js orbitviewer.wasm)
    set(sizes)
    foreach(file ${name} ${name}.gz ${name}.br)
        file(SIZE ${DIR}/${file} size)
        list(APPEND sizes ${size})
    endforeach()
    list(JOIN sizes ", " shown)
    message("${name}: ${shown} bytes as it is, gzipped and with brotli")
endforeach()
# The sizes last read are the .wasm's.
foreach(size budget IN ZIP_LISTS sizes WASM_BUDGET)
    if(size GREATER budget)
        message(FATAL_ERROR "orbitviewer.wasm is over its budget of ${WASM_BUDGET}")
    endif()
endforeach()
