# The self-drawn dialog framework.
if(NOT TARGET tobrelk_dialogs)
add_library(tobrelk_dialogs STATIC ${CMAKE_CURRENT_LIST_DIR}/Dialog.cpp ${CMAKE_CURRENT_LIST_DIR}/DialogDraw.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DialogEdit.cpp ${CMAKE_CURRENT_LIST_DIR}/DialogInput.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DialogLoop.cpp ${CMAKE_CURRENT_LIST_DIR}/DialogScroll.cpp
    ${CMAKE_CURRENT_LIST_DIR}/YesNoDialog.cpp ${CMAKE_CURRENT_LIST_DIR}/FileDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FolderList.cpp ${CMAKE_CURRENT_LIST_DIR}/TtfLibrary.cpp)
# SDL_ttf is opened at run time, by the first dialog that draws text (TtfLibrary.cpp): only its
# header is used at build time, and its library name is the one of the installed version.
tobrelk_opened_at_run_time(tobrelk_dialogs SDL2_TTF)
target_link_libraries(tobrelk_dialogs PUBLIC tobrelk_input tobrelk_system PkgConfig::SDL2 PRIVATE ${CMAKE_DL_LIBS})
endif()
