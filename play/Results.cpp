// The result of a cleared stage: the play record's progress by game mode, and the next scene
// (0 title menu, 1 world map, 3 challenge choice, 4 play again). Story, challenge and free play
// may chain straight into a next stage without leaving the play scene.
#include <algorithm>
#include <cctype>

#include "app/PlayRecordNames.h"
#include "app/Replay.h"
#include "app/Services.h"
#include "app/StorySave.h"
#include "database/DataPaths.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/Report.h"
#include "play/GameScene.h"
#include "records/Stage.h"
#include "records/StageLoad.h"
#include "records/StageSettings.h"
#include "records/StrFormat.h"

namespace {

// The file of stage number n. Decision: the stage-clear command's own name when it gave one;
// else, in challenge play, the challenge list's name of stage n; else the current stage's file
// with the last number in its name (before the extension) replaced by n, loaded as a numbered
// file. A name without a number has no numbered neighbours: no next stage.
std::string NextStageFile(const std::string& given, u32 n) {
    if (!given.empty()) return given;
    if (g_Game.g_nGameMode == 2) {
        std::string name;
        StrFormat(name, "%s%02u-1", g_DataPath[DP_CHALLENGE_STAGE].c_str(), n);
        return name;
    }
    std::string file = g_strStageFile;
    const std::size_t dot = file.find_last_of('.');
    const std::size_t slash = file.find_last_of('\\');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) file.resize(dot);
    std::size_t end = file.size();
    while (end > 0 && !std::isdigit(static_cast<unsigned char>(file[end - 1]))) {
        if (file[end - 1] == '\\') return std::string();
        --end;
    }
    std::size_t start = end;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(file[start - 1]))) --start;
    if (start == end) return std::string();
    std::string number;
    StrFormat(number, "%0*u", static_cast<int>(end - start), n);
    return file.substr(0, start) + number + file.substr(end);
}

} // namespace

i32 cGameScene::ProcessResult() {
    cPlayRecord& r = g_PlayRecord;
    if (StageSettings::Get(g_Stage, eStage::StoreCarried)) {
        ForEachPlayer([&](cPlayer& p) {
            if (p.m_nPlayerNo < 0 || p.m_nPlayerNo >= r.vCarried.Size()) return;
            r.StoreCarriedStatus(p.m_nPlayerNo, p.m_Def, static_cast<u32>(p.m_nHP), static_cast<u32>(p.m_nSP),
                                 static_cast<u32>(p.m_CharaEffect.m_nId), static_cast<u32>(p.m_Def.byGroup13a),
                                 static_cast<u32>(p.m_Def.byGroup13b), static_cast<u32>(m_nTimeLeft), g_nLives,
                                 playrec::MusicNumber(r));
        });
    }
    const u32 stageNo = r.nStageNo;
    const i32 mode = g_Game.g_nGameMode;

    // A next stage named by the stage-clear command, loaded in place of this one.
    auto chain = [&]() -> bool {
        if (!playrec::NextStageFlag(r) || m_nNextStageNo == 0) return false;
        r.nStageNo = static_cast<u32>(m_nNextStageNo);
        const std::string file = NextStageFile(m_strNextStage, r.nStageNo);
        const bool numbered = m_strNextStage.empty();
        if (file.empty() || !(g_Services.loadStage ? g_Services.loadStage(file, numbered ? 1 : 0)
                                                   : LoadStageForPlay(file.c_str(), numbered ? 1 : 0, &g_StageAtStart))) {
            r.nStageNo = stageNo;
            return false;
        }
        g_ReplayData.Clear();
        g_ReplayPrev.Clear();
        return true;
    };

    switch (mode) {
    case 0:
    case 1: {
        if (chain()) return 4;
        if (stageNo < static_cast<u32>(r.vSwitch.Size())) r.vSwitch[stageNo] = 1;
        else WriteReport("ProcessResult : stage switch %u of %d", stageNo, r.vSwitch.Size());
        r.UpdateStageEntry(r.strStageFile, r.strStageKey, r.bStageVar, r.nStageVarIndex, r.nStageVarValue, g_nTotalScore);
        r.nStageNo = stageNo;
        switch (playrec::MapEntryKind(r)) {
        case 2: g_WorldMapPos.Cur().row = mode; return 0;
        case 1: playrec::NextWorld(r); return 1;
        default: return 1;
        }
    }
    case 2: {
        if (chain()) return 4;
        // Challenge stages count from 1: a stage number of 0 names no row.
        if (stageNo == 0 || stageNo > static_cast<u32>(r.vChallenge.Size())) {
            WriteReport("ProcessResult : challenge stage %u of %d has no result row", stageNo, r.vChallenge.Size());
            return 3;
        }
        cRecInt2& row = r.vChallenge[stageNo - 1];
        row.nValue1 = 1;
        if (row.nValue2 < g_nTotalScore) {
            r.nBestSum += g_nTotalScore - row.nValue2;
            row.nValue2 = g_nTotalScore;
        }
        if (r.nChallengeOpen <= stageNo) r.nChallengeOpen = std::min(stageNo + 1, ChallengeStageCount());
        if (!SaveChallenge(r)) WriteFailureReport("ProcessResult : the challenge results were not saved");
        r.nStageNo = stageNo;
        return 3;
    }
    case 3:
        if (!playrec::NextStageFlag(r) || g_bDirectStart) {
            playrec::StartPosFlag(r) = 0;
            return 4;
        }
        if (chain()) return 4;
        r.nStageNo = stageNo;
        return 0;
    case 4: r.RestoreStageStart(1); return 4;
    default: return 3;
    }
}
