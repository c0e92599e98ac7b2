# Fails when FILE weighs more than BUDGET bytes, or more than GZIP_BUDGET
# gzipped at level 6, as a web server compresses it on the fly:
#
#   cmake -DFILE=<file> -DBUDGET=<bytes> -DGZIP_BUDGET=<bytes> -P downloadsize.cmake
get_filename_component(name ${FILE} NAME)
file(SIZE ${FILE} raw)
file(ARCHIVE_CREATE OUTPUT ${name}.gz PATHS ${FILE} FORMAT raw COMPRESSION GZip COMPRESSION_LEVEL 6)
file(SIZE ${name}.gz gzipped)
file(REMOVE ${name}.gz)
message(STATUS "${name}: ${raw} bytes, ${gzipped} gzipped; budget ${BUDGET}, ${GZIP_BUDGET} gzipped")
if(raw GREATER BUDGET OR gzipped GREATER GZIP_BUDGET)
    message(FATAL_ERROR "${name} is over its budget")
endif()
