# The Windows side: the MSXML DOM, the ANSI code page, the Windows platform
# and Integracao_Docs_Fiscal.dll, a 32-bit library that imports only system
# DLLs. With IDF_BUILD_TESTS, also the test programs run under Wine (see
# tests/windows/run.sh).

target_sources(idf_core PRIVATE
  src/platform/windows/xml_msxml.cpp
  src/platform/windows/entity_guard.cpp
  src/platform/windows/ansi_windows.cpp)
target_link_libraries(idf_core PUBLIC ole32 oleaut32)

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
  src/platform/windows/seh_guard.cpp)
target_link_libraries(idf_platform_windows PUBLIC idf_core comdlg32 user32 kernel32)

set(IDF_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

# Integracao_Docs_Fiscal.dll: exactly the two stdcall functions of the .def
# file, by name and ordinal.
add_library(Integracao_Docs_Fiscal SHARED
  src/entry/exports_windows.cpp
  src/entry/Integracao_Docs_Fiscal.def)
target_link_libraries(Integracao_Docs_Fiscal PRIVATE idf_platform_windows idf_nfe idf_cte)
set_target_properties(Integracao_Docs_Fiscal PROPERTIES
  PREFIX ""
  OUTPUT_NAME Integracao_Docs_Fiscal
  LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/entry/Integracao_Docs_Fiscal.def)
target_link_options(Integracao_Docs_Fiscal PRIVATE ${IDF_STATIC_RUNTIME} -Wl,--no-undefined)

if(IDF_BUILD_TESTS)
  # The host program that loads the DLL as a Windows program would.
  file(GLOB idf_win_host_sources CONFIGURE_DEPENDS tests/windows/host/*.cpp)
  if(idf_win_host_sources)
    add_executable(idf_win_host ${idf_win_host_sources})
    target_include_directories(idf_win_host PRIVATE tests/windows/host)
    target_link_libraries(idf_win_host PRIVATE user32 ole32 kernel32 advapi32)
    target_link_options(idf_win_host PRIVATE ${IDF_STATIC_RUNTIME})
    add_dependencies(idf_win_host Integracao_Docs_Fiscal)
  endif()

  # Dumps the tree the XML layer builds from a file, for the comparison of
  # the MSXML backend with the Linux one.
  add_executable(idf_xml_dump tests/windows/tools/xml_dump.cpp)
  target_link_libraries(idf_xml_dump PRIVATE idf_core)
  target_link_options(idf_xml_dump PRIVATE ${IDF_STATIC_RUNTIME})
endif()
