tobrelk_add_test(NAME test_frontend_records
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_play_record.cpp ${CMAKE_CURRENT_LIST_DIR}/test_ranking_replay.cpp
        ${CMAKE_CURRENT_LIST_DIR}/test_user_files.cpp
    LIBS tobrelk_frontend)

tobrelk_add_test(NAME test_frontend_scenes
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_frontend_scenes.cpp ${CMAKE_CURRENT_LIST_DIR}/test_title_links.cpp
    LIBS tobrelk_frontend)
