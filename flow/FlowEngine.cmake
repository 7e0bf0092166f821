# Sources of the flow engine (run state, triggers, conditions, status operations, motion).
list(APPEND TOBRELK_FLOW_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/KeyConds.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MotionMath.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Operators.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StatusDesc.cpp
)
