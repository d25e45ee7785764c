# The compare page against the kernel's measures and the command line.
kv_add_qtest(test_compare SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_compare.cpp LIBS kvAppCore)
target_include_directories(test_compare PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_dependencies(test_compare kv_all_plugins kvadra)
