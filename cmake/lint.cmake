# clang-format and clang-tidy on the project's own code, and ShellCheck on
# its scripts, as tests labelled lint: any difference from .clang-format,
# finding of .clang-tidy or ShellCheck warning fails.
# clang-tidy reads this build's compile commands and generated code, so the
# build must be one clang makes (the sanitize preset).
set(lint_folders app bench camera fuzz render tests tools)
list(TRANSFORM lint_folders APPEND /*.cpp OUTPUT_VARIABLE units)
list(TRANSFORM lint_folders APPEND /*.h OUTPUT_VARIABLE headers)
file(GLOB_RECURSE units CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR} ${units})
file(GLOB_RECURSE headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR} ${headers})

add_test(NAME clang-format COMMAND clang-format --dry-run --Werror ${units} ${headers}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
list(JOIN lint_folders "|" folders)
add_test(NAME clang-tidy COMMAND run-clang-tidy -p ${PROJECT_BINARY_DIR} -quiet
    "^${PROJECT_SOURCE_DIR}/(${folders})/")
file(GLOB scripts CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR} scripts/*.sh tests/*.sh)
add_test(NAME shellcheck COMMAND shellcheck --severity=warning ${scripts} WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
set_tests_properties(clang-format clang-tidy shellcheck PROPERTIES LABELS lint)
