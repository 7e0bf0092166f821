#include "records/FlowCmd.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "records/EdSettings.h"
#include "records/RecordVector.h"

namespace {
// A command body is at least its two generic counts, the move and shot presence words, the
// flow count and the parameter count.
constexpr std::size_t kMinCmdBytes = 24;

std::mutex g_CmdLimitsLock;
CMDLIMITS g_CmdLimits;
// Counts the changes of g_CmdLimits; starts at 1 so that a thread's first read takes the lock.
std::atomic<u32> g_nCmdLimitsGen{1};

// A kind outside its table: no name, no parameters, nothing to run.
constexpr CMDTYPEROW kNoCmdRow = {"", 0};
} // namespace

const CMDTYPEROW g_CmdTypeTable[kCmdTypeCount] = {
    {"", 0},
    {"ウエイト", 0},
    {"直線移動", 0},
    {"地上折り返し移動", 0},
    {"円移動", 0},
    {"突撃移動", 0},
    {"誘導移動", 0},
    {"画面外回避移動", 0},
    {"移動の無効化", 0},
    {"向き変更", 1},
    {"ジャンプ", 5},
    {"ショット", 0},
    {"ソード", 0},
    {"ブロック召喚", 0},
    {"キャラ召喚", 0},
    {"アイテム召喚", 0},
    {"フローの操作", 4},
    {"ステージクリア", 9},
    {"ゲームウエイト", 1},
    {"メッセージ", 18},
    {"ワープ", 0},
    {"ターゲットの設定", 16},
    {"ステータスの操作", 18},
    {"ステータスの操作2", 5},
    {"消滅", 3},
    {"アイテムの取得", 2},
    {"グラフィックの変更", 3},
    {"基本アニメセットの変更", 1},
    {"アニメの実行", 1},
    {"エフェクトの実行", 8},
    {"キャラエフェクトの実行", 3},
    {"画面エフェクトの実行", 3},
    {"ピクチャーの表示", 15},
    {"画面の色を変更", 8},
    {"背景の変更", 2},
    {"効果音の再生", 1},
    {"BGMの再生", 2},
    {"コードの実行", 0},
    {"アレンジ", 5},
    {"ループ", 2},
};

// Kinds 2-24 are the character set's kinds 17-39 with the same parameters.
const CMDTYPEROW g_CmdTypeTable2[kCmdTypeCount2] = {
    {"", 0},
    {"フローの変更", 2},
    {"ステージクリア", 9},
    {"ゲームウエイト", 1},
    {"メッセージ", 18},
    {"ワープ", 0},
    {"ターゲットの設定", 16},
    {"ステータスの操作", 18},
    {"ステータスの操作2", 5},
    {"消滅", 3},
    {"アイテムの取得", 2},
    {"グラフィックの変更", 3},
    {"基本アニメセットの変更", 1},
    {"アニメの実行", 1},
    {"エフェクトの実行", 8},
    {"キャラエフェクトの実行", 3},
    {"画面エフェクトの実行", 3},
    {"ピクチャーの表示", 15},
    {"画面の色を変更", 8},
    {"背景の変更", 2},
    {"効果音の再生", 1},
    {"BGMの再生", 2},
    {"コードの実行", 0},
    {"アレンジ", 5},
    {"ループ", 2},
};

const CMDTYPEROW& CmdTypeRow(u8 cmdSet, u8 cmdKind) {
    if (cmdSet) return cmdKind < kCmdTypeCount2 ? g_CmdTypeTable2[cmdKind] : kNoCmdRow;
    return cmdKind < kCmdTypeCount ? g_CmdTypeTable[cmdKind] : kNoCmdRow;
}

void SetCmdLimits(const CMDLIMITS& limits) {
    std::lock_guard<std::mutex> lock(g_CmdLimitsLock);
    g_CmdLimits = limits;
    g_nCmdLimitsGen.fetch_add(1, std::memory_order_release);
}

void UpdateCmdLimits(const std::function<void(CMDLIMITS&)>& change) {
    std::lock_guard<std::mutex> lock(g_CmdLimitsLock);
    change(g_CmdLimits);
    g_nCmdLimitsGen.fetch_add(1, std::memory_order_release);
}

const CMDLIMITS& CurrentCmdLimits() {
    // Every command read checks its parameters against the limits: each thread keeps the copy
    // it took last and takes the lock again only after a change.
    thread_local u32 seen = 0;
    thread_local CMDLIMITS copy;
    if (seen != g_nCmdLimitsGen.load(std::memory_order_acquire)) {
        std::lock_guard<std::mutex> lock(g_CmdLimitsLock);
        copy = g_CmdLimits;
        seen = g_nCmdLimitsGen.load(std::memory_order_relaxed);
    }
    return copy;
}

CMDLIMITS GetCmdLimits() { return CurrentCmdLimits(); }

// ---- cFlowCmd ---------------------------------------------------------------------------------

cFlowCmd::cFlowCmd() = default;
cFlowCmd::~cFlowCmd() = default;

cFlowCmd::cFlowCmd(const cFlowCmd& src) : cRecord(src) { CopyMembers(src); }

cFlowCmd::cFlowCmd(cFlowCmd&& src) noexcept
    : cmdSet(src.cmdSet), cmdKind(src.cmdKind), time(src.time), timeStep(src.timeStep), chain(src.chain),
      sound(src.sound), flag96(src.flag96), anime(src.anime), text(std::move(src.text)),
      params(std::move(src.params)), move(std::move(src.move)), shot(std::move(src.shot)),
      condList(std::move(src.condList)), flows(std::move(src.flows)) {}

cFlowCmd& cFlowCmd::operator=(const cFlowCmd& src) {
    if (this != &src) {
        cRecord::operator=(src);
        CopyMembers(src);
    }
    return *this;
}

cFlowCmd& cFlowCmd::operator=(cFlowCmd&& src) noexcept {
    if (this != &src) {
        cmdSet = src.cmdSet;
        cmdKind = src.cmdKind;
        time = src.time;
        timeStep = src.timeStep;
        chain = src.chain;
        sound = src.sound;
        flag96 = src.flag96;
        anime = src.anime;
        text = std::move(src.text);
        params = std::move(src.params);
        move = std::move(src.move);
        shot = std::move(src.shot);
        condList = std::move(src.condList);
        flows = std::move(src.flows);
    }
    return *this;
}

namespace {
// A copy owns fresh records; an empty source leaves the copy empty.
// A new owned record with the defaults of its kind.
void MakeOwned(cRecordBox<cEdMove>& p) { NewEdMove(p); }
void MakeOwned(cRecordBox<cEdShot>& p) { NewEdShot(p); }
void MakeOwned(cRecordBox<cCondList>& p) { NewCondList(p); }

template <class T>
void DeepCopy(cRecordBox<T>& dst, const cRecordBox<T>& src) {
    if (!src) {
        dst.reset();
        return;
    }
    dst.emplace(*src);
}
} // namespace

void cFlowCmd::CopyMembers(const cFlowCmd& src) {
    cmdSet = src.cmdSet;
    cmdKind = src.cmdKind;
    params = src.params;
    text = src.text;
    time = src.time;
    timeStep = src.timeStep;
    chain = src.chain;
    sound = src.sound;
    flag96 = src.flag96;
    anime = src.anime;
    DeepCopy(move, src.move);
    DeepCopy(shot, src.shot);
    DeepCopy(condList, src.condList);
    flows = src.flows;
}

void cFlowCmd::RegisterFields(u32 /*version*/) {
    ResetFieldLists();
    AddFieldU8(&cmdSet);
    AddFieldU8(&cmdKind);
    AddFieldU16(&time);
    AddFieldU16(&timeStep);
    AddFieldU8(&chain);
    AddFieldU16(&sound);
    AddFieldU8(&flag96);
    AddFieldU16(&anime);
    AddString(&text);
}

void cFlowCmd::Reset() {
    Clear();
    move.reset();
    shot.reset();
    condList.reset();
    flag96 = 1;
}

namespace {
template <class T>
bool ReadOwned(cRecordReader& r, cRecordBox<T>& p) {
    u32 present = 0;
    if (!r.ReadU32(present)) return false;
    if (!present) {
        p.reset();
        return true;
    }
    MakeOwned(p);
    p->Load(r);
    return !r.Failed();
}

template <class T>
void WriteOwned(cRecordWriter& w, const cRecordBox<T>& p) {
    w.WriteU32(p ? 1 : 0);
    if (p) p->Save(w);
}

// ---- Upgrades of the parameters of older commands ----
// Each step brings the parameters of one kind to the layout of the version that changed it.
// The kinds are those of the character set; an item command uses its twin (item kind + 15).

void SetAt(cParamList& p, std::size_t i, u32 value) {
    if (p.size() <= i) p.resize(i + 1, 0);
    p[static_cast<long long>(i)] = value;
}

void InsertAt(cParamList& p, std::size_t i, u32 value) {
    if (p.size() < i) p.resize(i, 0);
    p.insert(p.begin() + static_cast<std::ptrdiff_t>(i), value);
}

void GrowTo(cParamList& p, std::size_t n) {
    if (p.size() < n) p.resize(n, 0);
}

void UpgradeCmdParams(cFlowCmd& c, u32 v) {
    int kind = c.cmdKind;
    if (c.cmdSet) {
        // The item set only began at 166, and only its twins of the character kinds changed.
        if (kind < 2) return;
        kind += 15;
    }
    cParamList& p = c.params;
    const bool item = c.cmdSet != 0;
    if (!item && v < 145 && kind == 17) GrowTo(p, 9);
    if (v < 166 && kind == 35 && p.size() < 2) SetAt(p, 1, 1);
    if (v < 189 && kind == 21) {
        InsertAt(p, 2, 0);
        GrowTo(p, 16);
    }
    // The picture command (the kind with 15 parameters) gained its parameter 6 here.
    if (v < 194 && kind == 32) {
        InsertAt(p, 6, 1);
        GrowTo(p, 15);
    }
    if (v < 195 && (kind == 29 || kind == 30)) {
        InsertAt(p, 1, 0);
        GrowTo(p, 3);
    }
    if (v < 545) {
        if (kind == 19) {
            GrowTo(p, 18);
            SetAt(p, 10, 1);
        }
        if (kind == 32) {
            GrowTo(p, 15);
            SetAt(p, 11, 0);
        }
    }
    if (v < 547) {
        if (kind == 19) {
            SetAt(p, 11, 0);
            SetAt(p, 12, 0);
            SetAt(p, 13, 0);
            SetAt(p, 14, 1);
        }
        if (kind == 32) {
            SetAt(p, 12, 0);
            SetAt(p, 13, 0);
        }
    }
    if (v < 556 && kind == 19) SetAt(p, 16, 1);
    if (v < 747 && kind == 21) {
        GrowTo(p, 16);
        SetAt(p, 10, 0);
        SetAt(p, 11, 1);
        SetAt(p, 14, 0);
    }
}

// Index checks: parameter value against a database size (unknown sizes are not checked).
bool Outside(u32 value, u32 size) { return size != kSizeUnknown && value >= size; }

void CheckParam(cParamList& p, std::size_t i, u32 size, u32 reset = 0) {
    if (i < p.size() && Outside(p[static_cast<long long>(i)], size)) p[static_cast<long long>(i)] = reset;
}
} // namespace

namespace {
// Apart from the checks' usual path, which every command read takes.
__attribute__((noinline)) void SizeParams(cParamList& p, u32 n) { p.resize(n, 0); }

// The checks of FixCmdParams against the given limits; inline in the read of every command.
inline __attribute__((always_inline)) void FixParams(cFlowCmd& c, const CMDLIMITS& lim) {
    const u32 nParams = CmdTypeRow(c.cmdSet, c.cmdKind).nParams;
    if (c.params.size() != nParams) SizeParams(c.params, nParams);
    if (Outside(c.sound, lim.nSound)) c.sound = 0;
    if (Outside(c.anime, lim.nAnime)) c.anime = 0;

    // Parameters that pick a database entry. The item set's kinds 2-24 are the character set's
    // kinds 17-39; kind 1 (change flow) picks none.
    int kind = c.cmdKind;
    if (c.cmdSet) {
        if (kind < 2 || kind >= kCmdTypeCount2) return;
        kind += 15;
    }
    cParamList& p = c.params;
    switch (kind) {
    case 26:
        // A dedicated picture past the list falls back to the first picture, as arrange does.
        if (!p.empty() && p[0] == 4) CheckParam(p, 1, lim.nCharaBmp, 1);
        break;
    case 27: CheckParam(p, 0, lim.nAnimeSet); break;
    case 28: CheckParam(p, 0, lim.nAnime); break;
    case 29: CheckParam(p, 0, lim.nEffect); break;
    case 30: CheckParam(p, 0, lim.nCharaEffect); break;
    case 31: CheckParam(p, 0, lim.nScrEffect); break;
    case 32:
        // A picture past the list falls back to the first picture, as a dedicated picture does:
        // 0 would close a shown picture instead of showing one. 0 itself names no picture.
        if (!p.empty() && p[0] != 0) CheckParam(p, 0, lim.nPicture, 1);
        break;
    case 35: CheckParam(p, 0, lim.nSound); break;
    case 36: CheckParam(p, 0, lim.nBgm); break;
    default: break;
    }
}
} // namespace

void cFlowCmd::Load(cRecordReader& r) {
    if (!ReadPlainBody<&cFlowCmd::cmdSet, &cFlowCmd::cmdKind, &cFlowCmd::time, &cFlowCmd::timeStep, &cFlowCmd::chain,
                       &cFlowCmd::sound, &cFlowCmd::flag96, &cFlowCmd::anime>(r, *this, &text))
        cRecord::Load(r);
    if (r.Failed()) return;
    const u32 v = r.Version();
    if (!ReadOwned(r, move)) return;
    if (!ReadOwned(r, shot)) return;
    if (v >= 764) {
        if (!ReadOwned(r, condList)) return;
    } else {
        condList.reset();
    }
    if (!ReadEmptyList(r, flows) && !ReadFlowList(flows, r)) return;
    u32 n = 0;
    if (!r.ReadCount(n, 4)) return;
    params.assign(n, 0);
    if (!r.ReadBytes(params.data(), static_cast<std::size_t>(n) * 4)) return;
    if (v < kProgVer) UpgradeCmdParams(*this, v);
    const CMDLIMITS& lim = CurrentCmdLimits();
    if (!flows.empty() && !KeepsEditorOnlyFlows(lim)) FixFlows(flows);
    FixParams(*this, lim);
}

void cFlowCmd::Save(cRecordWriter& w) {
    FixCmdParams(*this);
    cRecord::Save(w);
    WriteOwned(w, move);
    WriteOwned(w, shot);
    WriteOwned(w, condList);
    WriteFlowList(flows, w);
    w.WriteU32(static_cast<u32>(params.size()));
    w.WriteBytes(params.data(), params.size() * 4);
}

bool ReadFlowCmdList(cVector<cFlowCmd>& v, cRecordReader& r) { return ReadRecordsBounded(v, r, kMinCmdBytes); }

void WriteFlowCmdList(cVector<cFlowCmd>& v, cRecordWriter& w) {
    w.WriteU32(static_cast<u32>(v.size()));
    for (cFlowCmd& c : v) c.Save(w);
}

// ---- Fix-up passes ----------------------------------------------------------------------------

void FixCmdParams(cFlowCmd& c) { FixParams(c, CurrentCmdLimits()); }

void FixCmdList(cVector<cFlowCmd>& cmds) {
    for (cFlowCmd& c : cmds) FixCmdParams(c);
}

void FixCmdRefs(cFlowCmd& c) { FixCmdRefs(c, CurrentCmdLimits()); }

void FixCmdRefs(cFlowCmd& c, const CMDLIMITS& lim) {
    // The kinds from the shot to the item taking carry a shot record, whose references name
    // palette entries.
    if (c.cmdSet || !c.shot || c.cmdKind < 11 || c.cmdKind > 25) return;
    constexpr int kItems = 3;
    // The item a shot or sword gives when it hits: kind 1 the common palette, 2 the stage's; an
    // entry past its palette gives none.
    const i64 itemKind = ShotSettings::Get(*c.shot, eShot::ItemKind);
    if (itemKind == 1 || itemKind == 2) {
        const u32 size = itemKind == 2 ? lim.nStagePal[kItems] : lim.nCommonPal[kItems];
        const i64 n = ShotSettings::Get(*c.shot, eShot::ItemNumber);
        if (size != kSizeUnknown && (n < 0 || static_cast<u64>(n) >= size)) {
            ShotSettings::Set(*c.shot, eShot::ItemKind, 0);
            ShotSettings::Set(*c.shot, eShot::ItemNumber, 0);
        }
    }
    // The summon kinds pick an entry of a palette: 13 blocks, 14 characters, 15 items.
    int list = 0;
    switch (c.cmdKind) {
    case 13: list = 1; break;
    case 14: list = 2; break;
    case 15: list = kItems; break;
    default: return;
    }
    const u32 size = c.shot->bySummonPalette ? lim.nStagePal[list] : lim.nCommonPal[list];
    if (size == kSizeUnknown) return;
    // An invalid entry summons nothing, never entry 0.
    if (c.shot->wSummonIndex < 0 || static_cast<u32>(c.shot->wSummonIndex) >= size) c.shot->wSummonIndex = -1;
}

void FixCmdRefList(cVector<cFlowCmd>& cmds) { FixCmdRefList(cmds, CurrentCmdLimits()); }

void FixCmdRefList(cVector<cFlowCmd>& cmds, const CMDLIMITS& lim) {
    for (cFlowCmd& c : cmds) FixCmdRefs(c, lim);
}

void FixFlows(cVector<cFlow>& flows) {
    flows.erase(std::remove_if(flows.begin(), flows.end(), [](const cFlow& f) { return f.editorOnly != 0; }),
                flows.end());
}
