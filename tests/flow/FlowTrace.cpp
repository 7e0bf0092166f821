#include "tests/flow/FlowTrace.h"

#include "records/CharaSettings.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace flowtest {

cFlowCmd AddCmd(i32 var, bool chain) {
    cFlowCmd c;
    c.cmdKind = 22;
    c.params.assign(18, 0);
    c.params[2] = static_cast<u32>(var); // character variable var
    c.params[5] = 1;                     // +=
    c.params[7] = 1;                     // the constant 1
    c.chain = chain ? 1 : 0;
    return c;
}

cFlow MakeFlow(u8 trigger, std::vector<cFlowCmd> cmds, u8 letter, u8 id) {
    cFlow f;
    f.trigger = trigger;
    f.idLetter = letter;
    f.subKind = id;
    for (cFlowCmd& c : cmds) f.cmds.push_back(c);
    return f;
}

cFlowCmd Cmd(u8 kind, std::initializer_list<i64> params) {
    cFlowCmd c;
    c.cmdKind = kind;
    FixCmdParams(c);
    EXPECT_LE(params.size(), static_cast<std::size_t>(c.params.Size())) << "kind " << int(kind);
    int i = 0;
    for (i64 v : params)
        if (i < c.params.Size()) c.params[i++] = static_cast<u32>(v);
    return c;
}

cCond Cond(u8 kind, u8 op, i32 value, i16 index) {
    cCond c;
    c.kind = kind;
    c.op = op;
    c.value = value;
    c.index = index;
    return c;
}

cEdChara PlacedFlyer(i16 x, i16 y, std::vector<cFlow> flows, const std::function<void(cEdChara&)>& edit) {
    cEdChara d;
    d.byOperation = 1;
    d.wPicture = 1;
    d.sPosX = x;
    d.sPosY = y;
    d.nHoldItem = cEdChara::kNoItem;
    CharaSettings::Set(d, eChara::FlyMode, 2);
    for (cFlow& f : flows) d.vFlow.push_back(f);
    if (edit) edit(d);
    return d;
}

HeroPlay::HeroPlay(playtest::PLAYOPTIONS options, const cStage& st)
    : play(st, std::move(options)), s(play.Scene()), hero([this]() -> cPlayer& {
          if (!play.RunUntilPlay() || !s.Player0()) throw std::runtime_error("the play never started");
          return *s.Player0();
      }()) {}

FlowFixture::FlowFixture() : m_play(std::make_unique<playtest::PlayFixture>(playtest::MakeStage(20, 15))) {
    EXPECT_TRUE(m_play->RunUntilPlay());
}

void FlowFixture::SetDurations(cChara& c, i32 duration) {
    for (cFlowRun& run : c.m_vFlowRun)
        for (cCmdRun& cr : run.m_vCmdRun) cr.m_nDuration = duration;
}

cStageChara& FlowFixture::AddChara(std::vector<cFlow> flows, i32 duration) {
    auto chara = std::make_unique<cStageChara>();
    chara->m_nId = static_cast<u32>(100 + m_chara.size());
    chara->m_nKind = 1;
    chara->m_nDir = 1;
    chara->m_Def.dwMaxHP = 10;
    chara->m_nHP = 10;
    chara->m_dX = chara->m_dY = 400;
    cStageChara& c = Scene().AddChara(std::move(chara));
    cVector<cFlow> v;
    for (cFlow& f : flows) v.push_back(f);
    SetupFlows(c, v, 0, -1);
    SetDurations(c, duration);
    m_chara.push_back(&c);
    m_lastVars.push_back(std::vector<i32>(c.m_vVar.begin(), c.m_vVar.end()));
    return c;
}

void FlowFixture::Frame() {
    ++m_frame;
    for (cStageChara* c : m_chara) ResetFlowMarks(*c);
    for (cStageChara* c : m_chara) {
        RunFlowsOf(*c, TRIG_ALWAYS);
        StepFlows(*c, 0);
        EndLetters(*c);
    }
    Note(std::string("f").append(std::to_string(m_frame)));
}

void FlowFixture::Frames(int n) {
    for (int i = 0; i < n; ++i) Frame();
}

std::string FlowFixture::Line(const std::string& label) {
    std::string s = label;
    for (std::size_t n = 0; n < m_chara.size(); ++n) {
        cStageChara& c = *m_chara[n];
        s += " |";
        for (const cFlowRun& run : c.m_vFlowRun) {
            s += ' ';
            s += run.m_bStopped ? 'S' : run.m_bPaused ? 'P' : run.m_bRunning ? 'R' : '-';
            for (const cCmdRun& cr : run.m_vCmdRun) {
                if (cr.m_bDone) s += '*';
                else if (cr.m_nFramesLeft == 0) s += '.';
                else s += cr.m_nFramesLeft > 9 ? '+' : static_cast<char>('0' + cr.m_nFramesLeft);
            }
        }
        std::string ran;
        for (int v = 0; v < c.m_vVar.Size(); ++v) {
            for (i32 k = m_lastVars[n][v]; k < c.m_vVar[v]; ++k) ran += std::to_string(v);
            m_lastVars[n][v] = c.m_vVar[v];
        }
        if (!ran.empty()) s.append(" x").append(ran);
        std::string letters;
        for (int l = 1; l < 27; ++l)
            if (c.m_vLetterRunning[l]) letters += static_cast<char>('A' + l - 1);
        if (!letters.empty()) s.append(" @").append(letters);
    }
    return s;
}

void FlowFixture::Note(const std::string& label) { m_trace.append(Line(label)).append("\n"); }

} // namespace flowtest
