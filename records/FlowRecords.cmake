# The records of menus, conditions, flows, commands, movements and shots.
list(APPEND TOBRELK_RECORDS_SOURCES
    Cmd.cpp
    Cond.cpp
    EdMove.cpp
    EdSettings.cpp
    EdShot.cpp
    Flow.cpp
    FlowCmd.cpp
    FlowLabels.cpp
)
