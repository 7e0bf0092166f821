# The self-drawn dialog framework.
if(NOT TARGET tobrelk_dialogs)
add_library(tobrelk_dialogs STATIC ${CMAKE_CURRENT_LIST_DIR}/Dialog.cpp ${CMAKE_CURRENT_LIST_DIR}/FileDialog.cpp)
target_link_libraries(tobrelk_dialogs PUBLIC tobrelk_input tobrelk_system PkgConfig::SDL2 PkgConfig::SDL2_TTF)
endif()
