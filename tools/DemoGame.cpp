#include "tools/DemoGame.h"

#include <fstream>

#include "database/CommonPalette.h"
#include "database/DataPaths.h"
#include "database/Database.h"
#include "database/SystemData.h"
#include "database/Text.h"
#include "database/WorldMap.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/FileError.h"
#include "platform/system/PathResolver.h"
#include "records/DataFile.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "records/StrFormat.h"
#include "tools/DemoArt.h"
#include "tools/DemoCave.h"
#include "tools/DemoEffects.h"
#include "tools/DemoFlows.h"
#include "tools/DemoGoal.h"
#include "tools/DemoLooks.h"
#include "tools/DemoShots.h"
#include "tools/DemoSign.h"
#include "tools/DemoMedia.h"

namespace fs = std::filesystem;

namespace {

// Row of "ステージクリア" in the item command table, and its destination "ワールドクリア".
constexpr u8 kItemCmdStageClear = 2;
constexpr u32 kClearWorld = 3;

struct DEMOSOUND {
    const char* name; // UTF-8
    const char* file;
};
// Sound record 0 is never played; records 1.. are the game's own sounds.
const DEMOSOUND kSounds[] = {
    {"なし", ""},
    {"ジャンプ", "wave\\jump.wav"},
    {"コイン", "wave\\coin.wav"},
    {"ダメージ", "wave\\hit.wav"},
    {"ショット", "wave\\shot.wav"},
    {"クリア", "wave\\clear.wav"},
};

std::vector<std::pair<std::string, std::string>> MakeSounds() {
    const int rate = 22050;
    return {
        {"wave\\jump.wav", MakeWav(SynthSweep(300, 900, 0.18, rate, 0.35), rate)},
        {"wave\\coin.wav", MakeWav(SynthNotes({988, 1319}, 0.08, rate, 0.5), rate)},
        {"wave\\hit.wav", MakeWav(SynthNoise(0.25, rate, 0.5, 7), rate)},
        {"wave\\shot.wav", MakeWav(SynthSweep(1200, 200, 0.12, rate, 0.3), rate)},
        {"wave\\clear.wav", MakeWav(SynthNotes({523, 659, 784, 1047}, 0.15, rate, 0.5), rate)},
        {"wave\\cursor.wav", MakeWav(SynthNotes({880}, 0.05, rate, 0.4), rate)},
        {"wave\\decide.wav", MakeWav(SynthNotes({660, 990}, 0.06, rate, 0.4), rate)},
        {"wave\\cancel.wav", MakeWav(SynthNotes({440, 330}, 0.06, rate, 0.4), rate)},
    };
}

cAnimeData Anime(const char* name, std::initializer_list<std::pair<u32, u32>> frames) {
    cAnimeData a;
    a.strName = Sj(name);
    a.vFrame.clear();
    for (auto [pattern, time] : frames) {
        cAnimeFrame f;
        f.nPattern = pattern;
        f.nTime = time;
        a.vFrame.push_back(f);
    }
    return a;
}

void FillDatabase(cDatabase& db) {
    db.SetDefault();
    db.m_vAnimeSet[0].strName = Sj("主人公");
    db.m_vAnimeSet[0].vAnime[1].vFrame.clear();
    for (u32 p : {1u, 2u}) {
        cAnimeFrame f;
        f.nPattern = p;
        f.nTime = 2;
        db.m_vAnimeSet[0].vAnime[1].vFrame.push_back(f);
    }
    db.m_vAnime.push_back(Anime("歩き", {{0, 2}, {1, 2}, {2, 2}, {1, 2}}));
    db.m_vAnime.push_back(Anime("スライム", {{10, 3}, {11, 3}}));

    db.m_vBmpCharaExc[1].strName = Sj("ボス");
    db.m_vBmpCharaExc[1].strFile = "bmp\\chara_sp\\Boss.bmp";
    db.m_vBmpCharaExc[1].bOwnSize = 1;
    db.m_vBmpCharaExc[1].nSizeUnits = 2;

    cSwordTypeData& sword = db.m_vSwordType[0];
    sword.strName = Sj("剣");
    sword.strFile = "bmp\\sword\\Sword.bmp";
    sword.strFile2 = "bmp\\sword\\Sword.bmp";
    sword.vPart[0].nWidth = 16;
    sword.vPart[0].nHeight = 16;
    sword.vPart[0].nTime = 2;

    db.m_vEffect[1].strName = Sj("火花");
    db.m_vEffect[1].strFile = "bmp\\effect\\Spark.bmp";
    db.m_vEffect[1].nWidth = 16;
    db.m_vEffect[1].nHeight = 16;
    db.m_vEffect[1].vFrame.clear();
    for (u32 p = 0; p < 2; ++p) {
        cEffectFrame f;
        f.nPattern = p;
        f.nTime = 1;
        db.m_vEffect[1].vFrame.push_back(f);
    }

    // Record 0 of both effect lists is "none"; record 1 a blink and a screen shake.
    db.m_vCharaEffect[0].nEffectType = 0;
    db.m_vCharaEffect[1].strName = Sj("点滅");
    db.m_vCharaEffect[1].nEffectType = 6;
    db.m_vCharaEffect[1].anParam[0] = 10;
    db.m_vCharaEffect[1].anParam[1] = 2;
    db.m_vScrEffect[0].nEffectType = 0;
    db.m_vScrEffect[1].strName = Sj("揺れ");
    db.m_vScrEffect[1].nEffectType = 2;
    db.m_vScrEffect[1].anParam[0] = 5;
    db.m_vScrEffect[1].anParam[1] = 4;
    db.m_vScrEffect[1].anParam[2] = 4;

    db.m_vPicture[1].strName = Sj("看板");
    db.m_vPicture[1].strFile = "bmp\\picture\\Sign.bmp";

    db.m_vSound.clear();
    for (const DEMOSOUND& s : kSounds) {
        cSoundData d;
        d.strName = Sj(s.name);
        d.strFile = s.file;
        db.m_vSound.push_back(d);
    }

    db.m_vBgm.assign(3, cBgmData());
    db.m_vBgm[0].strName = Sj("なし");
    db.m_vBgm[1].strName = Sj("テーマ");
    db.m_vBgm[1].strFile = "bgm\\Title.mid";
    db.m_vBgm[2].strName = Sj("ループ");
    db.m_vBgm[2].strFile = "bgm\\Field.ogg";
    db.m_vBgm[2].nVolume = 80;
}

void FillSystemData(cSystemData& s) {
    s.SetDefault();
    s.strTitle = Sj("トブレルク デモ");
    // Pictures keep magenta (palette entry 0) as their transparent colour.
    s.bTransColor = 1;
    s.byTransR = 255;
    s.byTransG = 0;
    s.byTransB = 255;
    s.vSceneBgm = {1, 1, 2, 2};
    // System sounds: cursor, decide, cancel, then the play sounds.
    const char* const se[SYS_SE_FILES] = {"wave\\cursor.wav", "wave\\decide.wav", "wave\\cancel.wav",
                                          "wave\\jump.wav",   "wave\\coin.wav",   "wave\\hit.wav",
                                          "wave\\shot.wav",   "wave\\clear.wav",  "wave\\hit.wav",
                                          "wave\\coin.wav",   "wave\\decide.wav", "wave\\cursor.wav",
                                          "wave\\decide.wav", "wave\\clear.wav",  "wave\\jump.wav",
                                          "wave\\shot.wav",   "wave\\cancel.wav"};
    for (int i = 0; i < SYS_SE_FILES; ++i) s.vSeFile[i] = se[i];
    // Every challenge stage is open from the start.
    s.nChallengeValue = kDemoChallengeStages;
    s.bChallengeSwitch = 1;
    // The options screen acts by entry number (0 blend table, 1 music, 2 sound volume, 3 ranking
    // mode, 4 ranking name, 5 back): each label names what its row does. The blend table matters
    // in the 8-bit mode only and stays off.
    const char* const options[6] = {"減色テーブル", "BGM", "SE", "ランキング登録", "ランキング登録名", "もどる"};
    for (int i = 0; i < 6 && i < s.vOptionMenu.Size(); ++i) {
        s.vOptionMenu[i].enabled = i != 0;
        s.vOptionMenu[i].text = Sj(options[i]);
    }
    // The hit rectangles of the practice room show where the runtime draws them: the 8-bit mode
    // (playsim --mode dd8; the desktop's 8-bit mode needs a game without a transparent colour).
    s.bCompat768 = 1; // SW_RECT_DISPLAY
    // A window, and no start-up question about the drawing mode.
    s.vIniKey[0].nValue = 1;
    s.vIniKey[1].nValue = 1;
}

cWorldMapEntryItem StageItem(const char* caption, const char* stage, u32 picture, u32 doneSwitch, u32 showSwitch) {
    cWorldMapEntryItem it;
    it.nKind = 0;
    it.nPicture = picture;
    it.nDoneSwitch = doneSwitch;
    it.nShowSwitch = showSwitch;
    it.strCaption = Sj(caption);
    it.strStageFile = stage;
    return it;
}

cWorldMapEntry MapEntry(i32 x, i32 y, const char* name, std::initializer_list<cWorldMapEntryItem> items) {
    cWorldMapEntry e;
    e.nX = x;
    e.nY = y;
    e.strName = Sj(name);
    e.m_vItem = items;
    return e;
}

// The two ridges that split the map from north to south.
constexpr i32 kGateX = 9;
constexpr i32 kRidgeX = 14;

// Map marks (rows of WorldEvent.bmp).
enum : u32 { MARK_STAGE = 0, MARK_LAST_STAGE = 1, MARK_GATE_SHUT = 2, MARK_GATE_OPEN = 3 };
// Map chips.
enum : u32 { CHIP_SEA, CHIP_GRASS, CHIP_MOUNTAIN, CHIP_FOREST, CHIP_ROAD, CHIP_PLAIN };

// The story's map. The start and the first stage lie west of a ridge whose one pass is a gate:
// shut (a wall) until the first stage is done. The second stage sits on a second ridge, so the
// way east leads through it and opens once it is done; the third stage, beyond, ends the story
// and waits for the decide button. The dark cave lies off the road in the forest south of the
// start, open from the start and never in the way.
void FillWorldMap(cWorldMapData& m) {
    m.SetDefault();
    m.strTitle = Sj("デモワールド");
    m.strExtra = "bmp\\WorldBack.bmp";
    m.bBackPicture = 1;
    m.nBackColor = 5; // the sea's blue beyond the map's edges
    static const struct {
        const char* name;
        u32 impassable;
        u32 picture;
    } kChips[6] = {{"海", 1, 0}, {"草原", 0, 1}, {"山", 1, 2}, {"森", 0, 3}, {"道", 0, 4}, {"平地", 0, 5}};
    m.m_vChip.clear();
    for (const auto& c : kChips) {
        cWorldMapChip chip;
        chip.strName = Sj(c.name);
        chip.bImpassable = c.impassable;
        chip.nPicture = c.picture;
        m.m_vChip.push_back(chip);
    }
    for (i32 y = 0; y < m.nHeight; ++y)
        for (i32 x = 0; x < m.nWidth; ++x) {
            u32 chip = CHIP_GRASS;
            if (x == 0 || y == 0 || x == m.nWidth - 1 || y == m.nHeight - 1) chip = CHIP_SEA;
            else if (x == kGateX && y != 7) chip = CHIP_MOUNTAIN;
            else if (x == kRidgeX) chip = CHIP_MOUNTAIN;
            else if (y == 3 && x > 3 && x < 8) chip = CHIP_MOUNTAIN;
            else if (y == 7 && x >= 2) chip = CHIP_ROAD;
            else if (y >= 10 && x >= 2 && x <= 6) chip = CHIP_FOREST;
            m.SetCell(x, y, chip);
        }
    m.nStartX = 4;
    m.nStartY = 7;

    cWorldMapEntryItem first = StageItem("はじまりの草原", "data\\stg4\\Demo-1.stg4_001", MARK_STAGE, 1, 0);
    first.bReenter = 1;
    cWorldMapEntryItem open;
    open.nKind = 1; // drawn only: the open gate lets the figure through
    open.nPicture = MARK_GATE_OPEN;
    open.nShowSwitch = 1;
    cWorldMapEntryItem shut;
    shut.nKind = 2;
    shut.nPicture = MARK_GATE_SHUT;
    cWorldMapEntryItem last = StageItem("ゴールの丘", "data\\stg4\\Demo-3.stg4_001", MARK_LAST_STAGE, 3, 2);
    last.bManualEnter = 1;
    last.nData = 2; // what follows the stage: the ending
    m.m_vEntry.clear();
    m.m_vEntry.push_back(MapEntry(6, 7, "1-1", {first}));
    m.m_vEntry.push_back(MapEntry(kGateX, 7, "関所", {open, shut}));
    m.m_vEntry.push_back(
        MapEntry(kRidgeX, 7, "1-2", {StageItem("レンガの洞窟", "data\\stg4\\Demo-2.stg4_001", MARK_STAGE, 2, 1)}));
    m.m_vEntry.push_back(MapEntry(17, 7, "1-3", {last}));
    cWorldMapEntryItem cave = StageItem("くらやみの洞窟", kDemoCaveFile, MARK_STAGE, 4, 0);
    cave.bReenter = 1;
    m.m_vEntry.push_back(MapEntry(4, 11, "洞窟", {cave}));
}

// Pictures are cells of 32 dots, ten to a row of their sheet (Block.bmp, Character1.bmp,
// Item.bmp): picture n is cell n.
enum : u16 { PIC_GROUND = 1, PIC_BRICK = 2, PIC_STONE = 3, PIC_QUESTION = 4, PIC_FLAG = 5 };
enum : i16 { CHARA_PIC_HERO = 1, CHARA_PIC_SLIME = 11, CHARA_PIC_GOAL = 21 };
enum : u16 { ITEM_PIC_COIN = 1, ITEM_PIC_HEART = 2, ITEM_PIC_GOAL = 3 };

cEdBlock Block(u16 picture, const char* name) {
    cEdBlock b;
    b.wPicture = picture;
    b.bySolid = 1;
    b.SetName(Sj(name));
    return b;
}

cEdChara Chara(i16 picture, u8 operation, const char* name, u32 hp) {
    cEdChara c;
    c.wPicture = picture;
    c.byOperation = operation;
    c.dwMaxHP = hp;
    c.nHoldItem = cEdChara::kNoItem;
    c.strName = Sj(name);
    return c;
}

cEdItem Item(u16 picture, const char* name) {
    cEdItem i;
    i.wPicture = picture;
    i.strName = Sj(name);
    return i;
}

// The goal's one command clears the stage. "World clear" names no next stage, so a story stage
// goes back to the world map (which marks it done) and a challenge stage back to the challenge
// list; the demo's stages have no numbered next parts to chain into.
cFlowCmd StageClearCommand() {
    cFlowCmd c;
    c.Clear();
    c.cmdSet = 1;
    c.cmdKind = kItemCmdStageClear;
    c.params.assign(CmdTypeRow(1, kItemCmdStageClear).nParams, 0);
    c.params[0] = kClearWorld;
    c.params[8] = 2; // facing at a given start position: as at the clear (no position is given)
    return c;
}

// The common palette: entry 0 is the empty entry of each list.
void FillCommonPalette(cCommonPalette& p) {
    p.m_vEdBlock = {cEdBlock(), Block(PIC_GROUND, "地面"), Block(PIC_BRICK, "レンガ"), Block(PIC_STONE, "石"),
                    Block(PIC_QUESTION, "ハテナ")};
    p.m_vEdChara = {cEdChara(), Chara(CHARA_PIC_HERO, 0, "主人公", 10), Chara(CHARA_PIC_SLIME, 1, "スライム", 2),
                    DemoVillager()};
    cEdItem goal = Item(ITEM_PIC_GOAL, "ゴール");
    goal.vCmd = {StageClearCommand()};
    p.m_vEdItem = {cEdItem(), Item(ITEM_PIC_COIN, "コイン"), Item(ITEM_PIC_HEART, "ハート"), goal};
}

struct STAGEPLAN {
    const char* file;
    const char* background;
    u32 width;
    const char* rows[15]; // '#' ground, 'B' brick, 'S' stone, '?' question, 'H' hero, 'E' enemy, 'T' villager,
                          // 'c' coin, 'h' heart, 'G' goal
};

const STAGEPLAN kStages[4] = {
    {"data\\stg4\\Demo-1.stg4_001", "bmp\\back\\Hills.bmp", 40,
     {"S                                      S", "S                                      S",
      "S                                      S", "S                                      S",
      "S                                      S", "S                                      S",
      "S              ccc                     S", "S             BB?BB                    S",
      "S                                      S", "S                        c c           S",
      "S                       BBBBB          S", "S  H   T   E cc               E      G S",
      "########################################", "########################################",
      "########################################"}},
    {"data\\stg4\\Demo-2.stg4_001", "bmp\\back\\Sky.bmp", 30,
     {"SSSSSSSSSSSSSSSSSSSSSSSSSSSSSS", "S                            S", "S                            S",
      "S                            S", "S          h                 S", "S        BBBBB               S",
      "S                    ccc     S", "S                   BBBBB    S", "S                            S",
      "S    ccc                     S", "S   BBBBB       E            S", "S H        E       E      G  S",
      "##############################", "##############################", "##############################"}},
    {"data\\stg4\\Demo-3.stg4_001", "bmp\\back\\Hills.bmp", 30,
     {"S                            S", "S                            S", "S                            S",
      "S                         G  S", "S                      SSSSSSS", "S                 c          S",
      "S                SSS         S", "S            c               S", "S           SSS              S",
      "S       c                    S", "S      SSS        E          S", "S H                          S",
      "######      ##################", "######      ##################", "######      ##################"}},
    {kDemoCaveFile, "bmp\\back\\Cave.bmp", 40,
     {"SSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSS", "SSSS  SSS     SS    SSSS     SS   SSSSSS",
      "SS     S       S     SS       S     SSSS", "S                                     SS",
      "S                                      S", "S                                      S",
      "S                                      S", "S                                      S",
      "S                    ccc               S", "S        ccc        SSSSS              S",
      "S                                      S", "S H          E           SS    E    G  S",
      "SSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSS", "SSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSS",
      "SSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSS"}},
};

// The challenge stages, short rooms of one screen and a half; stage n is written as
// data\stg4\cNN-1.stg4_001, the name the challenge list builds for it.
const STAGEPLAN kChallenges[kDemoChallengeStages] = {
    {nullptr, "bmp\\back\\Sky.bmp", 24,
     {"S                      S", "S                      S", "S                      S", "S                      S",
      "S                      S", "S                      S", "S                      S", "S         ccc          S",
      "S        BB?BB         S", "S                      S", "S                      S", "S H      E        E  G S",
      "########################", "########################", "########################"}},
    {nullptr, "bmp\\back\\Hills.bmp", 24,
     {"SSSSSSSSSSSSSSSSSSSSSSSS", "S                      S", "S                      S", "S                  G   S",
      "S                SSSSSSS", "S             c        S", "S            SSS       S", "S        c             S",
      "S       SSS            S", "S    c                 S", "S   SSS      E         S", "S H                    S",
      "########################", "########################", "########################"}},
    {nullptr, "bmp\\back\\Sky.bmp", 24,
     {"S                      S", "S                      S", "S                      S", "S                      S",
      "S                      S", "S                      S", "S                      S", "S                      S",
      "S           ccc        S", "S     ccc              S", "S                      S", "S H       E       h  G S",
      "######   ######   ######", "######   ######   ######", "######   ######   ######"}},
};

std::string ChallengeStageFile(int n) {
    std::string name;
    StrFormat(name, "%s%02d-1.%s_001", g_DataPath[DP_CHALLENGE_STAGE].c_str(), n, g_FileExt[1].c_str());
    return name;
}

cStage MakeStage(const STAGEPLAN& plan, const cCommonPalette& pal) {
    cStage st;
    st.Init();
    st.SetDefaultSizes();
    st.dwWidth() = plan.width;
    st.dwHeight() = 15;
    st.dwBgm() = 2;
    // The stage music is a short loop: it plays again from its start for as long as the stage
    // lasts, as the screens' music does (a flag of 0 plays it once and then leaves the stage silent).
    StageSettings::Set(st, eStage::MusicFlag, 1);
    st.ResetBackList(1);
    st.vBack[0].strPicture = plan.background;
    for (i16 y = 0; y < 15; ++y) {
        const std::string row = plan.rows[y];
        for (i16 x = 0; x < static_cast<i16>(row.size()) && x < static_cast<i16>(plan.width); ++x) {
            switch (row[static_cast<std::size_t>(x)]) {
            case '#': st.vBlock.push_back(Placed(pal.m_vEdBlock, 1, x, y)); break;
            case 'B': st.vBlock.push_back(Placed(pal.m_vEdBlock, 2, x, y)); break;
            case 'S': st.vBlock.push_back(Placed(pal.m_vEdBlock, 3, x, y)); break;
            case '?': st.vBlock.push_back(Placed(pal.m_vEdBlock, 4, x, y)); break;
            case 'H': st.vChara.push_back(Placed(pal.m_vEdChara, 1, x, y)); break;
            case 'E': st.vChara.push_back(Placed(pal.m_vEdChara, 2, x, y)); break;
            case 'T': st.vChara.push_back(Placed(pal.m_vEdChara, 3, x, y)); break;
            case 'c': st.vItem.push_back(Placed(pal.m_vEdItem, 1, x, y)); break;
            case 'h': st.vItem.push_back(Placed(pal.m_vEdItem, 2, x, y)); break;
            case 'G': st.vItem.push_back(Placed(pal.m_vEdItem, 3, x, y)); break;
            default: break;
            }
        }
    }
    return st;
}

const char kSystemIni[] =
    "Direct3D=1\n"
    "WindowMode=1\n"
    "Bpp=0\n"
    "VSync=2\n"
    "ShowFps=1\n"
    "Exit\n";

bool WriteRaw(const std::string& gamePath, const std::string& bytes, std::string& error) {
    const fs::path p = ResolvePath(gamePath);
    std::error_code ec;
    fs::create_directories(p.parent_path(), ec);
    if (!WriteFileAtomic(p, bytes)) {
        error = "cannot write " + p.string() + FileErrorCause(FileError());
        return false;
    }
    return true;
}

} // namespace

bool MakeDemoGame(const fs::path& folder, std::string& error) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return false;
    }
    const fs::path oldRoot = GetGameRoot();
    SetGameRoot(folder);
    bool ok = true;
    for (const char* dir : {"data", "data\\database", "data\\stg4", "bmp", "bmp\\plt", "wave", "bgm"})
        fs::create_directories(ResolvePath(dir), ec);

    // Each global keeps its shape; the demo's records are built in locals.
    static cDatabase db;
    FillDatabase(db);
    const DEMOEFFECTS effects = AddDemoEffects(db);
    const int swordType = AddDemoSword(db);
    if (ok && !SaveDatabases(db)) ok = false, error = "database files";
    // Records are checked against the database sizes when they are written: the demo's own, not
    // whatever database the program has loaded.
    const CMDLIMITS oldLimits = GetCmdLimits();
    PublishDatabaseLimits(db);

    static cSystemData sys;
    FillSystemData(sys);
    // Saving checks the scene music against the runtime's music list: let it see the demo's.
    const cDatabase saved = g_Database;
    g_Database = db;
    if (ok && !SaveToFile(sys, g_DataPath[DP_SYSTEM])) ok = false, error = "System.dat";
    g_Database = saved;

    static cWorldMapData map;
    FillWorldMap(map);
    if (ok && !SaveToFile(map, g_DataPath[DP_WORLDMAP])) ok = false, error = "WorldMap.dat";

    static cCommonPalette palette;
    FillCommonPalette(palette);
    ArmDemoHero(palette.m_vEdChara[1], swordType);
    AddDemoCoinScore(palette.m_vEdItem[1]);
    const DEMOACTORS actors = AddDemoActors(palette);
    const DEMOSHOOTERS shooters = AddDemoShooters(palette, effects.landing);
    GiveDemoLooks(palette, 2, actors, shooters);
    const int bigCoin = AddDemoBigCoin(palette);
    AddDemoHeroFlows(palette.m_vEdChara[1]);
    UseDemoEffects(palette, effects);
    const int goalFlag = AddDemoGoalFlag(palette);
    const int signPost = AddDemoSignPost(palette);
    if (ok && !SaveToFile(palette, g_DataPath[DP_COMMON_PALETTE])) ok = false, error = "CommonPalette.cplt4";
    // Stages read their common references against the palette just written.
    palette.Publish();
    for (const STAGEPLAN& plan : kStages) {
        static cStage stage;
        stage = MakeStage(plan, palette);
        if (&plan == &kStages[0]) PlaceDemoActors(stage, palette, actors);
        if (&plan == &kStages[0]) PlaceDemoBigCoin(stage, palette, bigCoin);
        // The sign behind the hero's start tells the buttons.
        if (&plan == &kStages[0]) PlaceDemoSignPost(stage, palette, signPost, 1, 11);
        if (&plan == &kStages[3]) DarkenDemoCave(stage);
        // The second stage's goal has its flag beside it, which clears the stage as well.
        if (&plan == &kStages[1]) PlaceDemoGoalFlag(stage, palette, goalFlag, 25, 11);
        if (&plan == &kStages[1]) PlaceDemoGunner(stage, palette, shooters);
        if (&plan == &kStages[2]) PlaceDemoBoss(stage, palette, shooters);
        // The second stage runs against two minutes, with the warning from the last thirty seconds.
        if (&plan == &kStages[1]) {
            StageSettings::Set(stage, eStage::TimeLimitOn, 1);
            StageSettings::Set(stage, eStage::TimeLimit, 120);
            StageSettings::Set(stage, eStage::TimeWarning, 30);
        }
        if (ok && !SaveToFile(stage, plan.file)) ok = false, error = plan.file;
    }
    for (int n = 1; n <= kDemoChallengeStages; ++n) {
        static cStage stage;
        stage = MakeStage(kChallenges[n - 1], palette);
        // The last challenge carries the view over its pits by itself.
        if (n == kDemoChallengeStages) {
            StageSettings::Set(stage, eStage::AutoScrollOnX, 1);
            StageSettings::Set(stage, eStage::AutoScrollSpeedX, 8); // tenths of a dot a frame
        }
        // The first challenge is the practice room: the hero's hit rectangles show.
        if (n == 1) ShowDemoHitRects(stage);
        const std::string file = ChallengeStageFile(n);
        if (ok && !SaveToFile(stage, file)) ok = false, error = file;
    }
    g_CommonPalette.Publish();

    for (const auto& [path, bytes] : MakeDemoPictures())
        if (ok) ok = WriteRaw(path, bytes, error);
    for (const auto& [path, bytes] : MakeSounds())
        if (ok) ok = WriteRaw(path, bytes, error);
    if (ok) ok = WriteRaw("bgm\\Title.mid", MakeMidi(), error);
    if (ok) {
        const std::string ogg = MakeOgg();
        if (ogg.empty()) ok = false, error = "Ogg encoder";
        else ok = WriteRaw("bgm\\Field.ogg", ogg, error);
    }
    if (ok) ok = WriteRaw("System.ini", kSystemIni, error);
    SetCmdLimits(oldLimits);
    SetGameRoot(oldRoot);
    return ok;
}
