# What `cmake --install` puts under the prefix (Linux):
#   include/integracao_docs_fiscal.h
#   lib*/libintegracao_docs_fiscal.so.<version>, .so.<major> and .so
#   bin/integracao-docs-fiscal
#   lib*/cmake/IntegracaoDocsFiscal/ the package, with the exported target
#                                    IntegracaoDocsFiscal::integracao_docs_fiscal
#   lib*/pkgconfig/integracao_docs_fiscal.pc
include(CMakePackageConfigHelpers)

set(IDF_PACKAGE IntegracaoDocsFiscal)
set(IDF_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/${IDF_PACKAGE})

install(FILES include/integracao_docs_fiscal.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)
install(TARGETS integracao_docs_fiscal EXPORT ${IDF_PACKAGE}Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development)
install(TARGETS integracao-docs-fiscal RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)

install(EXPORT ${IDF_PACKAGE}Targets NAMESPACE ${IDF_PACKAGE}:: DESTINATION ${IDF_PACKAGE_DIR}
  COMPONENT Development)
configure_package_config_file(cmake/${IDF_PACKAGE}Config.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/${IDF_PACKAGE}Config.cmake INSTALL_DESTINATION ${IDF_PACKAGE_DIR})
# A consumer asking for 1 (or 1.x) accepts any 1.y with y >= x.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${IDF_PACKAGE}ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${IDF_PACKAGE}Config.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/${IDF_PACKAGE}ConfigVersion.cmake DESTINATION ${IDF_PACKAGE_DIR} COMPONENT Development)

# pkg-config: paths relative to the file's own folder, so that the files
# are right wherever `cmake --install --prefix` puts them.
file(RELATIVE_PATH IDF_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" IDF_PC_TO_PREFIX "${IDF_PC_TO_PREFIX}")
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(IDF_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(IDF_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file(cmake/integracao_docs_fiscal.pc.in ${CMAKE_CURRENT_BINARY_DIR}/integracao_docs_fiscal.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/integracao_docs_fiscal.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT Development)
