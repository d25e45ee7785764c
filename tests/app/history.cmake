# The History and Image info tool windows and the history exports, through the real program.
kv_add_qtest(test_toolforms SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_toolforms.cpp LIBS kvAppCore)
add_dependencies(test_toolforms kv_all_plugins kvadra)
