#include "records/EdShot.h"

#include "records/FlowCmd.h"
#include "records/RecordPool.h"

void cEdShot::RegisterFields(u32 version) {
    ResetFieldLists();
    AddFieldU8(&cShotNum);
    AddFieldU8(&byFormation);
    AddFieldU16(wFormation, 3);
    if (version >= 671) AddFieldU8(&byOpt4);
    AddFieldU8(&cDirection);
    AddFieldU8(&byOpt6);
    if (version >= 767) AddFieldU8(&cTargetSlotA);
    AddFieldU16(&wAngle);
    AddFieldU16(&wAngleInc);
    if (version >= 158) AddFieldU8(&byAngleMirror);
    AddFieldU16(&wSpread);
    AddFieldU8(&byOpt12);
    AddFieldU8(&cClones);
    AddFieldU16(&wOfsX);
    AddFieldU16(&wOfsXInc);
    AddFieldU16(&wOfsY);
    AddFieldU16(&wOfsYInc);
    AddFieldU8(&byMirrorX);
    AddFieldU8(&byMirrorY);
    AddFieldU16(&wGraphic);
    AddFieldU8(&cZ);
    AddFieldU8(&byOpt22);
    AddFieldU8(&byOpt23);
    AddFieldU8(&cFaction);
    AddFieldU8(&byOpt25);
    AddFieldU8(&bySize);
    AddFieldU8(&byOpt27);
    AddFieldU8(&byMoveType);
    AddFieldU16(wMoveType, 3);
    if (version >= 767) AddFieldU8(&cTargetSlotB);
    if (version >= 211) AddFieldU8(&byHoming);
    AddFieldU16(&wSpeed);
    AddFieldU16(&wSpeedInc);
    if (version >= 213) {
        AddFieldU8(&byOpt34);
        AddFieldU16(&wAccel);
        AddFieldU16(&wAccelInc);
    }
    AddFieldU16(&wDistance);
    AddFieldU8(&byOpt38);
    AddFieldU16(&wDistanceInc);
    AddFieldU8(&byOpt40);
    AddFieldU8(&byOpt41);
    AddFieldU16(&wLife);
    AddFieldU16(&wLifeInc);
    AddFieldU8(&byOpt44);
    AddFieldU8(&byOpt45);
    if (version >= 636) AddFieldU8(&byOpt46);
    AddFieldU8(&byOpt47);
    AddFieldU8(&cVanish);
    AddFieldU32(&dwPower);
    AddFieldU16(&wValue50);
    AddFieldU8(&cImpact);
    AddFieldU16(&wEffect);
    AddFieldU8(&byOpt53);
    AddFieldU16(&wValue54);
    AddFieldU8(&byBlockMode);
    AddFieldU8(&byOpt56);
    if (version >= 197) AddFieldU8(&byOpt57);
    AddFieldU8(&bySummonPalette);
    AddFieldU16(&wSummonIndex);
    AddFieldU8(&byOpt60);
    AddFieldU8(&byOpt61);
    AddFieldU8(&byOpt62);
    if (version >= 762) {
        AddFieldU8(&byOpt63);
        AddFieldU8(&byOpt64);
    }
}

void cEdShot::SetDefaults() {
    byAngleMirror = 1;
    byMirrorX = 1;
    byOpt23 = 1;
    bySize = 1;
}

void cEdShot::Load(cRecordReader& r) {
    // The body at the versions since its last field (767), as a stage holds it by the thousand.
    if (r.Version() < 767 ||
        !ReadPlainBody<&cEdShot::cShotNum, &cEdShot::byFormation, &cEdShot::wFormation, &cEdShot::byOpt4,
                       &cEdShot::cDirection, &cEdShot::byOpt6, &cEdShot::cTargetSlotA, &cEdShot::wAngle,
                       &cEdShot::wAngleInc, &cEdShot::byAngleMirror, &cEdShot::wSpread, &cEdShot::byOpt12,
                       &cEdShot::cClones, &cEdShot::wOfsX, &cEdShot::wOfsXInc, &cEdShot::wOfsY, &cEdShot::wOfsYInc,
                       &cEdShot::byMirrorX, &cEdShot::byMirrorY, &cEdShot::wGraphic, &cEdShot::cZ, &cEdShot::byOpt22,
                       &cEdShot::byOpt23, &cEdShot::cFaction, &cEdShot::byOpt25, &cEdShot::bySize, &cEdShot::byOpt27,
                       &cEdShot::byMoveType, &cEdShot::wMoveType, &cEdShot::cTargetSlotB, &cEdShot::byHoming,
                       &cEdShot::wSpeed, &cEdShot::wSpeedInc, &cEdShot::byOpt34, &cEdShot::wAccel, &cEdShot::wAccelInc,
                       &cEdShot::wDistance, &cEdShot::byOpt38, &cEdShot::wDistanceInc, &cEdShot::byOpt40,
                       &cEdShot::byOpt41, &cEdShot::wLife, &cEdShot::wLifeInc, &cEdShot::byOpt44, &cEdShot::byOpt45,
                       &cEdShot::byOpt46, &cEdShot::byOpt47, &cEdShot::cVanish, &cEdShot::dwPower, &cEdShot::wValue50,
                       &cEdShot::cImpact, &cEdShot::wEffect, &cEdShot::byOpt53, &cEdShot::wValue54,
                       &cEdShot::byBlockMode, &cEdShot::byOpt56, &cEdShot::byOpt57, &cEdShot::bySummonPalette,
                       &cEdShot::wSummonIndex, &cEdShot::byOpt60, &cEdShot::byOpt61, &cEdShot::byOpt62,
                       &cEdShot::byOpt63, &cEdShot::byOpt64>(r, *this))
        cRecord::Load(r);
    const u32 v = r.Version();
    if (r.Failed()) return;
    if (v < kProgVer) {
        if (v < 158) byAngleMirror = 0;
        if (v < 197) byOpt57 = byOpt56;
        // Registered from 211, but a 211 file's value is replaced too: homing was implied by
        // the movement type until 212.
        if (v < 212) byHoming = (byMoveType >= 4 && byMoveType <= 7) ? 1 : 0;
        if (v < 213) {
            byOpt34 = 0;
            wAccel = 0;
            wAccelInc = 0;
        }
        if (v < 636) byOpt46 = byOpt45;
        if (v < 671) byOpt4 = 0;
    }
    FixShot();
}

void cEdShot::Save(cRecordWriter& w) {
    FixShot();
    cRecord::Save(w);
}

void cEdShot::FixShot() {
    if (bySize < 1) bySize = 1;
    // A negative number is as far outside the effect table as a too large one; both would
    // close the program when the shot hits.
    const u32 nEffect = CurrentCmdLimits().nEffect;
    if (wEffect < 0 || (nEffect != kSizeUnknown && static_cast<u32>(wEffect) >= nEffect)) wEffect = 0;
}

double cEdShot::GetOffsetX(int n, int dir) const {
    const int v = wOfsXInc * n + wOfsX;
    return (dir == 1 && byMirrorX) ? -static_cast<double>(v) : static_cast<double>(v);
}

double cEdShot::GetOffsetY(int n, int dir) const {
    const int v = wOfsYInc * n + wOfsY;
    return (dir == 1 && byMirrorY) ? -static_cast<double>(v) : static_cast<double>(v);
}

// A new record's members are all zero, as a cleared one's: its defaults complete it.
void NewEdShot(cRecordBox<cEdShot>& p) { p.emplace().SetDefaults(); }

void NewEdShot(std::shared_ptr<cEdShot>& p) { p = MakePooledShared<cEdShot>(BlankRecord<cEdShot>()); }

const char* const g_ShotMoveTypeLabels[11] = {
    "直進",
    "主人公を狙う",
    "近いキャラを狙う",
    "ターゲットを狙う",
    "主人公へ誘導",
    "近いキャラへ誘導（対象死亡時、誘導を無効化）",
    "ターゲットへ誘導",
    "近いキャラへ誘導（対象死亡時、対象を変更）",
    "ウェーブ",
    "落下",
    "",
};
