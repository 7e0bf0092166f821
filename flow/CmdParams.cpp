#include "flow/CmdParams.h"

#include <cmath>

#include "flow/CmdList.h"
#include "platform/system/Report.h"
#include "records/EdSettings.h"
#include "records/FlowLabels.h"

namespace {

// Where a parameter lives: an entry of the integer vector, or a setting of the command's
// movement or shot record.
enum class eWhere : u8 { Int, Move, Shot };

struct PARAMDEF {
    const char* name;
    i32 min, max;
    eWhere where;
    int index; // int[index], or the eMove / eShot setting
};

constexpr i32 kIntMax = 2147483647;

constexpr PARAMDEF P(const char* name, i32 min, i32 max, eMove s) {
    return {name, min, max, eWhere::Move, static_cast<int>(s)};
}
constexpr PARAMDEF P(const char* name, i32 min, i32 max, eShot s) {
    return {name, min, max, eWhere::Shot, static_cast<int>(s)};
}
constexpr PARAMDEF P(const char* name, i32 min, i32 max, int intIndex) {
    return {name, min, max, eWhere::Int, intIndex};
}

// Straight and charge movement share their parameters.
const PARAMDEF kLineMove[] = {
    P("目標X(bl)", -640, 640, eMove::TargetXBl),   P("目標X(dot)", -640, 640, eMove::TargetXDot),
    P("目標Y(bl)", -640, 640, eMove::TargetYBl),   P("目標Y(dot)", -640, 640, eMove::TargetYDot),
    P("角度", -7200, 7200, eMove::Angle),          P("分身値による増加角度", -7200, 7200, eMove::AngleStep),
};
const PARAMDEF kHomingMove[] = {
    P("誘導性能の悪さ", 0, 10, eMove::Homing),     P("分身値による増加誘導性能の悪さ", 0, 10, eMove::HomingStep),
    P("目標X(bl)", -640, 640, eMove::TargetXBl),   P("目標X(dot)", -640, 640, eMove::TargetXDot),
    P("目標Y(bl)", -640, 640, eMove::TargetYBl),   P("目標Y(dot)", -640, 640, eMove::TargetYDot),
};
const PARAMDEF kShot[] = {
    P("グラフィック", 1, 120, eShot::Picture),
    P("Z座標", 0, 7, eShot::ZOrder),
    P("フォーメーション固有1", 0, kIntMax, eShot::KindParam1),
    P("フォーメーション固有2", 0, kIntMax, eShot::KindParam2),
    P("フォーメーション固有3", 0, kIntMax, eShot::KindParam3),
    P("発射数", 1, 127, eShot::ShotsPerVolley),
    P("発射数に対する分身数", 0, 20, eShot::ExtraVolleys),
    P("角度のズレ", -7200, 7200, eShot::BaseAngle),
    P("分身値による角度のズレ", -7200, 7200, eShot::AngleStep),
    P("分散角度", 0, 180, eShot::AngleJitter),
    P("発射位置のズレX(dot)", -640, 640, eShot::OffsetX),
    P("分身値による発射位置のズレX(dot)", -640, 640, eShot::OffsetXStep),
    P("発射位置のズレY(dot)", -640, 640, eShot::OffsetY),
    P("分身値による発射位置のズレY(dot)", -640, 640, eShot::OffsetYStep),
    P("勢力", 0, 7, eShot::Side),
    P("移動タイプ固有1", 0, kIntMax, eShot::AimParam1),
    P("移動タイプ固有2", 0, kIntMax, eShot::AimParam2),
    P("移動タイプ固有3", 0, kIntMax, eShot::AimParam3),
    P("速度", -200, 200, eShot::Speed),
    P("分身値による増加速度", -200, 200, eShot::SpeedStep),
    P("加速度", -200, 200, eShot::Accel),
    P("分身値による増加加速度", -200, 200, eShot::AccelStep),
    P("飛距離(hbl)", 0, 64, eShot::Range),
    P("分身値による増加飛距離", -40, 40, eShot::RangeStep),
    P("存在時間(1/10s)", 1, 999, eShot::Life),
    P("分身値よる増加存在時間", -99, 99, eShot::LifeStep),
    P("消滅値", 1, 9, eShot::Vanish),
    P("威力", -999999, 999999, eShot::Power),
    P("衝撃", -20, 20, eShot::Impact),
};
const PARAMDEF kSword[] = {
    P("勢力", 0, 7, eShot::Side),
    P("Z座標", 0, 7, eShot::ZOrder),
    P("威力", -999999, 999999, eShot::Power),
    P("衝撃", -20, 20, eShot::Impact),
};
const PARAMDEF kSummonBlock[] = {
    P("フォーメーション固有1", 0, kIntMax, eShot::KindParam1),
    P("フォーメーション固有2", 0, kIntMax, eShot::KindParam2),
    P("フォーメーション固有3", 0, kIntMax, eShot::KindParam3),
    P("数", 1, 127, eShot::ShotsPerVolley),
    P("召喚位置のズレX(dot)", -640, 640, eShot::OffsetX),
    P("召喚位置のズレY(dot)", -640, 640, eShot::OffsetY),
};
const PARAMDEF kSummonChara[] = {
    P("存在時間(1/10s)", 1, 9999, eShot::Life),
    P("勢力", 0, 7, eShot::Side),
    P("フォーメーション固有1", 0, kIntMax, eShot::KindParam1),
    P("フォーメーション固有2", 0, kIntMax, eShot::KindParam2),
    P("フォーメーション固有3", 0, kIntMax, eShot::KindParam3),
    P("数", 1, 127, eShot::ShotsPerVolley),
    P("召喚位置のズレX(dot)", -640, 640, eShot::OffsetX),
    P("召喚位置のズレY(dot)", -640, 640, eShot::OffsetY),
};
const PARAMDEF kSummonItem[] = {
    P("存在時間(1/10s)", 1, 9999, eShot::Life),
    P("フォーメーション固有1", 0, kIntMax, eShot::KindParam1),
    P("フォーメーション固有2", 0, kIntMax, eShot::KindParam2),
    P("フォーメーション固有3", 0, kIntMax, eShot::KindParam3),
    P("数", 1, 127, eShot::ShotsPerVolley),
    P("召喚位置のズレX(dot)", -640, 640, eShot::OffsetX),
    P("召喚位置のズレY(dot)", -640, 640, eShot::OffsetY),
};
const PARAMDEF kStageClear[] = {
    P("次のステージの番号", 1, 99, 1),
    P("次のステージの初期位置X(bl)", 0, 999, 6),
    P("次のステージの初期位置Y(bl)", 0, 999, 7),
    P("クリア後のワールドマップの位置X", 0, 999, 3),
    P("クリア後のワールドマップの位置Y", 0, 999, 4),
};
const PARAMDEF kMessage[] = {
    P("メッセージID", 0, 999, 13),
    P("座標X(bl)", 0, 20, 1),
    P("座標Y(bl)", 0, 15, 2),
    P("表示位置のズレX(dot)", -999, 999, 3),
    P("表示位置のズレY(dot)", -999, 999, 4),
};
const PARAMDEF kWarp[] = {
    P("距離(hbl)", 0, 64, eMove::Distance),
    P("分身値による増加距離(hbl)", -40, 40, eMove::DistanceStep),
    P("目標X(bl)", -640, 640, eMove::TargetXBl),
    P("目標Y(bl)", -640, 640, eMove::TargetYBl),
    P("目標Xのズレ(dot)", -640, 640, eMove::TargetXDot),
    P("目標Yのズレ(dot)", -640, 640, eMove::TargetYDot),
};
const PARAMDEF kSetTarget[] = {
    P("対象勢力", 0, 7, 2),
    P("対象キャラID", 0, 99, 10),
    P("キャラ変数と比較する数値", -999999, 999999, 13),
};
const PARAMDEF kStatusOp[] = {
    P("乱数の最小値", -999999, 999999, 8),
    P("乱数の最大値", -999999, 999999, 9),
};
const PARAMDEF kVanish[] = {P("対象勢力", 0, 7, 1)};
const PARAMDEF kChangeGraphic[] = {
    P("グラフィック", 1, 119, 1),
    P("ズレ", -999, 999, 2),
};
const PARAMDEF kEffect[] = {
    P("座標X(bl)", 0, 511, 2),
    P("座標Y(bl)", 0, 511, 3),
    P("表示位置のズレX(dot)", -999, 999, 4),
    P("表示位置のズレY(dot)", -999, 999, 5),
    P("表示倍率(%)", 1, 1000, 6),
};
const PARAMDEF kPicture[] = {
    P("ピクチャーID", 0, 999, 13),
    P("座標X(bl)", 0, 511, 2),
    P("座標Y(bl)", 0, 511, 3),
    P("表示位置のズレX(dot)", -999, 999, 4),
    P("表示位置のズレY(dot)", -999, 999, 5),
    P("表示倍率(%)", 1, 1000, 7),
};
const PARAMDEF kScreenColour[] = {
    P("R", 0, 255, 0),
    P("G", 0, 255, 1),
    P("B", 0, 255, 2),
    P("%", 0, 100, 3),
};
const PARAMDEF kBackground[] = {P("背景番号", 1, 8, 0)};

struct KINDROW {
    const PARAMDEF* defs = nullptr;
    int count = 0;
};

template <std::size_t N>
constexpr KINDROW Row(const PARAMDEF (&defs)[N]) {
    return {defs, static_cast<int>(N)};
}

// Indexed by the character set's kind; kinds not listed have nothing to arrange.
struct KINDTABLE {
    KINDROW rows[kCmdTypeCount];
    constexpr KINDTABLE() : rows{} {
        rows[2] = Row(kLineMove);
        rows[5] = Row(kLineMove);
        rows[6] = Row(kHomingMove);
        rows[11] = Row(kShot);
        rows[12] = Row(kSword);
        rows[13] = Row(kSummonBlock);
        rows[14] = Row(kSummonChara);
        rows[15] = Row(kSummonItem);
        rows[17] = Row(kStageClear);
        rows[19] = Row(kMessage);
        rows[20] = Row(kWarp);
        rows[21] = Row(kSetTarget);
        rows[22] = Row(kStatusOp);
        rows[24] = Row(kVanish);
        rows[26] = Row(kChangeGraphic);
        rows[29] = Row(kEffect);
        rows[32] = Row(kPicture);
        rows[33] = Row(kScreenColour);
        rows[34] = Row(kBackground);
    }
};
constexpr KINDTABLE kKinds;

constexpr int kArrangeKind = 38;
constexpr int kChangeGraphicKind = 26;
constexpr int kDedicatedPicture = 4; // graphic source "専用bmp"

// The first parameter index of the formation-specific run of a kind, -1 when it has none.
int FormationRunStart(int kind) {
    switch (kind) {
    case 11: case 14: return 2;
    case 13: return 0;
    case 15: return 1;
    default: return -1;
    }
}
constexpr int kMoveTypeRunStart = 15; // of the shot

const PARAMDEF* FindDef(const cFlowCmd& cmd, int i) {
    const int kind = CmdParamKind(cmd);
    if (kind < 0 || i < 0 || i >= kKinds.rows[kind].count) return nullptr;
    return &kKinds.rows[kind].defs[i];
}

i32 ParamAsInt(u32 v) { return static_cast<i32>(v); }

// Index into a variable vector, or false when it is outside [first, size).
bool Operand(std::span<const i32> vars, i32 index, i32 first, i64& out) {
    if (index < first || static_cast<std::size_t>(index) >= vars.size()) return false;
    out = vars[static_cast<std::size_t>(index)];
    return true;
}

} // namespace

const CMDSUBPARAM kFormationParams[kFormationCount * 3] = {
    {labels::kShotKindParams[0][0], 0, 40}, {"", 0, 0}, {"", 0, 0},
    {labels::kShotKindParams[1][0], 0, 40}, {"", 0, 0}, {"", 0, 0},
    {labels::kShotKindParams[2][0], 0, 180}, {"", 0, 0}, {"", 0, 0},
    {labels::kShotKindParams[3][0], 0, 40}, {labels::kShotKindParams[3][1], 1, 50},
    {labels::kShotKindParams[3][2], 0, 40},
    {"", 0, 0}, {"", 0, 0}, {"", 0, 0},
    {labels::kShotKindParams[5][0], 0, 40}, {"", 0, 0}, {"", 0, 0},
};

const CMDSUBPARAM kShotMoveTypeParams[kShotMoveTypeCount * 3] = {
    {"", 0, 0}, {"", 0, 0}, {"", 0, 0},
    {labels::kAimModeParams[1][0], 0, 40}, {"", 0, 0}, {"", 0, 0},
    {labels::kAimModeParams[2][0], 0, 40}, {labels::kAimModeParams[2][1], 0, 7}, {"", 0, 0},
    {labels::kAimModeParams[3][0], 0, 40}, {"", 0, 0}, {"", 0, 0},
    {labels::kAimModeParams[4][0], 0, 40}, {labels::kAimModeParams[4][1], 0, 999}, {"", 0, 0},
    {labels::kAimModeParams[5][0], 0, 40}, {labels::kAimModeParams[5][1], 0, 999},
    {labels::kAimModeParams[5][2], 0, 7},
    {labels::kAimModeParams[6][0], 0, 40}, {labels::kAimModeParams[6][1], 0, 999}, {"", 0, 0},
    {labels::kAimModeParams[7][0], 0, 40}, {labels::kAimModeParams[7][1], 0, 999},
    {labels::kAimModeParams[7][2], 0, 7},
    {labels::kAimModeParams[8][0], 0, 100}, {labels::kAimModeParams[8][1], 0, 100},
    {labels::kAimModeParams[8][2], 0, 359},
    {labels::kAimModeParams[9][0], 0, 40}, {"", 0, 0}, {"", 0, 0},
};

const std::vector<std::vector<cCmdParam>>& CmdParams() {
    // g_CmdParams: made once from the definitions above, never changed afterwards.
    static const std::vector<std::vector<cCmdParam>> params = [] {
        std::vector<std::vector<cCmdParam>> rows(kCmdTypeCount);
        for (int k = 0; k < kCmdTypeCount; ++k) {
            const KINDROW& row = kKinds.rows[k];
            for (int i = 0; i < row.count; ++i)
                rows[static_cast<std::size_t>(k)].push_back({row.defs[i].name, row.defs[i].min, row.defs[i].max});
        }
        return rows;
    }();
    return params;
}

void InitCmdParams() { CmdParams(); }

int CmdParamKind(const cFlowCmd& cmd) {
    const int kind = static_cast<i8>(cmd.cmdKind);
    if (cmd.cmdSet) return kind >= 2 && kind < kCmdTypeCount2 ? kind + 15 : -1;
    return kind >= 0 && kind < kCmdTypeCount ? kind : -1;
}

bool CmdParamGet(const cFlowCmd& cmd, int i, i32& value) {
    const PARAMDEF* d = FindDef(cmd, i);
    if (!d) return false;
    switch (d->where) {
    case eWhere::Int:
        if (d->index >= cmd.params.Size()) return false;
        value = ParamAsInt(cmd.params[d->index]);
        return true;
    case eWhere::Move:
        if (!cmd.move) return false;
        value = static_cast<i32>(MoveSettings::Get(*cmd.move, static_cast<eMove>(d->index)));
        return true;
    case eWhere::Shot:
        if (!cmd.shot) return false;
        value = static_cast<i32>(ShotSettings::Get(*cmd.shot, static_cast<eShot>(d->index)));
        return true;
    }
    return false;
}

bool CmdParamSet(cFlowCmd& cmd, int i, i32 value) {
    const PARAMDEF* d = FindDef(cmd, i);
    if (!d) return false;
    switch (d->where) {
    case eWhere::Int:
        if (d->index >= cmd.params.Size()) return false;
        cmd.params[d->index] = static_cast<u32>(value);
        return true;
    case eWhere::Move:
        if (!cmd.move) return false;
        MoveSettings::Set(*cmd.move, static_cast<eMove>(d->index), value);
        return true;
    case eWhere::Shot:
        if (!cmd.shot) return false;
        ShotSettings::Set(*cmd.shot, static_cast<eShot>(d->index), value);
        return true;
    }
    return false;
}

CMDOVERRIDE MakeCmdOverride(const cFlowCmd& arrange) {
    CMDOVERRIDE ov;
    for (int i = 0; i < 5 && i < arrange.params.Size(); ++i) ov.v[i] = ParamAsInt(arrange.params[i]);
    return ov;
}

bool ApplyCmdOverride(cFlowCmd& cmd, const CMDOVERRIDE& ov, const CMDVALUESOURCES& src) {
    const int kind = CmdParamKind(cmd);
    if (kind < 0 || ov.v[0] != kind) return false;
    const int index = ov.v[1];
    // The index is checked before any range row is read.
    if (index < 0 || index >= kKinds.rows[kind].count) return false;
    i32 current = 0;
    if (!CmdParamGet(cmd, index, current)) return false;

    i64 o = 0;
    bool ok = false;
    switch (ov.v[3]) {
    case 0: ok = Operand(src.common, ov.v[4], 1, o); break;
    case 1: ok = Operand(src.stage, ov.v[4], 1, o); break;
    case 2: ok = Operand(src.chara, ov.v[4], 0, o); break;
    default: break; // no stored data uses another source
    }
    if (!ok) return false;

    const PARAMDEF& def = kKinds.rows[kind].defs[index];
    i64 lo = def.min, hi = def.max;
    const int formationStart = FormationRunStart(kind);
    if (formationStart >= 0 && index >= formationStart && index < formationStart + 3) {
        const i64 type = ShotSettings::Get(*cmd.shot, eShot::ShotKind);
        if (type < 0 || type >= kFormationCount) return false;
        const CMDSUBPARAM& r = kFormationParams[type * 3 + (index - formationStart)];
        lo = r.min;
        hi = r.max;
    } else if (kind == 11 && index >= kMoveTypeRunStart && index < kMoveTypeRunStart + 3) {
        const i64 type = ShotSettings::Get(*cmd.shot, eShot::AimMode);
        if (type < 0 || type >= kShotMoveTypeCount) return false;
        const CMDSUBPARAM& r = kShotMoveTypeParams[type * 3 + (index - kMoveTypeRunStart)];
        lo = r.min;
        hi = r.max;
    }

    // Operands are 32-bit, so every result below fits in 64 bits before the clamp. A product
    // is taken whole: a 32-bit product with a sign test would let a wrapped product that keeps
    // the operands' sign (65536 x 65537 gives 65536) through as if it were right.
    i64 v = current;
    switch (ov.v[2]) {
    case 0: v = o; break;
    case 1: v += o; break;
    case 2: v -= o; break;
    case 3: v *= o; break;
    case 4: if (o != 0) v /= o; break;
    case 5: if (o != 0) v %= o; break;
    case 6: {
        // Half away from zero.
        v = static_cast<i64>(std::round(static_cast<double>(v * o) * 0.01));
        break;
    }
    default: break;
    }
    if (v > hi) v = hi;
    if (v < lo) v = lo;

    if (kind == kChangeGraphicKind && index == 0 && cmd.params.Size() > 0 &&
        ParamAsInt(cmd.params[0]) == kDedicatedPicture && (src.dedicatedPictures <= 0 || v >= src.dedicatedPictures))
        v = 1;
    return CmdParamSet(cmd, index, static_cast<i32>(v));
}

void ApplyCmdOverrideList(cFlowCmd& cmd, const CmdOverrideList& list, const CMDVALUESOURCES& src) {
    if (CmdParamKind(cmd) == kArrangeKind) return;
    for (const CMDOVERRIDE& ov : list) ApplyCmdOverride(cmd, ov, src);
}

bool IsLoopCmd(const cFlowCmd& cmd) { return cmd.cmdSet ? cmd.cmdKind == 24 : cmd.cmdKind == 39; }

void ReportLoopCut(i64 kept, i64 bound) {
    WriteReport("ループの展開で命令が %lld 個を超えるため、繰り返しを %lld 回に減らしました。", static_cast<long long>(bound),
                static_cast<long long>(kept));
}

int ExpandLoopCmd(cVector<cFlowCmd>& cmds) {
    cCmdList list(std::move(cmds));
    i64 kept = 0;
    const int r = list.ExpandFirstLoop(kept, kMaxExpandedCmds);
    cmds = list.Copies();
    if (kept > 0) ReportLoopCut(kept, kMaxExpandedCmds);
    return r;
}

i64 ExpandLoopCmdsQuiet(cVector<cFlowCmd>& cmds, i64 bound) {
    cCmdList list(std::move(cmds));
    const i64 kept = list.ExpandLoops(bound);
    cmds = list.Copies();
    return kept;
}

void ExpandLoopCmds(cVector<cFlowCmd>& cmds, i64 bound) {
    if (const i64 kept = ExpandLoopCmdsQuiet(cmds, bound)) ReportLoopCut(kept, bound);
}
