# Prints the size of each file a browser downloads from served folder DIR,
# as it is, gzipped and with brotli (the .gz and .br the build writes beside
# it), and fails when orbitviewer.wasm is over any of its three budgets:
#
#   cmake -DDIR=<folder> "-DWASM_BUDGET=<bytes>;<gzipped>;<brotli>" -P downloadsize.cmake
message("Download                  bytes     gzipped      brotli")
foreach(name index.html qtloader.js orbitviewer.js orbitviewer.wasm)
    set(sizes)
    foreach(file ${name} ${name}.gz ${name}.br)
        file(SIZE ${DIR}/${file} size)
        string(LENGTH "${size}" digits)
        math(EXPR padding "12 - ${digits}")
        string(REPEAT " " ${padding} pad)
        string(APPEND sizes "${pad}${size}")
        list(APPEND wasm ${size})
    endforeach()
    string(LENGTH "${name}" length)
    math(EXPR padding "18 - ${length}")
    string(REPEAT " " ${padding} pad)
    message("${name}${pad}${sizes}")
endforeach()
# The last three sizes read are the .wasm's.
list(SUBLIST wasm 9 3 wasm)
foreach(size budget IN ZIP_LISTS wasm WASM_BUDGET)
    if(size GREATER budget)
        list(JOIN wasm ", " wasm)
        list(JOIN WASM_BUDGET ", " WASM_BUDGET)
        message(FATAL_ERROR "orbitviewer.wasm weighs ${wasm} bytes as it is, gzipped and with brotli: over its "
            "budget of ${WASM_BUDGET}")
    endif()
endforeach()
