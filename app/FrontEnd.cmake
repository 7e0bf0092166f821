# The player's records (play record, story saves, challenge results, ranking and replays): part
# of the app core that the play engine links.
add_library(tobrelk_playrecord STATIC
    ${CMAKE_CURRENT_LIST_DIR}/PlayRecord.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlayRecordNames.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Ranking.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Replay.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StorySave.cpp
)
target_link_libraries(tobrelk_playrecord PUBLIC tobrelk_app tobrelk_database tobrelk_records tobrelk_input tobrelk_system)

# The front-end scenes beyond the title menu.
add_library(tobrelk_frontend STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ChallengeScene.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrontEnd.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MapMenuScene.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OptionScene.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SceneKit.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WorldMapScene.cpp
)
target_link_libraries(tobrelk_frontend PUBLIC tobrelk_playrecord tobrelk_app tobrelk_database tobrelk_records tobrelk_input tobrelk_system)

# The program reaches the front end through ConnectFrontEnd (called from its wiring), and plays
# stages through the engine.
if(TARGET tobrelk)
    target_link_libraries(tobrelk PRIVATE tobrelk_frontend tobrelk_engine)
endif()
