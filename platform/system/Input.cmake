# Input, key configuration, menu cursors and the main window's SDL event pump. Kept in its own
# library until the system library takes these sources in (TOBRELK_INPUT_SOURCES).
list(APPEND TOBRELK_INPUT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/Input.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MenuCursor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AppWindow.cpp
)
if(NOT TARGET tobrelk_input)
    add_library(tobrelk_input STATIC ${TOBRELK_INPUT_SOURCES})
    target_link_libraries(tobrelk_input PUBLIC tobrelk_system PkgConfig::SDL2 ${CMAKE_DL_LIBS})
endif()
