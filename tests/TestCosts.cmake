# The longest tests with a rough cost (seconds of a sanitizer run on an idle machine), read by
# ctest in every test directory: with -j it starts them first, so that none of them is left to
# run alone at the end while the other cores have nothing to do. Ctest learns the real times
# from a run on (Testing/Temporary/CTestCostData.txt); these only order a fresh tree. Names a
# tree or a directory lacks are passed over.
set(_tobrelk_costs
    # Played in real time by the frame clock: they take as long however fast the machine.
    "EndToEnd.TheBossStagePlaysToItsClearAsADirectStartAndFromTheMap=40"
    "EndToEnd.NewGamePlaysTheFirstStageAndReturnsToTheMapWithItCleared=40"
    "EndToEnd.AChallengeRunEndsWithItsRankingFileWritten=35"
    "EndToEnd.ADirectStartPlaysItsStageAgainAfterItsEnd=25"
    "EndToEnd.ALongStageNamesRankingIsSavedAndItsCutTemporariesAreCleaned=25"
    "EndToEnd.AHangupClosesTheGameInOrderWhileAMessageOrTheRankingHoldsIt=25"
    "EndToEnd.TheVillagerCountsHisTalksAndTheGoalClearsTheStage=25"
    "EndToEnd.StageMusicSoundsForTheWholeOfTheFirstAndTheBossStage=15"
    "EndToEnd.OptionsChangeMusicAndVolumeAndSaveOptionDat=12"
    "EndToEnd.PaletteModeShowsTheTitleMenuAndOptionsTexts=10"
    "EndToEnd.StageOnTheCommandLineStartsDirectPlayAndFreePlayChoosesAStage=10"
    "EndToEnd.ChallengeChoiceListsTheDemoGamesStages=10"
    "EndToEnd.NewGameChoosesASlotAndReachesTheWorldMap=10"
    "EndToEnd.MapMenuTextsHaveNoGapsInsideWords=10"
    "SpecialFiles.NoFileReadAtTheStartIsWaitedFor=10"
    "SpecialFiles.AFifoAtASaveIsKeptAsideWhenThePlayerSavesThere=8"
    "Modes/EndToEndModes.TitleFadeWorldMapAndOptions/Direct3D32  # GetParam() = Direct3D32=10"
    "Modes/EndToEndModes.TitleFadeWorldMapAndOptions/DirectDraw32  # GetParam() = DirectDraw32=10"
    "Modes/EndToEndModes.TitleFadeWorldMapAndOptions/DirectDraw8  # GetParam() = DirectDraw8=10"
    "Modes/EndToEndModes.TitleFadeWorldMapAndOptions/Direct3D16  # GetParam() = Direct3D16=10"
    "Modes/EndToEndModes.TitleFadeWorldMapAndOptions/DirectDraw16  # GetParam() = DirectDraw16=10"
    # Bound by the processor (the list's end).
    "PlayScreen.EveryScreenEffectKindInPlay=20"
    "PlayerSuite.FiveJumpsInARowOnEveryStage=20"
    "PlayerSuite.ShotsGoTheWayTheKeysAreHeld=12"
    "DemoPlay.EveryStageReplaysItsRecording=10"
    "PlayScreen.ScreenEffectsGoldenFrames=10"
    "PlayScreen.LimitedSightGoldenFrames=10"
    "PlayerSuite.EveryStageIsCleared=8"
    "DemoPlay.ReplaysHoldWithMessagesOfDifferentWaits=8")
# The tests bound by the processor take about ten times as long on a machine ten times as busy
# (a sanitizer run beside other builds took 171 s where an idle one takes 20): their time limit
# is forty times their cost, not the run's common 300 s. Those played by the frame clock wait
# for their program with a bound of their own.
set(_tobrelk_processor_bound OFF)
foreach(_pair IN LISTS _tobrelk_costs)
    string(FIND "${_pair}" "=" _at REVERSE)
    string(SUBSTRING "${_pair}" 0 ${_at} _name)
    math(EXPR _at "${_at} + 1")
    string(SUBSTRING "${_pair}" ${_at} -1 _cost)
    if(_name STREQUAL "PlayScreen.EveryScreenEffectKindInPlay")
        set(_tobrelk_processor_bound ON)
    endif()
    set_tests_properties("${_name}" PROPERTIES COST ${_cost})
    if(_tobrelk_processor_bound)
        math(EXPR _limit "${_cost} * 40")
        if(_limit LESS 300)
            set(_limit 300)
        endif()
        set_tests_properties("${_name}" PROPERTIES TIMEOUT ${_limit})
    endif()
endforeach()
