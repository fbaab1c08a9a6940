# Layers of the build. A layer sees its own headers and those of the layers it links, each through a folder of
# the build tree that holds a link to the layer's source folder only: an include that points at a layer the
# target does not link is not found, so the build enforces that dependencies point downwards.

# Adds to target the include root that shows the given folders (relative to the source root).
function(tevra_layer_headers target scope)
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  foreach(folder IN LISTS ARGN)
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT EXISTS ${root}/${folder})
      file(CREATE_LINK ${TEVRA_ROOT}/${folder} ${root}/${folder} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${root}>)
endfunction()

# tevra_layer(name FOLDERS folder... [DEPENDS target...] [LIBRARIES lib...] [SEPARATE]): an object library of
# the folders' sources, with their headers public and the layers below it linked. A layer without sources yet
# is skipped. A SEPARATE layer is left out of the objects that tevra_internal gives the tests.
function(tevra_layer name)
  cmake_parse_arguments(LAYER "SEPARATE" "" "FOLDERS;DEPENDS;LIBRARIES" ${ARGN})
  set(sources)
  foreach(folder IN LISTS LAYER_FOLDERS)
    file(GLOB folder_sources CONFIGURE_DEPENDS ${TEVRA_ROOT}/${folder}/*.cpp)
    list(APPEND sources ${folder_sources})
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_library(${name} OBJECT ${sources})
  tevra_layer_headers(${name} PUBLIC ${LAYER_FOLDERS})
  target_include_directories(${name} PUBLIC ${TEVRA_ROOT}/include)
  set(present_depends)
  foreach(dep IN LISTS LAYER_DEPENDS)
    if(TARGET ${dep})
      list(APPEND present_depends ${dep})
    endif()
  endforeach()
  target_link_libraries(${name} PUBLIC ${present_depends} ${LAYER_LIBRARIES} PRIVATE tevra_warnings)
  set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  if(NOT LAYER_SEPARATE)
    set_property(GLOBAL APPEND PROPERTY TEVRA_DRIVER_LAYERS ${name})
  endif()
endfunction()
