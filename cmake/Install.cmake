include(CMakePackageConfigHelpers)
install(TARGETS velkorin tevraplatform EXPORT tevraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${TEVRA_ROOT}/include/tevra.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT tevraTargets NAMESPACE tevra:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tevra)
configure_package_config_file(${TEVRA_ROOT}/cmake/tevraConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/tevraConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tevra)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tevraConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tevraConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/tevraConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tevra)
configure_file(${TEVRA_ROOT}/cmake/tevra.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tevra.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tevra.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
