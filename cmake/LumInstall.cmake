# The package: the libraries, the engine, the public headers, a CMake package and a .pc file,
# and the Python module. Programs outside this build link either the build tree
# (CMAKE_PREFIX_PATH / PKG_CONFIG_PATH = the build folder) or an installed prefix
# (cmake --install build --prefix P).
include(GNUInstallDirs)
set(LUM_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/LumTwainPro)
set(LUM_PYTHON_DIR ${CMAKE_INSTALL_LIBDIR}/python3/dist-packages)

# The build tree as a package.
export(TARGETS lumplatform lumtwainpro NAMESPACE LumTwainPro::
       FILE ${CMAKE_BINARY_DIR}/LumTwainProTargets.cmake)
configure_file(${PROJECT_SOURCE_DIR}/cmake/LumTwainProConfig.cmake.in
               ${CMAKE_BINARY_DIR}/LumTwainProConfig.cmake COPYONLY)
set(LUM_PC_WHERE "build tree")
set(LUM_PC_PREFIX ${CMAKE_BINARY_DIR})
set(LUM_PC_LIBDIR ${CMAKE_BINARY_DIR}/lib)
set(LUM_PC_INCLUDEDIR ${PROJECT_SOURCE_DIR}/include)
configure_file(${PROJECT_SOURCE_DIR}/cmake/lumtwainpro.pc.in ${CMAKE_BINARY_DIR}/lumtwainpro.pc @ONLY)

# An installed prefix. The engine sits beside the control, where the control looks for it.
install(TARGETS lumplatform lumtwainpro EXPORT LumTwainProTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS lumtwain LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS lumtwain-sane-worker RUNTIME DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(TARGET lumscan)
  install(TARGETS lumscan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/lumtwainpro DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT LumTwainProTargets NAMESPACE LumTwainPro:: DESTINATION ${LUM_CMAKE_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/cmake/LumTwainProConfig.cmake.in DESTINATION ${LUM_CMAKE_DIR}
        RENAME LumTwainProConfig.cmake)
set(LUM_PC_WHERE "installed")
set(LUM_PC_PREFIX "\${pcfiledir}/../..")
set(LUM_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
set(LUM_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/lumtwainpro.pc.in ${CMAKE_BINARY_DIR}/install/lumtwainpro.pc
               @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/install/lumtwainpro.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(TARGET lumtwainpro_py)
  set_target_properties(lumtwainpro_py PROPERTIES INSTALL_RPATH "$ORIGIN/../..")
  install(TARGETS lumtwainpro_py LIBRARY DESTINATION ${LUM_PYTHON_DIR})
endif()
