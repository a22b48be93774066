# The Windows side: the MSXML DOM, the ANSI code page, the Windows platform
# and Integracao_Docs_Fiscal.dll (32- or 64-bit, by the toolchain file), a
# library that imports only system DLLs, with its import libraries. With
# IDF_BUILD_TESTS, also the test programs run under Wine (see
# tests/windows/run.sh).

target_sources(idf_core PRIVATE
  src/platform/windows/xml_msxml.cpp
  src/platform/windows/ansi_windows.cpp
  src/platform/windows/crypto_cng.cpp)
# Digests and RSA (CNG) and certificates for the document's signature.
target_link_libraries(idf_core PUBLIC ole32 oleaut32 bcrypt crypt32)

# Structured exceptions: a handler record on the stack (x86) or a scope in
# the image's unwind tables (x64).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(IDF_SEH_GUARD src/platform/windows/seh_guard_x64.cpp)
else()
  set(IDF_SEH_GUARD src/platform/windows/seh_guard.cpp)
endif()

# The JSON report is built with the header-only nlohmann/json of the build
# machine; only its folder is put on the include path, never the build
# machine's other headers.
find_path(IDF_NLOHMANN_JSON_DIR nlohmann/json.hpp PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(idf_json_include ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${idf_json_include})
file(CREATE_LINK ${IDF_NLOHMANN_JSON_DIR}/nlohmann ${idf_json_include}/nlohmann SYMBOLIC)
target_include_directories(idf_core SYSTEM PRIVATE ${idf_json_include})

add_library(idf_platform_windows STATIC
  src/platform/windows/windows_platform.cpp
  src/platform/headless_platform.cpp
  ${IDF_SEH_GUARD})
target_link_libraries(idf_platform_windows PUBLIC idf_core comdlg32 user32 kernel32)

set(IDF_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

# Integracao_Docs_Fiscal.dll: exactly the functions of the architecture's
# .def file, by name and ordinal (32-bit: stdcall, exported undecorated).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(IDF_DEF_FILE ${CMAKE_CURRENT_SOURCE_DIR}/src/entry/Integracao_Docs_Fiscal-x64.def)
else()
  set(IDF_DEF_FILE ${CMAKE_CURRENT_SOURCE_DIR}/src/entry/Integracao_Docs_Fiscal.def)
endif()
# The version resource: file and product version from project(VERSION).
enable_language(RC)
math(EXPR IDF_ARCHITECTURE_BITS "${CMAKE_SIZEOF_VOID_P} * 8")
configure_file(src/entry/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/Integracao_Docs_Fiscal.rc @ONLY)
add_library(Integracao_Docs_Fiscal SHARED
  src/entry/exports_windows.cpp
  src/entry/headless_call.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/Integracao_Docs_Fiscal.rc
  ${IDF_DEF_FILE})
target_link_libraries(Integracao_Docs_Fiscal PRIVATE idf_platform_windows idf_nfe idf_cte)
set_target_properties(Integracao_Docs_Fiscal PROPERTIES
  PREFIX ""
  OUTPUT_NAME Integracao_Docs_Fiscal
  LINK_DEPENDS ${IDF_DEF_FILE})
target_link_options(Integracao_Docs_Fiscal PRIVATE ${IDF_STATIC_RUNTIME} -Wl,--no-undefined)
# The linker's own import library would name the 32-bit functions without
# their @12: it goes aside, and the shipped ones are made from the .def file.
set_target_properties(Integracao_Docs_Fiscal PROPERTIES ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/linker)

# Import libraries, from the .def file: libIntegracao_Docs_Fiscal.dll.a
# (MinGW) and Integracao_Docs_Fiscal.lib (the short import format of the
# Microsoft tools). A 32-bit caller refers to a stdcall function by its
# decorated name (_importa_arquivo_xml_nfe@12): the libraries list
# name@12 and, with -k, have the loader look up the undecorated export.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${IDF_DEF_FILE})
file(READ ${IDF_DEF_FILE} idf_def_text)
string(REGEX REPLACE "([A-Za-z_][A-Za-z0-9_]*)[ \t]*=[ \t]*([A-Za-z_][A-Za-z0-9_]*@[0-9]+)" "\\2" idf_implib_def_text
       "${idf_def_text}")
set(IDF_IMPLIB_DEF ${CMAKE_CURRENT_BINARY_DIR}/Integracao_Docs_Fiscal.implib.def)
file(CONFIGURE OUTPUT ${IDF_IMPLIB_DEF} CONTENT "${idf_implib_def_text}" @ONLY)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(IDF_IMPLIB_MACHINE i386:x86-64)
else()
  set(IDF_IMPLIB_MACHINE i386)
endif()
find_program(IDF_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/libIntegracao_Docs_Fiscal.dll.a
  # Run in the build folder: dlltool names internal symbols after the path given.
  COMMAND ${IDF_DLLTOOL} -d ${IDF_IMPLIB_DEF} -D Integracao_Docs_Fiscal.dll -k -l libIntegracao_Docs_Fiscal.dll.a
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  DEPENDS ${IDF_IMPLIB_DEF}
  COMMENT "MinGW import library libIntegracao_Docs_Fiscal.dll.a")
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/Integracao_Docs_Fiscal.lib
  COMMAND ${IDF_LLVM_DLLTOOL} -m ${IDF_IMPLIB_MACHINE} -d ${IDF_IMPLIB_DEF} -D Integracao_Docs_Fiscal.dll -k
          -l ${CMAKE_CURRENT_BINARY_DIR}/Integracao_Docs_Fiscal.lib
  DEPENDS ${IDF_IMPLIB_DEF}
  COMMENT "Import library Integracao_Docs_Fiscal.lib")
add_custom_target(idf_import_libraries ALL
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/libIntegracao_Docs_Fiscal.dll.a
          ${CMAKE_CURRENT_BINARY_DIR}/Integracao_Docs_Fiscal.lib)

if(IDF_BUILD_TESTS)
  # The host program that loads the DLL as a Windows program would.
  file(GLOB idf_win_host_sources CONFIGURE_DEPENDS tests/windows/host/*.cpp)
  add_executable(idf_win_host ${idf_win_host_sources})
  target_include_directories(idf_win_host PRIVATE tests/windows/host)
  target_link_libraries(idf_win_host PRIVATE user32 ole32 kernel32 advapi32)
  target_link_options(idf_win_host PRIVATE ${IDF_STATIC_RUNTIME})
  add_dependencies(idf_win_host Integracao_Docs_Fiscal)

  # Prints a DLL's version resource as the system reads it.
  add_executable(idf_version_info tests/windows/tools/version_info.c)
  target_link_libraries(idf_version_info PRIVATE version)
  target_link_options(idf_version_info PRIVATE ${IDF_STATIC_RUNTIME})

  # Rewrites and replaces files keeping their times, and times the two
  # ways of listing a folder (tests/windows/run.sh, the folder index).
  add_executable(idf_file_tool tests/windows/tools/file_tool.c)
  target_link_libraries(idf_file_tool PRIVATE shell32)
  target_link_options(idf_file_tool PRIVATE ${IDF_STATIC_RUNTIME})

  # Dumps the tree the XML layer builds from a file, for the comparison of
  # the MSXML backend with the Linux one.
  add_executable(idf_xml_dump tests/windows/tools/xml_dump.cpp)
  target_link_libraries(idf_xml_dump PRIVATE idf_core)
  target_link_options(idf_xml_dump PRIVATE ${IDF_STATIC_RUNTIME})
endif()
