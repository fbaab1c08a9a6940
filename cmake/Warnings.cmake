add_library(tevra_warnings INTERFACE)
target_compile_options(tevra_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror)
