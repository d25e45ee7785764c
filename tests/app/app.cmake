# The main window, its menus, enabled states and observers, and one run through the real program.
kv_add_qtest(test_mainform SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_mainform.cpp LIBS kvAppCore PNG::PNG TIFF::TIFF)
target_include_directories(test_mainform PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tests/images)
add_dependencies(test_mainform kv_all_plugins kv_splash kvadra)
kv_add_qtest(test_operation_dialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_operation_dialog.cpp LIBS kvAppCore)
add_dependencies(test_operation_dialog kv_all_plugins kvadra)
kv_add_qtest(test_dialogs SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_dialogs.cpp LIBS kvAppCore)
add_dependencies(test_dialogs kv_all_plugins kvadra)
