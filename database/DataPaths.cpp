#include "database/DataPaths.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "database/Text.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"

const std::array<std::string, DATAPATH_COUNT> g_DataPath = {
    "data\\",
    "default\\",
    "data\\stg4\\old_ver\\",
    "data\\work\\",
    "e_data\\EditConfig.dat",
    "data\\PrjOption.dat",
    "default\\PrjOption.dat",
    "data\\CommonPalette.cplt4",
    "default\\CommonPalette.cplt4",
    "data\\GValInfo.dat",
    "default\\GValInfo.dat",
    "data\\stg4\\Default.stg4_***",
    "default\\stg4\\Default.stg4_***",
    "data\\WorldMap.dat",
    "default\\WorldMap.dat",
    "data\\database\\AnimeSet.dat",
    "default\\database\\AnimeSet.dat",
    "data\\database\\Anime.dat",
    "default\\database\\Anime.dat",
    "data\\database\\Bmp_CharaExc.dat",
    "default\\database\\Bmp_CharaExc.dat",
    "data\\database\\SwordType.dat",
    "default\\database\\SwordType.dat",
    "data\\database\\Effect.dat",
    "default\\database\\Effect.dat",
    "data\\database\\CharaEffect.dat",
    "default\\database\\CharaEffect.dat",
    "data\\database\\ScrEffect.dat",
    "default\\database\\ScrEffect.dat",
    "data\\database\\Picture.dat",
    "default\\database\\Picture.dat",
    "data\\database\\Sound.dat",
    "default\\database\\Sound.dat",
    "data\\database\\Bgm.dat",
    "default\\database\\Bgm.dat",
    "data\\System.dat",
    "default\\System.dat",
    "data\\stg4\\c",
    "user_data\\story\\",
    "user_data\\challenge\\",
    "user_data\\free\\",
    "user_data\\story\\Story",
    "user_data\\challenge\\Challenge.dat",
    "user_data\\Option.dat",
    "user_data\\",
    "user_data\\KeyConfig.dat",
    "user_data\\Boot.dat",
    "user_data\\Window.dat",
};

const std::array<std::string, 4> g_FileExt = {"cplt4", "stg4", "plt4", "rkg"};

const char* const g_StartFolders[23] = {
    "user_data", "user_data\\story", "user_data\\challenge", "user_data\\free", "user_data\\rpl4",
    "data", "data\\database", "data\\stg4", "data\\stg4\\old_ver", "data\\work", "data\\plt4",
    "bmp", "bmp\\back", "bmp\\chara_sp", "bmp\\effect", "bmp\\picture", "bmp\\sword",
    "bmp\\convert", "bmp\\plt", "bmp\\hbt", "wave", "bgm", nullptr};

namespace {

struct SLOTROW {
    const char* name; // UTF-8
    u32 w[10];
    int alias;
};

// clang-format off
const SLOTROW kSlots[SURFACE_COUNT] = {
    {"bmp\\plt\\Palette.bmp",  {0,1,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\Debug.bmp",         {1,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\Block.bmp",         {1,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\Block.bmp",         {1,1,0,1,0,0,0,0,0,0}, 2},
    {"bmp\\Character1.bmp",    {1,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\Character1.bmp",    {1,0,0,1,0,0,32,0,0,0}, 4},
    {"bmp\\Character2.bmp",    {1,0,0,0,0,1,0,0,0,0}, -1},
    {"bmp\\Character2.bmp",    {1,0,0,1,0,1,32,0,0,0}, 6},
    {"bmp\\Character3.bmp",    {1,0,0,0,0,1,0,0,0,0}, -1},
    {"bmp\\Character3.bmp",    {1,0,0,1,0,1,32,0,0,0}, 8},
    {"bmp\\Character4.bmp",    {1,0,0,0,0,1,0,0,0,0}, -1},
    {"bmp\\Character4.bmp",    {1,0,0,1,0,1,32,0,0,0}, 10},
    {"bmp\\Character5.bmp",    {1,0,0,0,0,1,0,0,0,0}, -1},
    {"bmp\\Character5.bmp",    {1,0,0,1,0,1,32,0,0,0}, 12},
    {"bmp\\Character6.bmp",    {1,0,0,0,0,1,0,0,0,0}, -1},
    {"bmp\\Character6.bmp",    {1,0,0,1,0,1,32,0,0,0}, 14},
    {"bmp\\Character7.bmp",    {1,0,0,0,0,1,0,0,0,0}, -1},
    {"bmp\\Character7.bmp",    {1,0,0,1,0,1,32,0,0,0}, 16},
    {"bmp\\Character8.bmp",    {1,0,0,0,0,1,0,0,0,0}, -1},
    {"bmp\\Character8.bmp",    {1,0,0,1,0,1,32,0,0,0}, 18},
    {"bmp\\Shot.bmp",          {1,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\Shot.bmp",          {1,0,0,1,0,0,16,0,0,0}, 20},
    {"bmp\\Character1.bmp",    {1,1,0,1,0,0,0,0,0,0}, 4},
    {"bmp\\Character1.bmp",    {1,1,0,1,0,0,32,0,0,0}, 4},
    {"bmp\\Character2.bmp",    {1,1,0,1,0,1,0,0,0,0}, 6},
    {"bmp\\Character2.bmp",    {1,1,0,1,0,1,32,0,0,0}, 6},
    {"bmp\\Character3.bmp",    {1,1,0,1,0,1,0,0,0,0}, 8},
    {"bmp\\Character3.bmp",    {1,1,0,1,0,1,32,0,0,0}, 8},
    {"bmp\\Character4.bmp",    {1,1,0,1,0,1,0,0,0,0}, 10},
    {"bmp\\Character4.bmp",    {1,1,0,1,0,1,32,0,0,0}, 10},
    {"bmp\\Character5.bmp",    {1,1,0,1,0,1,0,0,0,0}, 12},
    {"bmp\\Character5.bmp",    {1,1,0,1,0,1,32,0,0,0}, 12},
    {"bmp\\Character6.bmp",    {1,1,0,1,0,1,0,0,0,0}, 14},
    {"bmp\\Character6.bmp",    {1,1,0,1,0,1,32,0,0,0}, 14},
    {"bmp\\Character7.bmp",    {1,1,0,1,0,1,0,0,0,0}, 16},
    {"bmp\\Character7.bmp",    {1,1,0,1,0,1,32,0,0,0}, 16},
    {"bmp\\Character8.bmp",    {1,1,0,1,0,1,0,0,0,0}, 18},
    {"bmp\\Character8.bmp",    {1,1,0,1,0,1,32,0,0,0}, 18},
    {"bmp\\Shot.bmp",          {1,1,0,1,0,0,0,0,0,0}, 20},
    {"bmp\\Shot.bmp",          {1,1,0,1,0,0,16,0,0,0}, 20},
    {"bmp\\Item.bmp",          {1,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\Item.bmp",          {1,1,0,1,0,0,0,0,0,0}, 40},
    {"bmp\\Item_Mini.bmp",     {1,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\Mark.bmp",          {1,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\Mark.bmp",          {1,1,0,1,0,0,0,0,0,0}, 43},
    {"bmp\\Window.bmp",        {0,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\StatusWindow.bmp",  {1,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\Title.bmp",         {0,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\GameMode.bmp",      {1,0,0,0,0,1,0,0,0,0}, -1},
    {"bmp\\Accessory.bmp",     {1,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\Symbol.bmp",        {1,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\Word.bmp",          {1,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\WorldMapChip.bmp",  {1,0,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\WorldEvent.bmp",    {1,1,0,0,0,0,0,0,0,0}, -1},
    {"bmp\\WorldBack.bmp",     {0,1,0,0,0,1,0,0,0,0}, -1},
    {"背景その1.bmp",          {1,0,0,0,0,1,0,0,0,0}, -1},
    {"背景その2.bmp",          {1,0,0,0,0,1,0,0,0,0}, -1},
    {"背景その3.bmp",          {1,0,0,0,0,1,0,0,0,0}, -1},
    {"背景その4.bmp",          {1,0,0,0,0,1,0,0,0,0}, -1},
    {"背景その5.bmp",          {1,0,0,0,0,1,0,0,0,0}, -1},
    {"背景その6.bmp",          {1,0,0,0,0,1,0,0,0,0}, -1},
    {"背景その7.bmp",          {1,0,0,0,0,1,0,0,0,0}, -1},
    {"背景その8.bmp",          {1,0,0,0,0,1,0,0,0,0}, -1},
    {"E",                      {1,1,0,0,0,0,0,0,256,960}, -1},
    {"E",                      {1,1,0,0,0,0,0,0,256,960}, -1},
    {"E",                      {1,1,0,0,0,0,0,0,640,480}, -1},
    {"E",                      {0,1,0,0,0,0,0,0,640,480}, -1},
    {"E",                      {1,0,0,0,0,0,0,0,640,480}, -1},
    {"E",                      {1,1,0,1,0,0,0,0,640,480}, 67},
    {"E",                      {1,0,2,0,0,0,0,0,1024,1024}, -1},
    {"E",                      {1,1,1,0,0,0,0,0,1024,1024}, -1},
};
// clang-format on

void CopyName(char* dst, std::size_t size, const std::string& src) {
    std::memset(dst, 0, size);
    std::memcpy(dst, src.data(), src.size() < size - 1 ? src.size() : size - 1);
}

std::array<DDPICTUREDEF, SURFACE_COUNT> MakeSurfaceFiles() {
    std::array<DDPICTUREDEF, SURFACE_COUNT> t{};
    for (int i = 0; i < SURFACE_COUNT; ++i) {
        const u32* w = kSlots[i].w;
        t[i].file = Sj(kSlots[i].name);
        t[i].colorKey = w[0];
        t[i].memoryType = w[1];
        t[i].d3dMemoryType = w[2];
        t[i].noOwnTexture = w[3];
        t[i].buildIndexMap = w[4];
        t[i].optional = w[5];
        t[i].mirrorW = static_cast<i32>(w[6]);
        t[i].mirrorH = static_cast<i32>(w[7]);
        t[i].width = static_cast<i32>(w[8]);
        t[i].height = static_cast<i32>(w[9]);
    }
    return t;
}

std::array<DDPICTUREDEF, 3> MakeWorkSurfaceDefs() {
    std::array<DDPICTUREDEF, 3> t{};
    for (auto& d : t) d.colorKey = 1;
    return t;
}

std::array<FONTDEF, 3> MakeFontDefs() {
    std::array<FONTDEF, 3> t{};
    const u32 sizes[3][3] = {{9, 10, 10}, {16, 16, 16}, {30, 32, 32}};
    const std::string face = Sj("ＭＳ ゴシック");
    for (int i = 0; i < 3; ++i) {
        CopyName(t[i].face, sizeof t[i].face, face);
        t[i].width = 0; // chosen from the height
        t[i].height = sizes[i][0];
        t[i].cellWidth = sizes[i][1];
        t[i].cellHeight = sizes[i][2];
        t[i].color = 241;
        t[i].frameSlot = 45;
        t[i].border = 1;
        t[i].frameColor = 240;
        t[i].iconSlot = 50;
        t[i].fastFont = i < 2 ? 2 : 0; // 2: the cache setting of System.ini
    }
    return t;
}

std::array<std::string, FONTFACE_COUNT + 1> MakeFontFaces() {
    static const char* const kFaces[FONTFACE_COUNT] = {
        "System", "Terminal", "FixedSys", "Roman", "Script", "Modern", "Small Fonts", "MS Serif",
        "WST_Czec", "WST_Engl", "WST_Fren", "WST_Germ", "WST_Ital", "WST_Span", "WST_Swed",
        "Courier", "MS Sans Serif", "Marlett", "Arial", "Arial CE", "Arial CYR", "Arial Greek",
        "Arial TUR", "Arial Baltic", "Courier New", "Courier New CE", "Courier New CYR",
        "Courier New Greek", "Courier New TUR", "Courier New Baltic", "Lucida Console",
        "Lucida Sans Unicode", "Times New Roman", "Times New Roman CE", "Times New Roman CYR",
        "Times New Roman Greek", "Times New Roman TUR", "Times New Roman Baltic", "Wingdings",
        "Symbol", "Verdana", "Arial Black", "Comic Sans MS", "Impact", "Georgia",
        "Franklin Gothic Medium", "Palatino Linotype", "Tahoma", "Trebuchet MS", "Webdings",
        "Estrangelo Edessa", "Gautami", "Latha", "Mangal", "MV Boli", "Raavi", "Shruti", "Tunga",
        "Sylfaen", "ＭＳ ゴシック", "ＭＳ Ｐゴシック", "MS UI Gothic", "ＭＳ 明朝", "ＭＳ Ｐ明朝",
        "Microsoft Sans Serif", "Gulim", "GulimChe", "Dotum", "DotumChe", "Batang", "BatangChe",
        "Gungsuh", "GungsuhChe", "SimSun", "NSimSun", "SimSun-PUA", "SimHei", "MingLiU",
        "PMingLiU", "Arial Narrow", "Book Antiqua", "Bookman Old Style", "Century",
        "Century Gothic", "Garamond", "MS Outlook", "HGｺﾞｼｯｸE", "HGPｺﾞｼｯｸE", "HGSｺﾞｼｯｸE",
        "HG丸ｺﾞｼｯｸM-PRO", "HG創英角ｺﾞｼｯｸUB", "HGP創英角ｺﾞｼｯｸUB", "HGS創英角ｺﾞｼｯｸUB",
        "HG創英角ﾎﾟｯﾌﾟ体", "HGP創英角ﾎﾟｯﾌﾟ体", "HGS創英角ﾎﾟｯﾌﾟ体", "HG正楷書体-PRO", "InMusicSym",
        "Kartika", "Vrinda", "メイリオ", "MT Extra", "HGｺﾞｼｯｸM", "HGPｺﾞｼｯｸM", "HGSｺﾞｼｯｸM",
        "HG行書体", "HGP行書体", "HGS行書体", "HG教科書体", "HGP教科書体", "HGS教科書体",
        "HG明朝B", "HGP明朝B", "HGS明朝B", "HG明朝E", "HGP明朝E", "HGS明朝E",
        "HG創英ﾌﾟﾚｾﾞﾝｽEB", "HGP創英ﾌﾟﾚｾﾞﾝｽEB", "HGS創英ﾌﾟﾚｾﾞﾝｽEB", "OCRB", "Sydnie"};
    std::array<std::string, FONTFACE_COUNT + 1> t;
    for (int i = 0; i < FONTFACE_COUNT; ++i) t[i] = Sj(kFaces[i]);
    return t;
}

} // namespace

std::array<DDPICTUREDEF, SURFACE_COUNT> g_SurfaceFile = MakeSurfaceFiles();
std::array<DDPICTUREDEF, 3> g_WorkSurfaceDef = MakeWorkSurfaceDefs();
std::array<FONTDEF, 3> g_FontDef = MakeFontDefs();
const std::array<std::string, FONTFACE_COUNT + 1> g_FontFace = MakeFontFaces();

int SurfaceAlias(int slot) { return slot >= 0 && slot < SURFACE_COUNT ? kSlots[slot].alias : -1; }

void LinkSurfaceAliases(int* aliasOfSlot) {
    for (int i = 0; i < SURFACE_COUNT; ++i) aliasOfSlot[i] = kSlots[i].alias;
}

const std::string& FontFaceFor(u32 index) {
    if (index < static_cast<u32>(FONTFACE_COUNT)) return g_FontFace[index];
    WriteReport("フォント番号 %u が範囲外のため %d 番を使います。", index, FONTFACE_DEFAULT);
    return g_FontFace[FONTFACE_DEFAULT];
}

void ApplyFontFace(u32 index) {
    const std::string& face = FontFaceFor(index);
    for (FONTDEF& d : g_FontDef) CopyName(d.face, sizeof d.face, face);
}

int CreateDefaultData(HWND /*owner*/) {
    namespace fs = std::filesystem;
    if (IsDirectory(g_DataPath[DP_DATA])) return 1;
    if (!IsDirectory(g_DataPath[DP_DEFAULT])) return 0;
    if (MesBox("データが存在しません！デフォルトデータを作成しますか？\n", "デフォルトデータ作成の確認", MB_YESNO) !=
        IDYES)
        return 0;
    const fs::path src = ResolvePath("default");
    const fs::path dst = ResolvePath("data");
    std::error_code ec;
    // The contents of default become data (not data/default).
    fs::copy(src, dst, fs::copy_options::recursive, ec);
    if (!ec) return 1;
    WriteReport("default -> data のコピーに失敗しました。(%s)", ec.message().c_str());
    fs::remove_all(dst, ec);
    return 0;
}

void CreateStartFolders() {
    for (int i = 0; g_StartFolders[i]; ++i) MakeDirectory(g_StartFolders[i]);
}
