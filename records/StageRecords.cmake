# The records of characters, blocks, items and the stage, and stage loading for play.
list(APPEND TOBRELK_RECORDS_SOURCES
    EdBlockItem.cpp
    OptionLabels.cpp
    CharaSettings.cpp
    EdChara.cpp
    FieldTable.cpp
    PaletteSource.cpp
    Stage.cpp
    StageLoad.cpp
    StageSettings.cpp
    StageSub.cpp
)
