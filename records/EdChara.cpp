#include "records/EdChara.h"

#include <array>
#include <cstring>
#include <utility>

#include "records/PaletteSource.h"
#include "records/RecordVector.h"
#include "records/Stage.h"

namespace {

#define CF(member, from, group) TOBRELK_FIELD(EDCHARA_DATA, member, from, group)
constexpr std::array<FIELDDEF, 53> kCharaFields = {{
    CF(byPaletteKind, 0, kNoGroup), CF(wPaletteIndex, 0, kNoGroup),
    CF(byGroup4a, 0, 4),            CF(byGroup4b, 0, 4),
    CF(byGroup5, 0, 5),             CF(byGroup6, 0, 6),
    CF(sOffsetX, 0, 7),             CF(sOffsetStepX, 0, 7),
    CF(sOffsetY, 0, 8),             CF(sOffsetStepY, 0, 8),
    CF(bFlipOffsetX, 0, 7),         CF(bFlipOffsetY, 0, 8),
    CF(wPicture, 0, 9),             CF(byPictureKind, 0, 9),
    CF(wGroup9, 0, 9),              CF(wAnimeSet, 0, 10),
    CF(byGroup11, 0, 11),           CF(byGroup12, 0, 12),
    CF(wCharaEffectA, 0, 13),       CF(byGroup13a, 196, 13),
    CF(byGroup13b, 0, 13),          CF(wDeathEffect, 0, 14),
    CF(byGroup14, 196, 14),         CF(byGroup15, 0, 15),
    CF(wGroup15, 0, 15),            CF(byOperation, 0, 1),
    CF(byGroup1, 0, 1),             CF(byGroup2, 0, 2),
    CF(byGroup3, 0, 3),             CF(byFlyMode, 0, 17),
    CF(byGroup16, 0, 16),           CF(byGroup18a, 0, 18),
    CF(byGroup18b, 285, 18),        CF(byGroup19, 0, 19),
    CF(byGroup20, 0, 20),           CF(byGroup21, 210, 21),
    CF(byGroup22a, 0, 22),          CF(byGroup22b, 0, 22),
    CF(dwMaxHP, 0, 23),             CF(dwMaxSP, 0, 24),
    CF(wGroup31, 0, 31),            CF(byHitArea, 201, 25),
    CF(dwGroup26, 0, 26),           CF(byImpact, 0, 27),
    CF(wEffect, 0, 28),             CF(dwGroup29, 168, 29),
    CF(byGroup30, 0, 30),           CF(dwScore, 0, 34),
    CF(byGroup35, 0, 35),           CF(byGroup33, 0, 33),
    CF(wGroup33, 0, 33),            CF(byGroup32a, 0, 32),
    CF(byGroup32b, 0, 32),
}};
#undef CF

EDCHARA_DATA* Data(cEdChara* c) { return static_cast<EDCHARA_DATA*>(c); }
const EDCHARA_DATA* Data(const cEdChara* c) { return static_cast<const EDCHARA_DATA*>(c); }

// An older file lacks a group: its flag goes in at pos with 1 (take it from the palette, as the
// record did before the group existed), the later flags move up and the last one drops off.
// A group added before pos: the row keeps its length, the last entry drops out.
void InsertInheritFlag(cInlineBytes<40>& flags, std::size_t pos) {
    flags.resize(cEdChara::kGroups, 0);
    u8* row = flags.data();
    std::memmove(row + pos + 1, row + pos, cEdChara::kGroups - pos - 1);
    row[pos] = 1;
}

const cVector<cEdChara>* CharaPalette(int kind) {
    if (kind == 1) return GetCommonPaletteView().pChara;
    if (kind == 2) return &PaletteStage().vCharaPalette;
    return nullptr;
}

u32 PaletteSize(int kind) {
    const cVector<cEdChara>* pal = CharaPalette(kind);
    return pal ? static_cast<u32>(pal->size()) : 0;
}

bool IsEmptyFlow(const cFlow& f) {
    return f.subKind == 0 && f.idLetter == 0 && f.trigger == 0 && f.conds.empty() &&
           f.keyConds.empty() && f.cmds.empty();
}

} // namespace

cEdChara::cEdChara() : vInherit(kGroups, 0) {}

void cEdChara::Reset() {
    *Data(this) = EDCHARA_DATA{};
    nHoldItem = 0;
    vInherit.assign(kGroups, 0);
    strName.clear();
    // A reset record is the empty entry: nothing of what it held may survive in its lists.
    vCond.clear();
    vFlow.clear();
}

// As a flow asks for its commands (see ~cFlow): the flows of a character going away with its
// stage are asked for all at once.
cEdChara::~cEdChara() {
    const char* const begin = reinterpret_cast<const char*>(vFlow.data());
    const char* const end = reinterpret_cast<const char*>(vFlow.data() + vFlow.size());
    for (const char* p = begin; p < end; p += 64) __builtin_prefetch(p, 1);
}

void cEdChara::RegisterFields(u32 version) { RegisterTable(Data(this), kCharaFields, version, &strName); }

void cEdChara::Load(cRecordReader& r) {
    const u32 version = r.Version();
    if (!LoadFixedTable<kCharaFields>(r, Data(this), &strName)) return;
    u32 n = 0;
    if (!r.ReadBytes(&sPosX, 2) || !r.ReadBytes(&sPosY, 2) || !r.ReadU32(nHoldItem)) return;
    if (!r.ReadCount(n, 1)) return;
    vInherit.resize(n, 0);
    if (n && !r.ReadBytes(vInherit.data(), n)) return;
    if ((!ReadEmptyList(r, vCond) && !ReadCondList(vCond, r)) || !ReadFlowList(vFlow, r)) return;

    if (!KeepsEditorOnlyFlows(CurrentCmdLimits())) FixFlows(vFlow);

    if (version < 824) {
        if (version < 168) {
            dwGroup29 = 0;
            InsertInheritFlag(vInherit, 27);
        }
        if (version < 196) {
            byGroup13a = 0;
            byGroup14 = 0;
        }
        if (version < 201) {
            byHitArea = 0;
            InsertInheritFlag(vInherit, 24);
        }
        if (version < 206 && byHitArea >= 2) ++byHitArea;
        if (version < 210) {
            byGroup21 = 0;
            InsertInheritFlag(vInherit, 21);
        }
        if (version < 219 && byPictureKind == 3) {
            ++wPicture;
            if (wPicture > 119) wPicture = 119;
        }
        if (version < 285) byGroup18b = 1;
    }
    // Each command checked itself as it was read; flows taken from a palette entry were not.
    const bool ownFlows = (byPaletteKind != 1 && byPaletteKind != 2) || wPaletteIndex == 0 ||
                          vInherit.size() <= kFlowGroup || vInherit[kFlowGroup] == 0;
    ApplyPaletteInherit();
    Validate(ownFlows);
}

void cEdChara::Save(cRecordWriter& w) {
    Validate();
    SaveTable(w, Data(this), kCharaFields, &strName);
    w.WriteBytes(&sPosX, 2);
    w.WriteBytes(&sPosY, 2);
    w.WriteU32(nHoldItem);
    w.WriteU32(static_cast<u32>(vInherit.size()));
    w.WriteBytes(vInherit.data(), vInherit.size());
    WriteRecordVector(w, vCond);
    WriteFlowList(vFlow, w);
}

void cEdChara::CopyGroup(int k, const cEdChara& src) {
    if (&src == this) return;
    switch (k) {
    case 0:
        strName = src.strName;
        break;
    case 4:
        vCond = src.vCond;
        break;
    case static_cast<int>(kFlowGroup):
        if (src.vFlow.empty()) {
            // The palette entry has no flows: the record gets one new flow, as a new flow list
            // in the editor starts with one.
            vFlow.assign(1, cFlow());
            vFlow[0].keyGap = 3;
        } else {
            vFlow = src.vFlow;
        }
        return;
    default:
        break;
    }
    CopyTableGroup(Data(this), Data(&src), kCharaFields, static_cast<u8>(k));
}

void cEdChara::ApplyPaletteInherit() {
    if (wPaletteIndex == 0 || byPaletteKind == 0) return;
    // Other kinds name no palette: the record would inherit from itself, which changes nothing.
    const cVector<cEdChara>* pal = CharaPalette(byPaletteKind);
    if (byPaletteKind != 1 && byPaletteKind != 2) return;
    const u32 index = static_cast<u16>(wPaletteIndex);
    if (!pal || index >= pal->size()) {
        byPaletteKind = 0;
        return;
    }
    // The entry may sit in the same palette as this record; the palette is not resized here, so
    // the reference stays valid, and a record never copies onto itself.
    const cEdChara& entry = (*pal)[index];
    const std::size_t n = std::min<std::size_t>(vInherit.size(), kGroups);
    for (std::size_t k = 0; k < n; ++k)
        if (vInherit[static_cast<long long>(k)]) CopyGroup(static_cast<int>(k), entry);
}

void cEdChara::Validate(bool cmdsChecked) {
    if ((byPaletteKind == 1 || byPaletteKind == 2) &&
        static_cast<u16>(wPaletteIndex) >= PaletteSize(byPaletteKind)) {
        byPaletteKind = 0;
        wPaletteIndex = 0;
    }
    const CMDLIMITS& lim = CurrentCmdLimits();
    // Indexes are compared as unsigned: a negative one would pass a signed upper-bound test
    // and end the program later, when the engine uses it.
    if (byPictureKind == 4 && PastLimit(static_cast<u16>(wPicture), lim.nCharaBmp)) wPicture = 1;
    if (byGroup20 < 1) byGroup20 = 1;
    if (PastLimit(static_cast<u16>(wAnimeSet), lim.nAnimeSet)) wAnimeSet = 0;
    if (PastLimit(wCharaEffectA, lim.nCharaEffect)) wCharaEffectA = 0;
    if (PastLimit(wDeathEffect, lim.nCharaEffect)) wDeathEffect = 0;
    if (PastLimit(wEffect, lim.nEffect)) wEffect = 0;
    if (byOperation == 0) {
        byGroup19 = 0;
        byGroup6 = 0;
    }
    // Kept flows move down in one pass: erasing the empty ones one at a time moves every later
    // flow each time, and a file of many empty flows would keep the loader busy for minutes.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < vFlow.size(); ++i) {
        cFlow& f = vFlow[static_cast<long long>(i)];
        if (!cmdsChecked) FixCmdList(f.cmds);
        if (IsEmptyFlow(f)) continue;
        if (kept != i) vFlow[static_cast<long long>(kept)] = std::move(f);
        ++kept;
    }
    vFlow.erase(vFlow.begin() + static_cast<std::ptrdiff_t>(kept), vFlow.end());
}

void cEdChara::FixFlowRefs() { FixFlowRefs(CurrentCmdLimits()); }

void cEdChara::FixFlowRefs(const CMDLIMITS& lim) {
    for (cFlow& f : vFlow) FixCmdRefList(f.cmds, lim);
}

double cEdChara::GetOffsetX(i32 i, i32 dir) const {
    // 32-bit signed arithmetic as stored values expect; wrapping rather than overflowing.
    const i32 v = static_cast<i32>(static_cast<u32>(sOffsetX) + static_cast<u32>(sOffsetStepX) * static_cast<u32>(i));
    return (dir == 1 && bFlipOffsetX) ? -static_cast<double>(v) : static_cast<double>(v);
}

double cEdChara::GetOffsetY(i32 i, i32 dir) const {
    const i32 v = static_cast<i32>(static_cast<u32>(sOffsetY) + static_cast<u32>(sOffsetStepY) * static_cast<u32>(i));
    return (dir == 1 && bFlipOffsetY) ? -static_cast<double>(v) : static_cast<double>(v);
}

const char* const g_CharaOperationLabels[3] = {"プレイヤー", "コンピューター", ""};
const char* const g_CharaLabels2[2] = {"1", ""};
const char* const g_CharaBlockContactLabels[5] = {"OFF", "ON (ブロックをすり抜ける)", "ON (ブロックに当たる)",
                                                 "ON (ブロックに当たると即死)", ""};
const char* const g_CharaShotContactLabels[4] = {"OFF", "ON (ショットが当たる)", "ON (ショットがすり抜ける)", ""};
const char* const g_CharaOnOffLabels[3] = {"OFF", "ON", ""};
const char* const g_CharaMultiplierOffLabels[11] = {"しない", "×4", "×9", "×16", "×25", "×36",
                                                   "×49", "×64", "×81", "×100", ""};
const char* const g_CharaMultiplierLabels[10] = {"×4", "×9", "×16", "×25", "×36", "×49", "×64", "×81", "×100", ""};
const char* const g_CharaAreaShapeLabels[6] = {"画面内全て", "キャラを中心とした円形", "キャラの前方に円形",
                                              "キャラを中心とした正方形", "キャラの前方に正方形", ""};
const char* const g_CharaHitAreaLabels[5] = {"キャラ対キャラの当たり判定範囲（推奨）", "キャラ対ショットの当たり判定範囲",
                                            "ショット対キャラの当たり判定範囲", "32×32", ""};
const char* const g_CharaScreenRangeLabels[5] = {"画面内", "X座標のみ画面内", "Y座標のみ画面内", "全範囲", ""};
const char* const g_CharaRangeCondLabels[4] = {"範囲かグループが真なら成立",
                                              "一度範囲かグループが真になると、以後無条件で成立",
                                              "範囲とグループが偽なら成立", ""};
