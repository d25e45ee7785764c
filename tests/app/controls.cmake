# The program's own controls: plane viewer, spin edit, radio group.
kv_add_qtest(test_controls SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_controls.cpp LIBS kvAppControls)
