tobrelk_add_test(NAME test_flow_text
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_cmd_params.cpp ${CMAKE_CURRENT_LIST_DIR}/test_code_lang.cpp
            ${CMAKE_CURRENT_LIST_DIR}/test_message_text.cpp
    LIBS tobrelk_flow)
