#pragma once
// The system data (data\System.dat): the game's title, front-end texts and menus, status rows,
// play-kind rules, scene music, system sound files, the System.ini key rows and the behaviour
// switches that the play and flow engines consult.
#include <functional>
#include <string>

#include "records/Cmd.h"
#include "records/Record.h"

class cStatusRow : public cRecord {
public:
    cStatusRow() { Clear(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;

    u32 bShow = 0;
    u32 bSymbol = 0;
    u32 nDigits = 0;
    u32 bGaugeNumber = 0;
    u32 nWarnLevel = 0;
    u32 bWarnPercent = 0;
    std::string strName;
};

class cItemSwitches : public cRecord {
public:
    cItemSwitches() { Fresh(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;
    void Fresh();

    u32 bRanking = 0;
    cVector<u8> vItem; // per ranking table kind: 0 score, 1 time left, 2 clear time, 3 HP, 4 SP
};

class cIniKeyRow : public cRecord {
public:
    cIniKeyRow() { Clear(); }
    void RegisterFields(u32 version) override;
    void SetNumber(const std::string& key, u32 value);
    void SetText(const std::string& key, const std::string& value);

    u32 nKind = 0; // 0 number, 1 text
    std::string strKey;
    u32 nValue = 0;
    std::string strValue;
};

constexpr int SYS_MESSAGES = 29;
constexpr int SYS_SE_FILES = 17;
constexpr int SYS_STATUS_ROWS = 5;
constexpr int SYS_INI_KEYS = 10;
constexpr int SYS_PLAY_KINDS = 4;

class cSystemData : public cRecord {
public:
    cSystemData();
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;
    void SetDefault();
    void Upgrade(u32 version);
    void CheckBgmNumbers(); // against g_Database's music list
    void CheckBgmNumbers(u32 musicCount);

    int CountItems(int n) const;

    // Fixed-role rows. A file may hold a role list shorter than its roles; a missing row reads
    // as a fresh one (the stored length is kept, so saving gives back what was loaded).
    const std::string& Message(int i) const;
    const std::string& SeFile(int i) const;
    const cStatusRow& StatusRow(int i) const;
    const cItemSwitches& RankingSetting(int i) const;
    const cIniKeyRow& IniKey(int i) const;
    u8 CarryStatus(int i) const;
    u8 CarryClear(int i) const;
    u32 StartLives(int i) const;
    u32 InfiniteLives(int i) const;
    // The music number and play flag of a front-end scene (0 title, 1 world map, 2 challenge,
    // 3 options). A missing row is a bad index: reported, the program closed, row 0 read.
    u32 SceneBgm(int i) const;
    u8 SceneBgmFlag(int i) const;

    std::string strTitle;

    u32 bExtraLife = 0;
    u32 nExtraLifeScore = 0;
    u32 bPauseOverlay = 0;
    u32 nMenuFontA = 0;
    u32 nFontFace = 0;
    u32 nMenuFontB = 0;
    u32 bSwitch113 = 0;
    u32 bReplaySave = 0;
    u32 bSwitch157 = 0;
    u32 bSwitch821 = 0;
    u32 bMapSwitch = 0;
    u32 bMissMenu = 0;
    u32 bMapLives = 0;
    u32 nChallengeValue = 0;
    u32 bChallengeSwitch = 0;
    u32 bSwitch167A = 0;
    u32 bSwitch167B = 0;
    u32 bRestartStory = 0;
    u32 bPauseSwitch224A = 0;
    u32 bSwitch167C = 0;
    u32 bSwitch167D = 0;
    u32 bRestartChallenge = 0;
    u32 bPauseSwitch224B = 0;
    u32 bRestartFree = 0;
    u32 bRestartDirect = 0;
    u32 bTransColor = 0;
    u8 byTransR = 0;
    u8 byTransG = 0;
    u8 byTransB = 0;
    u32 bCompat214 = 0;
    u32 nDropped221 = 0; // files 221..259 only; read and dropped
    u32 bCompat261 = 0;
    u32 bSwitch272 = 0;
    u32 bSwitch287 = 0;
    u32 nCycleColor = 0;
    u32 bCompat289 = 0;
    u32 bPauseSwitch757 = 0;
    u32 g_bFlowNoMark = 0;
    u32 bCompat555 = 0;
    u32 bCompat637 = 0;
    u32 bCompat669 = 0;
    u32 bCompat677 = 0;
    u32 bCompat695 = 0;
    u32 bCompat696 = 0;
    u32 bCompat697 = 0;
    u32 bCompat721 = 0;
    u32 bCompat728 = 0;
    u32 bCompat733 = 0;
    u32 g_bFlowMarkEarly = 0;
    u32 bCompat749 = 0;
    u32 bCompat752 = 0;
    u32 bCompat763A = 0;
    u32 bCompat763B = 0;
    u32 bCompat768 = 0;
    u32 bCompat773 = 0;
    u32 bCompat781 = 0;
    u32 bCompat782 = 0;
    u32 bCompat783 = 0;
    u32 bCompat793 = 0;
    u32 bCompat805 = 0;
    u32 bCompat808 = 0;
    u32 bCompat818A = 0;
    u32 bCompat818B = 0;
    u32 bCompat819 = 0;
    u32 bCompat822 = 0;
    u32 nDepthD3D = 0;
    u32 nDepthDD = 0;

    cVector<u8> vCarryStatus;
    cVector<u8> vCarryClear;
    cVector<cStatusRow> vStatusRow;
    cVector<u32> vStartLives;
    cVector<u32> vInfiniteLives;
    cVector<cItemSwitches> vRankingSetting;
    cVector<std::string> vMessage;
    cVector<std::string> vSeFile;
    cVector<u32> vSceneBgm;
    cVector<u8> vSceneBgmFlag;
    cVector<cCmd> vTitleMenu;
    cVector<cCmd> vMapMenu;
    cVector<cCmd> vOptionMenu;
    cVector<std::string> vRankingMode;
    cVector<cIniKeyRow> vIniKey;
};

// One stored number of the system data: where it lives, its width and the versions that hold it.
struct SYSFIELD {
    const char* name;
    u32 cSystemData::*p32;
    u8 cSystemData::*p8;
    u32 fromVersion;
    u32 untilVersion; // first version that no longer holds it (0: still held)
};
extern const SYSFIELD g_SysFields[];
extern const int g_nSysFields;

extern cSystemData g_SystemData;

// Entry i takes entry i - 1 from the end down to i + 1; the length stays and the last is lost.
template <class T>
void ShiftUpFrom(cVector<T>& v, int i) {
    for (int j = v.Size() - 1; j > i; --j) v[j] = v[j - 1];
}

// Front-end text menus of message texts (16 pixels per character).
int GetMenuLeft(int centreX, int firstText, int count, int cursor);
struct TEXTMENU {
    std::string text; // Shift-JIS, one line per entry
    int nWidth = 0;   // pixels
    int nHeight = 0;
};
TEXTMENU BuildTextMenu(int firstText, int count, int cursor);
// The text box drawing belongs to the graphics layer, which installs it here.
using TextBoxDrawer = std::function<void(void* surface, int x, int y, int w, int h, const std::string& sjisText)>;
void SetTextBoxDrawer(TextBoxDrawer drawer);
void DrawTextMenu(void* surface, int x, int y, int firstText, int count, int cursor);
// A framed box of text lines (Shift-JIS, '\n' between lines) in the menu font.
void DrawTextBox(void* surface, int x, int y, int w, int h, const std::string& sjisText);
int IsGaugeWarning(int n, int value, int max);
