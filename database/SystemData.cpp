#include "database/SystemData.h"

#include "database/Database.h"
#include "database/Text.h"
#include "platform/system/Sjis.h"
#include "records/StrFormat.h"

cSystemData g_SystemData;

#define F32(m, from) {#m, &cSystemData::m, nullptr, from, 0}
#define F8(m, from) {#m, nullptr, &cSystemData::m, from, 0}

// File order. A field "from 0" is in every file.
const SYSFIELD g_SysFields[] = {
    F32(bExtraLife, 185),
    F32(nExtraLifeScore, 0),
    F32(bPauseOverlay, 0),
    F32(nMenuFontA, 0),
    F32(nFontFace, 205),
    F32(nMenuFontB, 170),
    F32(bSwitch113, 113),
    F32(bReplaySave, 184),
    F32(bSwitch157, 157),
    F32(bSwitch821, 821),
    F32(bMapSwitch, 0),
    F32(bMissMenu, 191),
    F32(bMapLives, 191),
    F32(nChallengeValue, 0),
    F32(bChallengeSwitch, 0),
    F32(bSwitch167A, 167),
    F32(bSwitch167B, 167),
    F32(bRestartStory, 188),
    F32(bPauseSwitch224A, 224),
    F32(bSwitch167C, 167),
    F32(bSwitch167D, 167),
    F32(bRestartChallenge, 188),
    F32(bPauseSwitch224B, 224),
    F32(bRestartFree, 188),
    F32(bRestartDirect, 192),
    F32(bTransColor, 187),
    F8(byTransR, 187),
    F8(byTransG, 187),
    F8(byTransB, 187),
    F32(bCompat214, 214),
    {"nDropped221", &cSystemData::nDropped221, nullptr, 221, 260},
    F32(bCompat261, 261),
    F32(bSwitch272, 272),
    F32(bSwitch287, 287),
    F32(nCycleColor, 515),
    F32(bCompat289, 289),
    F32(bPauseSwitch757, 757),
    F32(g_bFlowNoMark, 525),
    F32(bCompat555, 555),
    F32(bCompat637, 637),
    F32(bCompat669, 669),
    F32(bCompat677, 677),
    F32(bCompat695, 695),
    F32(bCompat696, 696),
    F32(bCompat697, 697),
    F32(bCompat721, 721),
    F32(bCompat728, 728),
    F32(bCompat733, 733),
    F32(g_bFlowMarkEarly, 744),
    F32(bCompat749, 749),
    F32(bCompat752, 752),
    F32(bCompat763A, 763),
    F32(bCompat763B, 763),
    F32(bCompat768, 768),
    F32(bCompat773, 773),
    F32(bCompat781, 781),
    F32(bCompat782, 782),
    F32(bCompat783, 783),
    F32(bCompat793, 793),
    F32(bCompat805, 805),
    F32(bCompat808, 808),
    F32(bCompat818A, 818),
    F32(bCompat818B, 818),
    F32(bCompat819, 819),
    F32(bCompat822, 822),
    F32(nDepthD3D, 670),
    F32(nDepthDD, 670),
};
const int g_nSysFields = static_cast<int>(sizeof g_SysFields / sizeof g_SysFields[0]);

#undef F32
#undef F8

// ---- sub-records

void cStatusRow::RegisterFields(u32 version) {
    ResetFieldLists();
    AddFieldU32(&bShow);
    AddFieldU32(&bSymbol);
    AddFieldU32(&nDigits);
    if (version >= 204) AddFieldU32(&bGaugeNumber);
    if (version >= 587) {
        AddFieldU32(&nWarnLevel);
        AddFieldU32(&bWarnPercent);
    }
    AddString(&strName);
}

void cStatusRow::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (!r.Failed() && r.Version() < 204) bGaugeNumber = 1;
}

void cItemSwitches::RegisterFields(u32) {
    ResetFieldLists();
    AddFieldU32(&bRanking);
}

void cItemSwitches::Fresh() {
    Clear();
    vItem.assign(5, 0);
}

void cItemSwitches::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (r.Failed()) return;
    u32 m = 0;
    if (!r.ReadCount(m, 1)) return;
    vItem.assign(m, 0);
    if (m) r.ReadBytes(vItem.data(), m);
}

void cItemSwitches::Save(cRecordWriter& w) {
    cRecord::Save(w);
    w.WriteU32(static_cast<u32>(vItem.size()));
    if (!vItem.empty()) w.WriteBytes(vItem.data(), vItem.size());
}

void cIniKeyRow::RegisterFields(u32) {
    ResetFieldLists();
    AddFieldU32(&nKind);
    AddString(&strKey);
    AddFieldU32(&nValue);
    AddString(&strValue);
}

void cIniKeyRow::SetNumber(const std::string& key, u32 value) {
    nKind = 0;
    strKey = key;
    nValue = value;
}

void cIniKeyRow::SetText(const std::string& key, const std::string& value) {
    nKind = 1;
    strKey = key;
    strValue = value;
}

// ---- lists

namespace {

cCmd MenuEntry(const char* utf8) {
    cCmd c;
    c.Clear();
    c.enabled = 1;
    c.text = Sj(utf8);
    return c;
}

template <class T>
void SizeList(cVector<T>& v, int n) {
    v.resize(static_cast<std::size_t>(n));
}

void SizeMenu(cVector<cCmd>& v, int n) {
    while (v.Size() < n) v.push_back(MenuEntry(""));
    v.resize(static_cast<std::size_t>(n));
}

void InsertText(cVector<std::string>& v, int at, const char* utf8) {
    ShiftUpFrom(v, at);
    v[at] = Sj(utf8);
}

cIniKeyRow NumberKey(const char* key, u32 value) {
    cIniKeyRow k;
    k.SetNumber(key, value);
    return k;
}

template <class T>
bool ReadNumberList(cRecordReader& r, cVector<T>& v) {
    u32 n = 0;
    if (!r.ReadCount(n, sizeof(T))) return false;
    v.resize(n);
    return n == 0 || r.ReadBytes(v.data(), static_cast<std::size_t>(n) * sizeof(T));
}

bool ReadStringList(cRecordReader& r, cVector<std::string>& v) {
    u32 n = 0;
    if (!r.ReadCount(n, 4)) return false;
    v.assign(n, std::string());
    for (auto& s : v)
        if (!r.ReadString(s)) return false;
    return true;
}

template <class T>
void WriteNumberList(cRecordWriter& w, const cVector<T>& v) {
    w.WriteU32(static_cast<u32>(v.size()));
    if (!v.empty()) w.WriteBytes(v.data(), v.size() * sizeof(T));
}

void WriteStringList(cRecordWriter& w, const cVector<std::string>& v) {
    w.WriteU32(static_cast<u32>(v.size()));
    for (const std::string& s : v) w.WriteString(s);
}

} // namespace

// ---- the record

cSystemData::cSystemData() {
    RegisterFields(g_nProgVer);
    SetDefault();
}

void cSystemData::RegisterFields(u32 version) {
    ResetFieldLists();
    AddString(&strTitle);
    for (int i = 0; i < g_nSysFields; ++i) {
        const SYSFIELD& f = g_SysFields[i];
        if (version < f.fromVersion || (f.untilVersion && version >= f.untilVersion)) continue;
        if (f.p32)
            AddFieldU32(&(this->*f.p32));
        else
            AddFieldU8(&(this->*f.p8));
    }
}

void cSystemData::SetDefault() {
    Clear();
    nExtraLifeScore = 100;
    bPauseOverlay = 1;
    nMenuFontA = 0;
    nFontFace = 60;
    bReplaySave = 1;
    bSwitch157 = 1;
    bSwitch821 = 1;
    bRestartStory = 1;
    bRestartChallenge = 1;
    bRestartFree = 1;
    bPauseSwitch224A = 1;
    bPauseSwitch757 = 1;
    bPauseSwitch224B = 1;
    nCycleColor = 16;

    vCarryStatus.assign(25, 0);
    for (int i : {0, 1, 13, 14, 16, 17, 19, 20, 21}) vCarryStatus[i] = 1;
    vCarryClear.assign(25, 0);
    vCarryClear[11] = 1;
    vCarryClear[12] = 1;

    static const struct {
        const char* name;
        u32 digits;
    } kRows[SYS_STATUS_ROWS] = {{"スコア", 4}, {"スコア", 3}, {"HP", 0}, {"SP", 0}, {"人", 2}};
    vStatusRow.assign(SYS_STATUS_ROWS, cStatusRow());
    for (int i = 0; i < SYS_STATUS_ROWS; ++i) {
        vStatusRow[i].bShow = 1;
        vStatusRow[i].bSymbol = 1;
        vStatusRow[i].strName = Sj(kRows[i].name);
        vStatusRow[i].nDigits = kRows[i].digits;
    }

    vRankingSetting.assign(SYS_PLAY_KINDS, cItemSwitches());
    for (int i = 0; i < 3; ++i) {
        vRankingSetting[i].bRanking = 1;
        FillBytes(vRankingSetting[i].vItem, 1);
    }

    vTitleMenu.clear();
    for (const char* t : {"はじめから", "つづきから", "チャレンジ", "フリー", "リプレイ", "オプション", "しゅうりょう"})
        vTitleMenu.push_back(MenuEntry(t));
    vMapMenu.clear();
    for (const char* t : {"セーブ", "オートセーブ", "もどる", "タイトルへ"}) vMapMenu.push_back(MenuEntry(t));
    vOptionMenu.clear();
    for (const char* t : {"BGM", "SE", "ランキング登録", "ランキング登録名", "もどる", ""})
        vOptionMenu.push_back(MenuEntry(t));
    vRankingMode.clear();
    for (const char* t : {"手動登録（登録名入力）", "手動登録（登録名固定）", "自動登録（登録名入力）", "自動登録（登録名固定）"})
        vRankingMode.push_back(Sj(t));

    bMapSwitch = 1;
    bMissMenu = 1;
    bMapLives = 1;
    nChallengeValue = 40;
    bChallengeSwitch = 1;
    vStartLives = {5, 5, 5, 99};
    vInfiniteLives.assign(SYS_PLAY_KINDS, 1);
    bSwitch167A = bSwitch167B = bSwitch167C = bSwitch167D = 1;

    static const char* const kMessages[SYS_MESSAGES] = {
        "ワールド", "ステージ", "スコア", "ハイスコア", "トータルスコア", "スコア", "残り時間", "クリア時間",
        "残りHP", "残りSP", "ステージに挑む", "やっぱりやめる", "セーブする", "やっぱりやめる",
        "オートセーブＯＮ", "オートセーブＯＦＦ", "保存先が不明です！一度は「セーブ」して下さい！",
        "タイトルへ戻る", "やっぱりやめる", "しゅうりょう", "つづける", "リトライ", "", "リトライ",
        "マップへ戻る", "Vキーでジャンルの切り替え", "スペースキーでタイトルへ戻る", "スペースキーで終了",
        "F3キーでランキングへ登録"};
    vMessage.clear();
    for (const char* t : kMessages) vMessage.push_back(Sj(t));
    vSeFile.assign(SYS_SE_FILES, std::string());
    vSceneBgm.assign(SYS_PLAY_KINDS, 0);
    vSceneBgmFlag.assign(SYS_PLAY_KINDS, 1);

    vIniKey.clear();
    vIniKey.push_back(NumberKey("Direct3D", 2));
    vIniKey.push_back(NumberKey("WindowMode", 0));
    vIniKey.push_back(NumberKey("Bpp", 0));
    vIniKey.push_back(NumberKey("VSync", 2));
    vIniKey.push_back(NumberKey("D3D_FontCache", 0));
    vIniKey.push_back(NumberKey("DD_FontCache", 1));
    vIniKey.push_back(NumberKey("DD_VideoStretch", 0));
    vIniKey.push_back(NumberKey("ShowFps", 1));
    cIniKeyRow freeStage;
    freeStage.SetText("FreeStage", "");
    vIniKey.push_back(freeStage);
    vIniKey.push_back(NumberKey("English", 0));

    nDepthD3D = 0;
    nDepthDD = 2;
}

void cSystemData::Load(cRecordReader& r) {
    const u32 v = r.Version();
    cRecord::Load(r);
    if (r.Failed()) return;
    // A list the file's version does not hold keeps what it held (the defaults).
    bool ok = ReadNumberList(r, vCarryStatus);
    if (ok && v >= 501) ok = ReadNumberList(r, vCarryClear);
    if (ok) ok = ReadFreshVector(r, vStatusRow);
    if (ok) ok = ReadNumberList(r, vStartLives);
    if (ok && v >= 191) ok = ReadNumberList(r, vInfiniteLives);
    if (ok && v >= 186) ok = ReadFreshVector(r, vRankingSetting);
    if (ok) ok = ReadStringList(r, vMessage);
    if (ok) ok = ReadStringList(r, vSeFile);
    if (ok) ok = ReadNumberList(r, vSceneBgm);
    if (ok && v >= 202) ok = ReadNumberList(r, vSceneBgmFlag);
    if (ok) ok = ReadFreshVector(r, vTitleMenu);
    if (ok) ok = ReadFreshVector(r, vMapMenu);
    if (ok) ok = ReadFreshVector(r, vOptionMenu);
    if (ok && v >= 674) ok = ReadStringList(r, vRankingMode);
    if (ok) ok = ReadFreshVector(r, vIniKey);
    if (!ok || r.Failed()) {
        r.Fail();
        return;
    }
    if (v < 824) Upgrade(v);
    CheckBgmNumbers();
}

void cSystemData::Save(cRecordWriter& w) {
    CheckBgmNumbers();
    cRecord::Save(w);
    WriteNumberList(w, vCarryStatus);
    WriteNumberList(w, vCarryClear);
    WriteRecordVector(w, vStatusRow);
    WriteNumberList(w, vStartLives);
    WriteNumberList(w, vInfiniteLives);
    WriteRecordVector(w, vRankingSetting);
    // Texts are written whole whatever their length: nothing is cut.
    WriteStringList(w, vMessage);
    WriteStringList(w, vSeFile);
    WriteNumberList(w, vSceneBgm);
    WriteNumberList(w, vSceneBgmFlag);
    WriteRecordVector(w, vTitleMenu);
    WriteRecordVector(w, vMapMenu);
    WriteRecordVector(w, vOptionMenu);
    WriteStringList(w, vRankingMode);
    WriteRecordVector(w, vIniKey);
}

namespace {

// Files older than 113 to 170: the first switches, a carried status and the auto-save entry with
// its three texts.
void UpgradeTo170(cSystemData& d, u32 v) {
    if (v < 113) d.bSwitch113 = 0;
    if (v < 157) d.bSwitch157 = 0;
    if (v < 167) d.bSwitch167A = d.bSwitch167B = d.bSwitch167C = d.bSwitch167D = 1;
    if (v < 168) {
        SizeList(d.vCarryStatus, 25);
        ShiftUpFrom(d.vCarryStatus, 16);
        d.vCarryStatus[16] = 1;
    }
    if (v < 169) {
        SizeMenu(d.vMapMenu, 4);
        ShiftUpFrom(d.vMapMenu, 1);
        d.vMapMenu[1] = MenuEntry("オートセーブ");
        SizeList(d.vMessage, SYS_MESSAGES);
        InsertText(d.vMessage, 12, "保存先が不明です！一度は「セーブ」して下さい！");
        InsertText(d.vMessage, 12, "オートセーブＯＦＦ");
        InsertText(d.vMessage, 12, "オートセーブＯＮ");
    }
    if (v < 170) d.nMenuFontB = 0;
}

// Files older than 181 to 193: ranking items 3 and 4, the remaining-HP and SP texts, the replay,
// extra life, transparent colour and restart switches, infinite lives, the retry texts.
void UpgradeTo193(cSystemData& d, u32 v) {
    if (v < 181) {
        for (int i = 0; i < SYS_PLAY_KINDS && i < d.vRankingSetting.Size(); ++i) {
            SizeList(d.vRankingSetting[i].vItem, 5);
            d.vRankingSetting[i].vItem[3] = 0;
            d.vRankingSetting[i].vItem[4] = 0;
        }
        SizeList(d.vMessage, SYS_MESSAGES);
        InsertText(d.vMessage, 8, "残りHP");
        InsertText(d.vMessage, 9, "残りSP");
    }
    if (v < 184) d.bReplaySave = 1;
    if (v < 185) d.bExtraLife = 1;
    if (v < 187) {
        d.bTransColor = 0;
        d.byTransR = 0;
        d.byTransG = 177;
        d.byTransB = 0;
    }
    if (v < 188) d.bRestartStory = d.bRestartChallenge = d.bRestartFree = 1;
    if (v < 191) {
        d.vInfiniteLives = {0, 0, 0, 1};
        d.bMissMenu = 0;
        d.bMapLives = 0;
    }
    if (v < 192) d.bRestartDirect = 1;
    if (v < 193) {
        SizeList(d.vMessage, SYS_MESSAGES);
        InsertText(d.vMessage, 22, "リトライ");
        InsertText(d.vMessage, 23, "マップへ戻る");
    }
}

// Files older than 201 to 289: two more carried statuses, the scene music flags, the font, the
// pause switches and the "Direct3D" key, ending with the palette cycling switch, which the
// transparent colour (set for files older than 187) decides.
void UpgradeTo289(cSystemData& d, u32 v) {
    if (v < 201) {
        SizeList(d.vCarryStatus, 25);
        ShiftUpFrom(d.vCarryStatus, 14);
        d.vCarryStatus[14] = 0;
    }
    if (v < 202) d.vSceneBgmFlag.assign(SYS_PLAY_KINDS, 1);
    if (v < 205) d.nFontFace = 60;
    if (v < 210) {
        SizeList(d.vCarryStatus, 25);
        ShiftUpFrom(d.vCarryStatus, 9);
        d.vCarryStatus[9] = 0;
    }
    if (v < 214) d.bCompat214 = 1;
    if (v < 224) d.bPauseSwitch224A = d.bPauseSwitch224B = 0;
    if (v < 261) d.bCompat261 = 1;
    if (v < 272) d.bSwitch272 = 0;
    if (v < 286) {
        SizeList(d.vIniKey, SYS_INI_KEYS);
        ShiftUpFrom(d.vIniKey, 0);
        d.vIniKey[0] = NumberKey("Direct3D", 1);
        if (static_cast<i32>(d.vIniKey[3].nValue) >= 3) d.vIniKey[3].nValue = 2;
    }
    if (v < 287) d.bSwitch287 = 0;
    if (v < 289) d.bCompat289 = d.bTransColor == 0 ? 1 : 0;
}

// Files older than 501 to 670: the carried clear flags, the colour cycling step, the font-cache
// and stretch keys, the gauge warnings and the colour depths.
void UpgradeTo670(cSystemData& d, u32 v) {
    if (v < 501) d.vCarryClear.assign(25, 0);
    if (v < 515) d.nCycleColor = 16;
    if (v < 525) d.g_bFlowNoMark = 1;
    if (v < 555) d.bCompat555 = 1;
    if (v < 567) {
        SizeList(d.vIniKey, SYS_INI_KEYS);
        ShiftUpFrom(d.vIniKey, 4);
        d.vIniKey[4] = NumberKey("DD_VideoStretch", 0);
    }
    if (v < 568) {
        SizeList(d.vIniKey, SYS_INI_KEYS);
        ShiftUpFrom(d.vIniKey, 4);
        d.vIniKey[4] = NumberKey("D3D_FontCache", 0);
        ShiftUpFrom(d.vIniKey, 5);
        d.vIniKey[5] = NumberKey("DD_FontCache", 1);
    }
    if (v < 587) {
        SizeList(d.vStatusRow, SYS_STATUS_ROWS);
        for (int i : {2, 3}) {
            d.vStatusRow[i].nWarnLevel = 33;
            d.vStatusRow[i].bWarnPercent = 1;
        }
    }
    if (v < 637) d.bCompat637 = v <= 616 ? 1 : 0;
    if (v < 669) d.bCompat669 = 1;
    if (v < 670) {
        d.nDepthD3D = 0;
        d.nDepthDD = 2;
    }
}

// Files older than 672 to 822: the "English" key, the map-return text and the switches that keep
// the behaviour older game data was made with.
void UpgradeTo822(cSystemData& d, u32 v) {
    if (v < 672) {
        SizeList(d.vIniKey, SYS_INI_KEYS);
        d.vIniKey[9] = NumberKey("English", 0);
    }
    if (v < 677) d.bCompat677 = 1;
    if (v < 695) d.bCompat695 = 1;
    if (v < 696) d.bCompat696 = 1;
    if (v < 697) d.bCompat697 = 1;
    if (v < 721) d.bCompat721 = 1;
    if (v < 728) d.bCompat728 = 1;
    if (v < 733) d.bCompat733 = 1;
    if (v < 744) d.g_bFlowMarkEarly = 1;
    if (v < 749) d.bCompat749 = 1;
    if (v < 752) d.bCompat752 = 1;
    if (v < 756) {
        SizeList(d.vMessage, SYS_MESSAGES);
        InsertText(d.vMessage, 22, "マップへ戻る");
    }
    if (v < 757) d.bPauseSwitch757 = 0;
    if (v < 763) d.bCompat763A = d.bCompat763B = 1;
    if (v < 768) d.bCompat768 = 1;
    if (v < 773) d.bCompat773 = 1;
    if (v < 781) d.bCompat781 = 1;
    if (v < 782) d.bCompat782 = 1;
    if (v < 783) d.bCompat783 = 1;
    if (v < 793) d.bCompat793 = 1;
    if (v < 805) d.bCompat805 = 1;
    if (v < 808) d.bCompat808 = 1;
    if (v < 818) d.bCompat818A = d.bCompat818B = 1;
    if (v < 819) d.bCompat819 = 1;
    if (v < 821) d.bSwitch821 = 0;
    if (v < 822) d.bCompat822 = 1;
}

} // namespace

// The steps build on each other (a list grown or shifted by one step is shifted again by a
// later one) and run in order.
void cSystemData::Upgrade(u32 v) {
    UpgradeTo170(*this, v);
    UpgradeTo193(*this, v);
    UpgradeTo289(*this, v);
    UpgradeTo670(*this, v);
    UpgradeTo822(*this, v);
}

void cSystemData::CheckBgmNumbers(u32 musicCount) {
    for (auto& n : vSceneBgm)
        if (n >= musicCount) n = 0;
}

void cSystemData::CheckBgmNumbers() { CheckBgmNumbers(static_cast<u32>(g_Database.m_vBgm.size())); }

// ---- guarded rows

template <class T>
static const T& RowOrFresh(const cVector<T>& v, int i) {
    static const T fresh{};
    return i >= 0 && i < v.Size() ? v.data()[i] : fresh;
}

const std::string& cSystemData::Message(int i) const { return RowOrFresh(vMessage, i); }
const std::string& cSystemData::SeFile(int i) const { return RowOrFresh(vSeFile, i); }
const cStatusRow& cSystemData::StatusRow(int i) const { return RowOrFresh(vStatusRow, i); }
const cItemSwitches& cSystemData::RankingSetting(int i) const { return RowOrFresh(vRankingSetting, i); }
const cIniKeyRow& cSystemData::IniKey(int i) const { return RowOrFresh(vIniKey, i); }
u8 cSystemData::CarryStatus(int i) const { return RowOrFresh(vCarryStatus, i); }
u8 cSystemData::CarryClear(int i) const { return RowOrFresh(vCarryClear, i); }
u32 cSystemData::StartLives(int i) const { return RowOrFresh(vStartLives, i); }
u32 cSystemData::InfiniteLives(int i) const { return RowOrFresh(vInfiniteLives, i); }

// A scene past its music list is a bad index, as a sound number past the sound list is: the
// container reports it, asks the program to close in order and reads row 0 meanwhile. An empty
// list has no row 0 to read: the same report, and nothing.
template <class T>
static T RowOrBadIndex(const cVector<T>& v, int i) {
    if (!v.empty()) return v[i];
    ReportBadIndex('V', i, 0, sizeof(T));
    return T{};
}

u32 cSystemData::SceneBgm(int i) const { return RowOrBadIndex(vSceneBgm, i); }
u8 cSystemData::SceneBgmFlag(int i) const { return RowOrBadIndex(vSceneBgmFlag, i); }

// ---- front-end text operations

int cSystemData::CountItems(int n) const {
    const cItemSwitches& row = RankingSetting(n);
    if (!row.bRanking) return 0;
    int count = 0;
    for (u8 b : row.vItem)
        if (b) ++count;
    return count;
}

static int MenuChars(int firstText, int count, int cursor) {
    int w = 0;
    for (int i = 0; i < count; ++i) {
        const int c = CountChars(g_SystemData.Message(firstText + i).c_str());
        if (c > w) w = c;
    }
    return cursor ? w + 1 : w;
}

int GetMenuLeft(int centreX, int firstText, int count, int cursor) {
    return centreX - (MenuChars(firstText, count, cursor) * 16) / 2;
}

TEXTMENU BuildTextMenu(int firstText, int count, int cursor) {
    TEXTMENU m;
    if (count <= 0) return m;
    for (int i = 0; i < count; ++i)
        StrAppendF(m.text, cursor ? " %s\n" : "%s\n", g_SystemData.Message(firstText + i).c_str());
    m.nWidth = MenuChars(firstText, count, cursor) * 16;
    m.nHeight = count * 16;
    return m;
}

static TextBoxDrawer& Drawer() {
    static TextBoxDrawer d;
    return d;
}

void SetTextBoxDrawer(TextBoxDrawer drawer) { Drawer() = std::move(drawer); }

void DrawTextBox(void* surface, int x, int y, int w, int h, const std::string& sjisText) {
    if (Drawer()) Drawer()(surface, x, y, w, h, sjisText);
}

void DrawTextMenu(void* surface, int x, int y, int firstText, int count, int cursor) {
    if (count <= 0) return;
    const TEXTMENU m = BuildTextMenu(firstText, count, cursor);
    if (Drawer()) Drawer()(surface, x, y, m.nWidth, m.nHeight, m.text);
}

int IsGaugeWarning(int n, int value, int max) {
    const cStatusRow& row = g_SystemData.StatusRow(n);
    const i32 level = static_cast<i32>(row.nWarnLevel);
    if (row.bWarnPercent) {
        const double q = value * 100.0 / max;
        return static_cast<double>(level) >= q ? 1 : 0;
    }
    return value <= level ? 1 : 0;
}
