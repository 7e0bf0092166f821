# The self-drawn dialog framework.
if(NOT TARGET tobrelk_dialogs)
add_library(tobrelk_dialogs STATIC ${CMAKE_CURRENT_LIST_DIR}/Dialog.cpp ${CMAKE_CURRENT_LIST_DIR}/FileDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TtfLibrary.cpp)
# SDL_ttf is opened at run time, by the first dialog that draws text (TtfLibrary.cpp): only its
# header is used at build time, and its library name is the one of the installed version.
list(GET SDL2_TTF_LINK_LIBRARIES 0 TOBRELK_SDL2_TTF_LIB)
get_filename_component(TOBRELK_SDL2_TTF_REAL "${TOBRELK_SDL2_TTF_LIB}" REALPATH)
get_filename_component(TOBRELK_SDL2_TTF_FILE "${TOBRELK_SDL2_TTF_REAL}" NAME)
string(REGEX REPLACE "^(.+\\.so\\.[0-9]+)(\\..*)?$" "\\1" TOBRELK_SDL2_TTF_SONAME "${TOBRELK_SDL2_TTF_FILE}")
target_compile_definitions(tobrelk_dialogs PRIVATE TOBRELK_SDL2_TTF_SONAME="${TOBRELK_SDL2_TTF_SONAME}")
target_include_directories(tobrelk_dialogs SYSTEM PRIVATE ${SDL2_TTF_INCLUDE_DIRS})
target_link_libraries(tobrelk_dialogs PUBLIC tobrelk_input tobrelk_system PkgConfig::SDL2 PRIVATE ${CMAKE_DL_LIBS})
endif()
