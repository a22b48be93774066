# End-to-end tests of the core: the command-line tool run as a user runs it,
# and the shared library called from small C host programs, one linked to
# it and one that loads it at run time.
add_executable(idf_c_host ${CMAKE_CURRENT_LIST_DIR}/e2e/host.c)
target_link_libraries(idf_c_host PRIVATE integracao_docs_fiscal)

add_executable(idf_c_host_dlopen ${CMAKE_CURRENT_LIST_DIR}/e2e/host.c)
target_compile_definitions(idf_c_host_dlopen PRIVATE IDF_HOST_DLOPEN
  IDF_SO_PATH="$<TARGET_FILE:integracao_docs_fiscal>")
target_link_libraries(idf_c_host_dlopen PRIVATE ${CMAKE_DL_LIBS})
add_dependencies(idf_c_host_dlopen integracao_docs_fiscal)

# The host of the calls for hosts without a desktop, built against the
# public header.
find_package(Threads REQUIRED)
add_executable(idf_headless_host ${CMAKE_CURRENT_LIST_DIR}/e2e/headless_host.c)
target_include_directories(idf_headless_host PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(idf_headless_host PRIVATE integracao_docs_fiscal Threads::Threads)

file(GLOB idf_e2e_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/e2e/*.cpp)
add_executable(idf_core_e2e_tests ${idf_e2e_sources})
target_link_libraries(idf_core_e2e_tests PRIVATE idf_test_platform nlohmann_json::nlohmann_json GTest::gtest_main)
target_compile_definitions(idf_core_e2e_tests PRIVATE
  IDF_C_HOST_PATH="$<TARGET_FILE:idf_c_host>"
  IDF_C_HOST_DLOPEN_PATH="$<TARGET_FILE:idf_c_host_dlopen>"
  IDF_HEADLESS_HOST_PATH="$<TARGET_FILE:idf_headless_host>")
add_dependencies(idf_core_e2e_tests integracao-docs-fiscal integracao_docs_fiscal idf_c_host idf_c_host_dlopen
  idf_headless_host)
gtest_discover_tests(idf_core_e2e_tests DISCOVERY_TIMEOUT 60 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                     PROPERTIES ENVIRONMENT "${IDF_TEST_ENVIRONMENT}")

# A host with the floating-point traps of a Pascal program, against the
# sample NF-e.
add_executable(idf_fp_host ${CMAKE_CURRENT_LIST_DIR}/e2e/fp_host.c)
target_link_libraries(idf_fp_host PRIVATE integracao_docs_fiscal m)
file(READ ${PROJECT_SOURCE_DIR}/samples/nfe-exemplo.xml idf_sample_nfe)
string(REGEX MATCH "<chNFe>([0-9]+)</chNFe>" idf_sample_key_match "${idf_sample_nfe}")
add_test(NAME SharedLibrary.HostWithFloatingPointTrapsUnmasked
  COMMAND idf_fp_host ${CMAKE_MATCH_1} ${PROJECT_SOURCE_DIR}/samples ${PROJECT_SOURCE_DIR}/samples/nfe-exemplo.xml
          ${CMAKE_CURRENT_BINARY_DIR}/fp_host_saida.ini)
set_tests_properties(SharedLibrary.HostWithFloatingPointTrapsUnmasked PROPERTIES ENVIRONMENT "${IDF_TEST_ENVIRONMENT}")
