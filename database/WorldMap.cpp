#include "database/WorldMap.h"

#include "database/Database.h"
#include "database/Labels.h"
#include "database/Text.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"
#include "records/DataFile.h"

cWorldMapData g_WorldMap;

void cWorldMapChip::RegisterFields(u32) {
    ResetFieldLists();
    AddFieldU32(&nData);
    AddFieldU32(&bImpassable);
    AddFieldU32(&nPicture);
    AddString(&strName);
    AddString(&strNote);
}

void cWorldMapEntryItem::RegisterFields(u32 version) {
    ResetFieldLists();
    AddFieldU32(&nKind);
    AddFieldU32(&nPicture);
    AddFieldU32(&nDoneSwitch);
    AddFieldU32(&bManualEnter);
    AddFieldU32(&bReenter);
    AddFieldU32(&nData);
    AddFieldU32(&nShowSwitch);
    AddFieldU32(&nCondVar);
    AddFieldU32(&nCondValue);
    AddFieldU32(&nCondOp);
    if (version >= 209) AddFieldU32(&nNeedTotal);
    if (version >= 758) {
        AddFieldU32(&nStageArg0);
        AddFieldU32(&nStageArg1);
        AddFieldU32(&nStageArg2);
    }
    AddString(&strCaption);
    AddString(&strStageFile);
}

void cWorldMapEntryItem::SetDefault() {
    Clear();
    nStageArg1 = 1;
}

void cWorldMapEntryItem::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (!r.Failed() && r.Version() < 209) nNeedTotal = 0;
}

void cWorldMapEntry::RegisterFields(u32) {
    ResetFieldLists();
    AddFieldU32(&nX);
    AddFieldU32(&nY);
    AddString(&strName);
}

void cWorldMapEntry::SetDefault() {
    Clear();
    m_vItem.assign(1, cWorldMapEntryItem());
}

void cWorldMapEntry::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (!r.Failed()) ReadFreshVector(r, m_vItem);
}

void cWorldMapEntry::Save(cRecordWriter& w) {
    cRecord::Save(w);
    WriteRecordVector(w, m_vItem);
}

void NextPow2(i32& pitch, i32& shift, i32 width) {
    shift = 0;
    for (i32 n = width - 1; n > 0; n /= 2) ++shift;
    pitch = 1 << shift;
}

cWorldMapData::cWorldMapData() { SetDefault(); }

void cWorldMapData::RegisterFields(u32) {
    ResetFieldLists();
    AddFieldU32(&nWidth);
    AddFieldU32(&nHeight);
    AddFieldU32(&nPitch);
    AddFieldU32(&nPitch_Shift);
    AddFieldU32(&nStartX);
    AddFieldU32(&nStartY);
    AddFieldU32(&nBackColor);
    AddFieldU32(&bBackPicture);
    AddString(&strTitle);
    AddString(&strExtra);
}

void cWorldMapData::SetDefault() {
    Clear();
    strTitle = Sj("ワールド");
    nStartX = 9;
    nStartY = 7;
    nBackColor = 16;
    bBackPicture = 0;
    m_vCell.clear();
    SetSize(20, 15);
    m_vEntry.clear();
    m_vEntry2.assign(1, cWorldMapEntry());
    m_vEntry2[0].strName = Sj("デフォルト");
}

int cWorldMapData::SetSize(i32 width, i32 height) {
    // A negative size would make no grid either.
    if (width <= 0 || height <= 0) {
        if (IsDebugLogOn()) DebugLogF("SetSize()で 0 を指定しました！");
        return 0;
    }
    const bool hadCells = !m_vCell.empty();
    const cVector<u32> old = m_vCell;
    const i32 oldW = nWidth, oldH = nHeight, oldShift = nPitch_Shift;
    if (hadCells && IsDebugLogOn())
        DebugLogF("nBeforeWidth = %d,nBeforePitch = %d,nBeforePitch_Shift = %d", nWidth, nPitch, nPitch_Shift);
    nWidth = width;
    nHeight = height;
    NextPow2(nPitch, nPitch_Shift, width);
    m_vCell.assign(static_cast<std::size_t>(nHeight) * static_cast<std::size_t>(nPitch), 0);
    if (hadCells) {
        for (i32 y = 0; y < oldH && y < nHeight; ++y)
            for (i32 x = 0; x < oldW && x < nWidth; ++x) {
                const std::size_t from = (static_cast<std::size_t>(y) << oldShift) + static_cast<std::size_t>(x);
                if (from < old.size()) m_vCell[static_cast<long long>((static_cast<std::size_t>(y) << nPitch_Shift) + x)] = old.data()[from];
            }
    }
    return 1;
}

// The grid's numbers are stored, not derived: they must describe the cells that follow.
static bool GridIsSound(i32 w, i32 h, i32 pitch, i32 shift, u32 cells) {
    if (shift < 0 || shift > 30 || pitch != (1 << shift)) return false;
    if (w < 1 || w > pitch || h < 1) return false;
    return static_cast<u64>(h) * static_cast<u64>(pitch) == cells;
}

void cWorldMapData::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (r.Failed()) return;
    if (!ReadFreshVector(r, m_vChip)) return;
    u32 n = 0;
    if (!r.ReadCount(n, 4)) return;
    if (!GridIsSound(nWidth, nHeight, nPitch, nPitch_Shift, n)) {
        WriteReport("WorldMap: 大きさ %d x %d (pitch %d, shift %d) とセル数 %u が合いません。", nWidth, nHeight,
                    nPitch, nPitch_Shift, n);
        r.Fail();
        return;
    }
    m_vCell.assign(n, 0);
    if (n && !r.ReadBytes(m_vCell.data(), static_cast<std::size_t>(n) * 4)) return;
    if (!ReadFreshVector(r, m_vEntry)) return;
    if (!ReadFreshVector(r, m_vEntry2)) return;
    if (r.Version() < 812) {
        m_vChip.resize(10);
        for (int i = 0; i < 10; ++i) {
            cWorldMapChip& c = m_vChip[i];
            c.nPicture = 0;
            c.bImpassable = i < 5 ? 1 : 0;
            c.strName = Sj(i < 5 ? "移動不可" : "移動可");
            c.strNote.clear();
        }
    }
    Validate();
}

void cWorldMapData::Save(cRecordWriter& w) {
    Validate();
    cRecord::Save(w);
    WriteRecordVector(w, m_vChip);
    w.WriteU32(static_cast<u32>(m_vCell.size()));
    if (!m_vCell.empty()) w.WriteBytes(m_vCell.data(), m_vCell.size() * 4);
    WriteRecordVector(w, m_vEntry);
    WriteRecordVector(w, m_vEntry2);
}

void cWorldMapData::Validate() {
    if (nStartX >= nWidth) nStartX = nWidth - 1;
    if (nStartY >= nHeight) nStartY = nHeight - 1;
    // A negative start cell would index before the grid.
    if (nStartX < 0) nStartX = 0;
    if (nStartY < 0) nStartY = 0;
    const u32 chips = static_cast<u32>(m_vChip.size());
    for (i32 y = 0; y < nHeight; ++y)
        for (i32 x = 0; x < nWidth; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) << nPitch_Shift) + static_cast<std::size_t>(x);
            if (i < m_vCell.size() && m_vCell.data()[i] >= chips) m_vCell.data()[i] = 0;
        }
    for (std::size_t i = 0; i < m_vEntry.size();) {
        const cWorldMapEntry& e = m_vEntry.data()[i];
        if (e.nX < nWidth && e.nY < nHeight)
            ++i;
        else
            m_vEntry.erase(m_vEntry.begin() + static_cast<long>(i));
    }
}

u32 cWorldMapData::Cell(i32 x, i32 y) const {
    if (x < 0 || y < 0 || x >= nWidth || y >= nHeight) return 0;
    const std::size_t i = (static_cast<std::size_t>(y) << nPitch_Shift) + static_cast<std::size_t>(x);
    return i < m_vCell.size() ? m_vCell.data()[i] : 0;
}

void cWorldMapData::SetCell(i32 x, i32 y, u32 chip) {
    if (x < 0 || y < 0 || x >= nWidth || y >= nHeight) return;
    const std::size_t i = (static_cast<std::size_t>(y) << nPitch_Shift) + static_cast<std::size_t>(x);
    if (i < m_vCell.size()) m_vCell.data()[i] = chip;
}

bool cWorldMapData::IsImpassableChip(u32 chip) const {
    const cWorldMapChip* c = FindMaterial(m_vChip, chip);
    return c && c->bImpassable;
}

i32 cWorldMapData::ChipPicture(u32 chip) const {
    const cWorldMapChip* c = FindMaterial(m_vChip, chip);
    return c ? static_cast<i32>(c->nPicture) : -1;
}

const cWorldMapEntry* cWorldMapData::FindEntryXY(i32 x, i32 y) const {
    for (const cWorldMapEntry& e : m_vEntry)
        if (e.nX == x && e.nY == y) return &e;
    return nullptr;
}

std::string StageKey(const std::string& stageFile) {
    std::string key = stageFile;
    const std::size_t dot = key.rfind('.');
    if (dot != std::string::npos) key.resize(dot);
    for (std::size_t i = key.size(); i >= 2; --i) {
        if (key[i - 2] == '-' && key[i - 1] == '1') {
            key.resize(i - 1);
            key[i - 2] = '.';
            return key;
        }
    }
    return key + ".";
}

int cWorldMapData::HasStage(const std::string& name, u32 withArgs, u32 arg1, u32 arg2) const {
    for (const cWorldMapEntry& e : m_vEntry)
        for (const cWorldMapEntryItem& it : e.m_vItem) {
            if (it.nKind != 0 || StageKey(it.strStageFile) != name) continue;
            if (!withArgs ? it.nStageArg0 == 0 : (it.nStageArg0 != 0 && it.nStageArg1 == arg1 && it.nStageArg2 == arg2))
                return 1;
        }
    return 0;
}

const cWorldMapEntryItem* cWorldMapData::CurrentItem(const cWorldMapEntry& entry, const WORLDMAPSTATE& state) {
    for (const cWorldMapEntryItem& it : entry.m_vItem) {
        if (static_cast<i32>(it.nShowSwitch) > 0 && !(state.switchOn && state.switchOn(it.nShowSwitch))) continue;
        if (it.nCondVar) {
            const i32 value = state.variable ? state.variable(it.nCondVar) : 0;
            if (!TestCompareOp(it.nCondOp, value, static_cast<i32>(it.nCondValue))) continue;
        }
        if (state.stageTotal < it.nNeedTotal) continue;
        return &it;
    }
    return nullptr;
}

int LoadWorldMapFile(cWorldMapData& map, const std::string& path) {
    if (LoadFromFile(map, path)) return 1;
    WriteReportBox("%s のロードに失敗！", ToDisplayText(path).c_str());
    return 0;
}
