# ql_warnings: the warning flags every target of the project builds with.
add_library(ql_warnings INTERFACE)
target_compile_options(ql_warnings INTERFACE -Wall -Wextra -Wpedantic)
if(QL_WERROR)
  target_compile_options(ql_warnings INTERFACE -Werror)
endif()
