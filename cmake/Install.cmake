# The installed driver: the library and its header, a CMake package (find_package(tevra), target
# tevra::tevra) and a pkg-config file (tevra), both relative to where they are installed.
include(CMakePackageConfigHelpers)
set_target_properties(velkorin PROPERTIES EXPORT_NAME tevra)
add_library(tevra::tevra ALIAS velkorin)
# The platform library goes with the driver as its dependency; it exports no headers and no usage of its own.
install(TARGETS velkorin tevraplatform EXPORT tevraTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${TEVRA_ROOT}/include/tevra.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(tevra_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/tevra)
install(EXPORT tevraTargets NAMESPACE tevra:: DESTINATION ${tevra_package_dir})
configure_package_config_file(${TEVRA_ROOT}/cmake/tevraConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/tevraConfig.cmake INSTALL_DESTINATION ${tevra_package_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tevraConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tevraConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/tevraConfigVersion.cmake
  DESTINATION ${tevra_package_dir})

file(RELATIVE_PATH tevra_pc_to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${TEVRA_ROOT}/cmake/tevra.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tevra.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tevra.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

add_subdirectory(${TEVRA_ROOT}/python ${CMAKE_BINARY_DIR}/python)

# Installing writes into the prefix only: the list of installed files, which CMake would write into the build
# tree (a normal user installing from a build that is not theirs could not), goes under the prefix instead.
install(CODE [[
  string(REPLACE ";" "\n" tevra_manifest "${CMAKE_INSTALL_MANIFEST_FILES}")
  file(WRITE "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/tevra/install_manifest.txt" "${tevra_manifest}\n")
  return()
]])
