# The analyzer window: page flow, selectors, experiments through the real program and exports.
add_library(kv_analyzer_test_package MODULE ${CMAKE_CURRENT_LIST_DIR}/analyzer_package/AnalyzerTestPackage.cpp)
target_link_libraries(kv_analyzer_test_package PRIVATE kvKernel)
target_include_directories(kv_analyzer_test_package PRIVATE ${CMAKE_SOURCE_DIR}/tests)
set_target_properties(kv_analyzer_test_package PROPERTIES PREFIX "" OUTPUT_NAME "010pkAnalyzerTest" SUFFIX ".so"
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/analyzer-test-plug-ins)
kv_add_qtest(test_analyzer_form SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_analyzer_form.cpp LIBS kvAppCore)
target_compile_definitions(test_analyzer_form PRIVATE
  KV_ANALYZER_PACKAGE_DIR="${CMAKE_BINARY_DIR}/tests/analyzer-test-plug-ins/")
add_dependencies(test_analyzer_form kv_all_plugins kvadra kv_analyzer_test_package)
