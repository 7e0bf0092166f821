// Messages and the game wait.
#include <algorithm>

#include "app/Game.h"
#include "flow/MessageWnd.h"
#include "flow/commands/Commands.h"
#include "play/GameScene.h"

namespace {

using flowcmd::Param;
using flowcmd::ParamFrames;

// The message command's integers.
enum : int {
    MP_PLACEMENT = 0, MP_CELL_X, MP_CELL_Y, MP_OFFSET_X, MP_OFFSET_Y, MP_KEEP_ON_SCREEN, MP_DISPLAY_MODE,
    MP_TIME, MP_WAIT, MP_EXPAND, MP_FIXED, MP_REFRESH, MP_REPLACE, MP_ID, MP_FRAME, MP_CLOSE,
    MP_REFRESH_INTERVAL, MP_ONE_FRAME,
};
// Display modes: until the advance key, until the stage ends, for the given time.
enum : i32 { MSG_UNTIL_KEY = 0, MSG_UNTIL_STAGE_END = 1 };
constexpr int kMessageKeySound = 11;

// The shown message that an ID names (its second caller value), or the list's end.
auto FindMessage(cGameScene& scene, i32 id) {
    auto& list = scene.m_lstMessageWnd;
    return std::find_if(list.begin(), list.end(), [id](const MessageWndPtr& w) { return w && w->m_nCaller[1] == id; });
}

} // namespace

i32 HoldGame(cGameScene& scene) {
    const WAITPARAM& w = scene.m_WaitParam;
    // Mode 1 waits for the advance key after its first frames; mode 2 counts frames down; any
    // other block ends the loop on its first frame.
    scene.m_bPauseWaitKey = w.mode == 1;
    scene.m_nPauseFrames = static_cast<i32>(w.step);
    scene.m_nPauseCountdown = w.mode == 2 ? static_cast<i32>(w.count) : 0;
    scene.m_nPauseSound = w.mode == 1 ? static_cast<i32>(w.flag) : 0;
    return scene.PauseLoop();
}

i32 CmdGameWait(cChara& chara, cFlowCmd& cmd) {
    cGameScene* scene = chara.m_pScene;
    if (!scene || scene->m_nEndRequest) return 0;
    // int[0] tenths of a second: that many times 6 shown frames, whatever the stage's speed.
    const i32 frames = static_cast<i32>(std::clamp<i64>(i64{Param(cmd, 0)} * 6, 0, INT32_MAX));
    // The wait shows an empty timed message meanwhile. A wait of no time holds the game too: its
    // loop begins a frame and ends it before drawing.
    MESSAGEARGS a;
    a.displayMode = MSG_TIMED;
    a.frames = frames;
    a.countWhileHeld = 1;
    a.noOpening = 1;
    MessageWndPtr w(new cMessageWnd);
    if (!MakeMessage(*scene, *w, a)) return 0;
    const cMessageWnd* shown = w.get();
    scene->m_lstMessageWnd.push_back(std::move(w));
    scene->m_WaitParam = WAITPARAM(2, static_cast<u32>(frames), 0, 0);
    HoldGame(*scene);
    std::erase_if(scene->m_lstMessageWnd, [shown](const MessageWndPtr& p) { return p.get() == shown; });
    return 0;
}

i32 CmdMessage(cChara& chara, cFlowCmd& cmd) {
    const cGameScene* scene = chara.m_pScene;
    const cFlowRun* run = scene ? scene->FlowRun() : nullptr;
    return CmdMessage(chara, cmd, run ? run->m_bMsgWait : 0);
}

i32 ItemMessage(cPlayer& hero, cFlowCmd& cmd) {
    const cGameScene* scene = hero.m_pScene;
    return CmdMessage(hero, cmd, scene && scene->m_bItemMessage ? 1 : 0);
}

i32 CmdMessage(cChara& chara, cFlowCmd& cmd, i32 msgWait) {
    cGameScene* scene = chara.m_pScene;
    if (!scene || scene->m_nEndRequest) return 0;

    cMessageWnd* shown = nullptr;
    if (Param(cmd, MP_REPLACE)) {
        auto it = FindMessage(*scene, Param(cmd, MP_ID));
        const bool found = it != scene->m_lstMessageWnd.end();
        if (Param(cmd, MP_CLOSE)) {
            // Closes the shown message (nothing when there is none).
            if (found) scene->m_lstMessageWnd.erase(it);
            return 0;
        }
        if (found) {
            if ((*it)->m_nCaller[0] == Param(cmd, MP_REPLACE)) shown = it->get();
            else scene->m_lstMessageWnd.erase(it);
        }
    }

    const i32 count = Param(cmd, MP_ONE_FRAME) ? 1 : ParamFrames(cmd, MP_TIME);
    if (!shown) {
        const i32 placement = Param(cmd, MP_PLACEMENT);
        i32 speaker = 0;
        if (placement >= MSG_ABOVE_SELF && placement <= MSG_ON_SELF) speaker = static_cast<i32>(chara.m_nId);
        else if (placement >= MSG_ABOVE_HERO && placement <= MSG_ON_HERO && scene->Player0())
            speaker = static_cast<i32>(scene->Player0()->m_nId);
        MESSAGEARGS a;
        a.kind = 1;
        a.text = cmd.text;
        a.placement = placement;
        a.cellX = Param(cmd, MP_CELL_X);
        a.cellY = Param(cmd, MP_CELL_Y);
        a.offsetX = Param(cmd, MP_OFFSET_X);
        a.offsetY = Param(cmd, MP_OFFSET_Y);
        a.keepOnScreen = Param(cmd, MP_KEEP_ON_SCREEN);
        a.fixed = Param(cmd, MP_FIXED);
        a.displayMode = Param(cmd, MP_DISPLAY_MODE);
        a.frames = count;
        a.countWhileHeld = Param(cmd, MP_WAIT);
        a.speakerId = speaker;
        a.noOpening = msgWait;
        a.expand = Param(cmd, MP_EXPAND);
        a.refresh = Param(cmd, MP_REFRESH);
        a.refreshInterval = Param(cmd, MP_REFRESH_INTERVAL);
        a.frame = Param(cmd, MP_FRAME);
        a.caller[0] = Param(cmd, MP_REPLACE);
        a.caller[1] = Param(cmd, MP_ID);
        a.keepSurface = 1;
        MessageWndPtr w(new cMessageWnd);
        if (!MakeMessage(*scene, *w, a)) return 0;
        shown = w.get();
        scene->m_lstMessageWnd.push_back(std::move(w));
    }

    if (!Param(cmd, MP_WAIT)) return 0;
    switch (Param(cmd, MP_DISPLAY_MODE)) {
    case MSG_UNTIL_KEY:
        scene->m_WaitParam = WAITPARAM(1, 1, 0, static_cast<u32>(msgWait));
        if (!msgWait) PlaySE(kMessageKeySound);
        break;
    case MSG_TIMED:
        scene->m_WaitParam = WAITPARAM(2, static_cast<u32>(count), 0, static_cast<u32>(msgWait));
        break;
    default: // until the stage ends: the wait block stays as the last waiting command left it
        break;
    }
    HoldGame(*scene);
    if (Param(cmd, MP_DISPLAY_MODE) == MSG_UNTIL_KEY) {
        // The key that ended the wait closes the message (unless the loop already dropped it).
        auto& list = scene->m_lstMessageWnd;
        std::erase_if(list, [shown](const MessageWndPtr& w) { return w.get() == shown; });
    }
    return 0;
}
