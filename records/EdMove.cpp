#include "records/EdMove.h"

#include "records/RecordPool.h"

void cEdMove::RegisterFields(u32 version) {
    ResetFieldLists();
    AddFieldU8(&byMode1);
    AddFieldU8(&byOpt2);
    AddFieldU16(&wAngle);
    AddFieldU16(&wAngleInc);
    if (version >= 158) AddFieldU8(&bySwitch5);
    AddFieldU8(&bySwitch6);
    AddFieldU8(&bySwitch7);
    AddFieldU16(&wTargetXBl);
    AddFieldU16(&wTargetYBl);
    AddFieldU16(&wTargetXDot);
    AddFieldU16(&wTargetYDot);
    AddFieldU8(&byOpt12);
    AddFieldU8(&bySwitch13);
    AddFieldU8(&byHoldX);
    AddFieldU8(&byHoldY);
    AddFieldU8(&bySwitch16);
    AddFieldU8(&byOpt17);
    AddFieldU8(&byTurnWithChara);
    AddFieldU8(&byOpt19);
    if (version >= 162) AddFieldU8(&byOpt20);
    AddFieldU8(&byOpt21);
    AddFieldU16(&wSpeed);
    AddFieldU16(&wSpeedInc);
    AddFieldU16(&wValue24);
    AddFieldU16(&wValue25);
    if (version >= 159) AddFieldU8(&byDistUnit);
    AddFieldU16(&wHoming);
    AddFieldU16(&wHomingInc);
    AddFieldU8(&bySecondSpeed);
    AddFieldU16(&wSecondSpeed);
    AddField8(&dValue31);
    if (version >= 162) AddFieldU8(&byPlayAnime);
    if (version >= 767) AddFieldU8(&cTargetSlot);
}

void cEdMove::SetDefaults() {
    bySwitch5 = 1;
    bySwitch6 = 1;
    bySwitch7 = 1;
    bySwitch13 = 1;
    bySwitch16 = 1;
    byTurnWithChara = 1;
    wSpeed = 10;
    dValue31 = 1.0;
}

void cEdMove::Load(cRecordReader& r) {
    // The body at the versions since its last field (767), as a stage holds it by the thousand.
    if (r.Version() < 767 ||
        !ReadPlainBody<&cEdMove::byMode1, &cEdMove::byOpt2, &cEdMove::wAngle, &cEdMove::wAngleInc,
                       &cEdMove::bySwitch5, &cEdMove::bySwitch6, &cEdMove::bySwitch7, &cEdMove::wTargetXBl,
                       &cEdMove::wTargetYBl, &cEdMove::wTargetXDot, &cEdMove::wTargetYDot, &cEdMove::byOpt12,
                       &cEdMove::bySwitch13, &cEdMove::byHoldX, &cEdMove::byHoldY, &cEdMove::bySwitch16,
                       &cEdMove::byOpt17, &cEdMove::byTurnWithChara, &cEdMove::byOpt19, &cEdMove::byOpt20,
                       &cEdMove::byOpt21, &cEdMove::wSpeed, &cEdMove::wSpeedInc, &cEdMove::wValue24,
                       &cEdMove::wValue25, &cEdMove::byDistUnit, &cEdMove::wHoming, &cEdMove::wHomingInc,
                       &cEdMove::bySecondSpeed, &cEdMove::wSecondSpeed, &cEdMove::dValue31, &cEdMove::byPlayAnime,
                       &cEdMove::cTargetSlot>(r, *this))
        cRecord::Load(r);
    const u32 v = r.Version();
    if (r.Failed() || v >= kProgVer) return;
    // Switches that did not exist yet behaved as off in those files.
    if (v < 158) bySwitch5 = 0;
    if (v < 159) byDistUnit = 0;
    if (v < 162) {
        byOpt20 = 0;
        byPlayAnime = 0;
    }
}

// A new record's members are all zero, as a cleared one's: its defaults complete it.
void NewEdMove(cRecordBox<cEdMove>& p) { p.emplace().SetDefaults(); }

void NewEdMove(std::shared_ptr<cEdMove>& p) { p = MakePooledShared<cEdMove>(BlankRecord<cEdMove>()); }
