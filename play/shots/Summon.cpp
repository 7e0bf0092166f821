// Summons: characters, items and blocks placed where the shot kinds' patterns would start their
// shots, each made by the play scene's spawner.
#include <algorithm>

#include "database/CommonPalette.h"
#include "platform/system/Containers.h"
#include "play/shots/ShotCommands.h"
#include "play/shots/ShotFire.h"
#include "records/CharaSettings.h"
#include "records/Stage.h"

namespace {

// The palette entry a summon names (the stage's or the common palette), or null when the index
// lies outside the palette: such a summon places nothing.
template <class T>
const T* PaletteEntry(const cEdShot& def, const cVector<T>& common, const cVector<T>& stage) {
    const cVector<T>& palette = Sv(def, eShot::Palette) ? stage : common;
    const i64 index = Sv(def, eShot::PaletteIndex);
    if (index < 0 || index >= palette.Size()) return nullptr;
    return &palette[index];
}

// The entry at a placement (the summon checked the index before its first placement; the checked
// read reports and takes entry 0 should it be out of range after all).
template <class T>
const T* PlacedEntry(const cEdShot& def, const cVector<T>& common, const cVector<T>& stage, std::size_t elementSize) {
    const cVector<T>& palette = Sv(def, eShot::Palette) ? stage : common;
    if (palette.empty()) return nullptr;
    i64 index = Sv(def, eShot::PaletteIndex);
    if (index < 0 || index >= palette.Size()) {
        ReportBadIndex('V', index, static_cast<std::size_t>(palette.Size()), elementSize);
        index = 0;
    }
    return &palette[index];
}

// The placements of one summon: the definition's shot kind with a placement of w x h, speed 1
// and no velocity, from the summoner's screen position.
void Summon(cChara& summoner, cCmdRun& run, const cEdShot& def, u8 cmdKind, i32 w, i32 h) {
    if (!summoner.m_pScene) return;
    cGameScene& scene = *summoner.m_pScene;
    const SHOTCALL c{scene, summoner, &run, def, cmdKind};
    SHOTSPEC spec;
    spec.nWidth = w;
    spec.nHeight = h;
    spec.nDir = ResolveShotDirection(scene, summoner, static_cast<i32>(Sv(def, eShot::DirectionCode)));
    spec.dSpeed = 1.0;
    const i32 facing = summoner.m_nDir > 0 ? 1 : 0;
    spec.nOffsetX = Trunc32(def.GetOffsetX(0, facing));
    spec.nOffsetY = Trunc32(def.GetOffsetY(0, facing));
    summoner.ScreenPos();
    RunShotKind(c, spec);
}

} // namespace

void SummonChara(cChara& summoner, cCmdRun& run, const cEdShot& def) {
    const cEdChara* row = PaletteEntry(def, g_CommonPalette.m_vEdChara, g_Stage.vCharaPalette);
    // Only a character placed for play (a computer-operated one) is summoned.
    if (!row || CharaSettings::Get(*row, eChara::Kind) != 1) return;
    const i32 size = static_cast<i32>(std::max<i64>(1, CharaSettings::Get(*row, eChara::Scale))) * 32;
    Summon(summoner, run, def, 14, size, size);
}

void SummonItem(cChara& summoner, cCmdRun& run, const cEdShot& def) {
    const cEdItem* row = PaletteEntry(def, g_CommonPalette.m_vEdItem, g_Stage.vItemPalette);
    if (!row) return;
    const i32 size = std::max<i32>(1, row->bySize) * 32;
    Summon(summoner, run, def, 15, size, size);
}

void SummonBlock(cChara& summoner, cCmdRun& run, const cEdShot& def) {
    if (!PaletteEntry(def, g_CommonPalette.m_vEdBlock, g_Stage.vBlockPalette)) return;
    Summon(summoner, run, def, 13, 32, 32);
}

void SpawnSummon(const SHOTCALL& c, const SHOTSPEC& spec) {
    const cEdShot& def = c.def;
    switch (c.cmdKind) {
    case 13:
        if (const cEdBlock* block = PlacedEntry(def, g_CommonPalette.m_vEdBlock, g_Stage.vBlockPalette, 124))
            c.scene.SpawnSummonBlock(spec.nX, spec.nY, *block, def);
        break;
    case 14: {
        const cEdChara* row = PlacedEntry(def, g_CommonPalette.m_vEdChara, g_Stage.vCharaPalette, 200);
        if (!row) break;
        cEdChara placed = *row;
        i32 facing = c.shooter.m_nDir > 0 ? 1 : 0;
        if (Sv(def, eShot::ReverseFacing)) facing = 1 - facing;
        CharaSettings::Set(placed, eChara::Facing, facing);
        switch (Sv(def, eShot::SideSource)) {
        case 1: CharaSettings::Set(placed, eChara::Side, c.shooter.m_nSide); break;
        case 2: {
            const i64 side = Sv(def, eShot::Side);
            CharaSettings::Set(placed, eChara::Side, side >= 0 && side < kSideCount ? side : 0);
            break;
        }
        default: break;
        }
        const u8 behaviour[2] = {static_cast<u8>(Sv(def, eShot::OwnerReport)), static_cast<u8>(Sv(def, eShot::ReportSubKind))};
        const i32 before = c.scene.m_lstChara.Size();
        c.scene.SpawnSummonChara(spec.nX, spec.nY, placed, def, &c.shooter, behaviour);
        // The summoner's children, the latest summoned first (entries of children gone are dropped).
        cVector<cObjHandle>& children = c.shooter.m_vChild;
        std::erase_if(children, [](const cObjHandle& h) { return !h; });
        for (i32 i = before; i < c.scene.m_lstChara.Size(); ++i)
            if (cStageChara* made = c.scene.m_lstChara.Live(i)) children.insert(children.begin(), cObjHandle(made));
        break;
    }
    case 15:
        if (const cEdItem* row = PlacedEntry(def, g_CommonPalette.m_vEdItem, g_Stage.vItemPalette, 0))
            c.scene.SpawnSummonItem(spec.nX, spec.nY, *row, def);
        break;
    default: break;
    }
}
