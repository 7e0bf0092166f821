# Sources of the commands (parameter table and arrange, code language, message text).
list(APPEND TOBRELK_FLOW_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CmdList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CmdParams.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CodeLang.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MessageText.cpp
)
