// The code command (the status operation lives with the status rules, flow/StatusOps.cpp): the
// code language bound to the running character, its targets, the player and the play.
#include "app/PlayRecordNames.h"
#include "database/SystemSwitches.h"
#include "flow/CodeLang.h"
#include "flow/Status.h"
#include "flow/StatusDesc.h"
#include "flow/commands/Commands.h"
#include "play/GameScene.h"
#include "records/CharaSettings.h"
#include "records/StageSettings.h"

namespace {

// The status selector of the shared status table for each name of the language (v1..v8 are the
// character variables 1..8).
i32 Selector(int status) {
    static constexpr i32 kSel[CODE_STATUS_COUNT - CODE_HP] = {
        CV_HP, CV_SP, CV_MAXHP, CV_MAXSP, CV_ID, CV_Z, CV_MARK, CV_SIGHT,
        CV_BODY_POWER, CV_BODY_IMPACT, CV_DEFENCE, CV_RESISTANCE, CV_STOPPING, CV_SCORE,
    };
    return status < CODE_HP ? CV_VAR : kSel[status - CODE_HP];
}

class cCharaCodeHost : public cCodeHost {
public:
    cCharaCodeHost(cGameScene& scene, cChara& runner) : m_scene(scene), m_runner(runner) {}

    CodeObj Object(int object) override {
        if (object == CODE_MY) return &m_runner;
        if (object == CODE_PL) return m_scene.Player0();
        // tg is slot 1; tg1..tg4 slots 1..4.
        return SubjectChara(m_runner, object == CODE_TG ? 1 : object - CODE_TG1 + 1);
    }
    bool ReadStatus(CodeObj obj, int status, i32& value) override {
        STATUSVALUE v;
        if (!ReadCharaStatus(Chara(obj), Selector(status), status + 1, v)) return false;
        value = static_cast<i32>(v.value);
        return true;
    }
    void WriteStatus(CodeObj obj, int status, i32 v) override {
        cChara& c = Chara(obj);
        switch (status) {
        case CODE_HP: c.m_nHP = v; break;
        case CODE_SP: c.m_nSP = v; break;
        case CODE_MHP: CharaSettings::Set(c.m_Def, eChara::MaxHP, v); break;
        case CODE_MSP: CharaSettings::Set(c.m_Def, eChara::MaxSP, v); break;
        case CODE_CID: c.m_nCharaId = static_cast<i8>(v); break;
        case CODE_Z: c.m_nLayer = static_cast<i8>(v); break;
        case CODE_MARK: CharaSettings::Set(c.m_Def, eChara::Mark, v); break;
        case CODE_SIGHT: c.m_nSight = static_cast<i8>(v); break;
        case CODE_POWER: CharaSettings::Set(c.m_Def, eChara::BodyPower, v); break;
        case CODE_IMP: CharaSettings::Set(c.m_Def, eChara::BodyImpact, v); break;
        case CODE_DEF: CharaSettings::Set(c.m_Def, eChara::Defence, v); break;
        case CODE_IMPD: CharaSettings::Set(c.m_Def, eChara::Resistance, v); break;
        case CODE_STOP: CharaSettings::Set(c.m_Def, eChara::Stopping, v); break;
        case CODE_GETSC: CharaSettings::Set(c.m_Def, eChara::Score, v); break;
        default:
            if (status + 1 < c.m_vVar.Size()) c.m_vVar[status + 1] = v;
            break;
        }
    }
    std::span<i32> CommonVars() override { return {g_CommonVars.data(), g_CommonVars.size()}; }
    std::span<i32> StageVars() override { return {m_scene.m_vStageVar.data(), m_scene.m_vStageVar.size()}; }
    i32 SysValue(int sys) override {
        switch (sys) {
        case CODE_TIME: return m_scene.m_nTimeLeft;
        case CODE_SCRLX: return static_cast<i32>(StageSettings::Get(g_Stage, eStage::AutoScrollSpeedX));
        case CODE_SCRLY: return static_cast<i32>(StageSettings::Get(g_Stage, eStage::AutoScrollSpeedY));
        case CODE_SCORE: return static_cast<i32>(g_nScore);
        default: return static_cast<i32>(g_nLives);
        }
    }
    void SetSysValue(int sys, i32 v) override {
        switch (sys) {
        case CODE_TIME: m_scene.m_nTimeLeft = v; break;
        case CODE_SCRLX:
        case CODE_SCRLY: {
            const bool x = sys == CODE_SCRLX;
            StageSettings::Set(g_Stage, x ? eStage::AutoScrollSpeedX : eStage::AutoScrollSpeedY, v);
            const u32 on = static_cast<u32>(StageSettings::Get(g_Stage, x ? eStage::AutoScrollOnX : eStage::AutoScrollOnY));
            (x ? m_scene.m_ScrollX : m_scene.m_ScrollY).SetSpeed(on, v, SpeedUnit());
            break;
        }
        case CODE_SCORE:
            g_nScore = static_cast<u32>(v);
            break;
        default:
            g_nLives = static_cast<u32>(v);
            break;
        }
    }
    bool UnlimitedLivesReadZero() override { return SysSwitch(SW_UNLIMITED_LIVES) != 0; }
    void RequestDeathCheck() override { m_scene.m_bDeathCheck = 1; }
    void SightChanged(CodeObj obj, i32) override {
        if (Chara(obj).AsPlayer()) m_scene.SightChanged(Chara(obj));
    }
    void StartHpGauge(i32 delta) override { ::StartHpGauge(m_runner, delta); }
    void StartSpGauge(i32 delta) override { ::StartSpGauge(m_runner, delta); }
    cCrtRandom& Random() override { return m_scene.m_Rand; }
    i32& CodeError() override { return m_scene.m_bCodeError; }

private:
    static cChara& Chara(CodeObj obj) { return *static_cast<cChara*>(obj); }

    cGameScene& m_scene;
    cChara& m_runner;
};

} // namespace

i32 ExecCodeCmd(cChara& chara, cFlowCmd& cmd) {
    if (!chara.m_pScene) return 0;
    cCharaCodeHost host(*chara.m_pScene, chara);
    // A failed statement has shown its box; the result of a shared body only tells a stage clear.
    ExecCodeText(cmd.text, host);
    return 0;
}
