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
    "EndToEnd.TheVillagerCountsHisTalksAndTheGoalClearsTheStage=25"
    "EndToEnd.OptionsChangeMusicAndVolumeAndSaveOptionDat=12"
    "EndToEnd.PaletteModeShowsTheTitleMenuAndOptionsTexts=10"
    "EndToEnd.StageOnTheCommandLineStartsDirectPlayAndFreePlayChoosesAStage=10"
    "EndToEnd.ChallengeChoiceListsTheDemoGamesStages=10"
    "EndToEnd.NewGameChoosesASlotAndReachesTheWorldMap=10"
    "EndToEnd.MapMenuTextsHaveNoGapsInsideWords=10"
    # Bound by the processor.
    "Personalities/ScreenEffectStrip.ParametersFarOutOfRangeStayInRange/DD8  # GetParam() = DD8=20"
    "Personalities/ScreenEffectStrip.ParametersFarOutOfRangeStayInRange/DD16  # GetParam() = DD16=20"
    "Personalities/ScreenEffectStrip.ParametersFarOutOfRangeStayInRange/DD32  # GetParam() = DD32=20"
    "Personalities/ScreenEffectStrip.ParametersFarOutOfRangeStayInRange/D3D16  # GetParam() = D3D16=20"
    "Personalities/ScreenEffectStrip.ParametersFarOutOfRangeStayInRange/D3D32  # GetParam() = D3D32=20"
    "baseline/Personalities/ScreenEffectStrip.ParametersFarOutOfRangeStayInRange/DD8  # GetParam() = DD8=15"
    "baseline/Personalities/ScreenEffectStrip.ParametersFarOutOfRangeStayInRange/DD16  # GetParam() = DD16=15"
    "baseline/Personalities/ScreenEffectStrip.ParametersFarOutOfRangeStayInRange/DD32  # GetParam() = DD32=15"
    "baseline/Personalities/ScreenEffectStrip.ParametersFarOutOfRangeStayInRange/D3D16  # GetParam() = D3D16=15"
    "baseline/Personalities/ScreenEffectStrip.ParametersFarOutOfRangeStayInRange/D3D32  # GetParam() = D3D32=15"
    "PlayScreen.EveryScreenEffectKindInPlay=20"
    "PlayerSuite.FiveJumpsInARowOnEveryStage=20"
    "PlayerSuite.ShotsGoTheWayTheKeysAreHeld=12"
    "DemoPlay.EveryStageReplaysItsRecording=10"
    "PlayScreen.ScreenEffectsGoldenFrames=10"
    "PlayScreen.LimitedSightGoldenFrames=10"
    "PlayerSuite.EveryStageIsCleared=8"
    "DemoPlay.ReplaysHoldWithMessagesOfDifferentWaits=8")
foreach(_pair IN LISTS _tobrelk_costs)
    string(FIND "${_pair}" "=" _at REVERSE)
    string(SUBSTRING "${_pair}" 0 ${_at} _name)
    math(EXPR _at "${_at} + 1")
    string(SUBSTRING "${_pair}" ${_at} -1 _cost)
    set_tests_properties("${_name}" PROPERTIES COST ${_cost})
endforeach()
