# The project's warnings. TEVRA_WERROR turns them into errors (on in CI and build.sh); a user's plain build
# keeps them as warnings, so that a newer compiler's new warning does not stop it.
option(TEVRA_WERROR "Treat warnings as errors" OFF)
add_library(tevra_warnings INTERFACE)
target_compile_options(tevra_warnings INTERFACE -Wall -Wextra -Wpedantic $<$<BOOL:${TEVRA_WERROR}>:-Werror>)
# GCC 12 reports std::string copies inlined at -O3 as overlapping memcpy calls (a known false -Wrestrict
# positive of its libstdc++), which no code of ours can avoid.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(tevra_warnings INTERFACE -Wno-restrict)
endif()
