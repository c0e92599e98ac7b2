# Checks a package's THIRD-PARTY-NOTICES.txt against the notices Qt's build
# wrote: it must exist, name each component Qt's does, and end with the
# notices of the compiler's runtime.
#
#   cmake -DNOTICES=<the package's file> -DQT_NOTICES=<Qt's> -P checknotices.cmake
foreach(file NOTICES QT_NOTICES)
    if(NOT EXISTS "${${file}}")
        message(FATAL_ERROR "No third-party notices: ${${file}} is missing")
    endif()
    file(STRINGS ${${file}} ${file}_COMPONENTS REGEX "^Component: ")
endforeach()
if(NOT QT_NOTICES_COMPONENTS)
    message(FATAL_ERROR "${QT_NOTICES} names no component")
endif()
set(missing ${QT_NOTICES_COMPONENTS})
list(REMOVE_ITEM missing ${NOTICES_COMPONENTS})
if(missing)
    list(JOIN missing "\n  " missing)
    message(FATAL_ERROR "${NOTICES} lacks components that Qt's build compiled in:\n  ${missing}")
endif()
list(FILTER NOTICES_COMPONENTS INCLUDE REGEX "^Component: the compiler's runtime")
if(NOT NOTICES_COMPONENTS)
    message(FATAL_ERROR "${NOTICES} lacks the notices of the compiler's runtime")
endif()
list(LENGTH QT_NOTICES_COMPONENTS count)
message(STATUS "${NOTICES}: Qt's ${count} third-party components and the compiler's runtime")
