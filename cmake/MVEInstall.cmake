# Installing the engine for programs built elsewhere: the static library, the public header, a CMake
# package (find_package(MVE) gives the target MVE::mve) and a pkg-config file (mve.pc). Every
# built-in resource (GLSL programs, images, fonts) is compiled into the library, so nothing else
# needs to travel with it.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(MVE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/MVE)

install(TARGETS mve EXPORT MVETargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${CMAKE_SOURCE_DIR}/Include/MVE.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The debugger application the engine starts on a desktop travels with the library.
install(TARGETS mve-debugger RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT MVETargets NAMESPACE MVE:: DESTINATION ${MVE_INSTALL_CMAKEDIR})

configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/MVEConfig.cmake.in
  ${CMAKE_BINARY_DIR}/cmake/MVEConfig.cmake
  INSTALL_DESTINATION ${MVE_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/cmake/MVEConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/cmake/MVEConfig.cmake ${CMAKE_BINARY_DIR}/cmake/MVEConfigVersion.cmake
  DESTINATION ${MVE_INSTALL_CMAKEDIR})

# pkg-config: the library is static, so its dependencies are ordinary requirements. The prefix is
# found from the file's own place, so the installed tree may be moved.
file(RELATIVE_PATH MVE_PC_TO_PREFIX "/mve/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/mve")
set(MVE_PC_DL "")
foreach(lib ${CMAKE_DL_LIBS})
  string(APPEND MVE_PC_DL " -l${lib}")
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/cmake/mve.pc.in ${CMAKE_BINARY_DIR}/cmake/mve.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/cmake/mve.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
