#include "tools/DemoLooks.h"

#include "database/Text.h"
#include "records/CharaSettings.h"
#include "records/StageSettings.h"

namespace {

constexpr i64 kFoeSide = 1;
enum : u8 { PICTURE_BITMAP = 4 };
enum : i64 { RECT_TINTED = 1, RECT_FRAMED = 2, RECT_RED = 0, RECT_GREEN = 1 };
constexpr u16 kItemPicCoin = 1;
constexpr u8 kItemCmdStatusOp = 7;

// A foe: on the other side from the hero, hurting it by a touch.
void MakeFoe(cEdChara& c) {
    CharaSettings::Set(c, eChara::Side, kFoeSide);
    CharaSettings::Set(c, eChara::BodyPower, 1);
}

} // namespace

void GiveDemoLooks(cCommonPalette& p, int slime, const DEMOACTORS& a, const DEMOSHOOTERS& s) {
    MakeFoe(p.m_vEdChara[slime]);
    MakeFoe(p.m_vEdChara[a.patroller]);
    p.m_vEdChara[a.patroller].wPicture = kDemoPicBlueSlime;
    MakeFoe(p.m_vEdChara[a.jumper]);
    p.m_vEdChara[a.jumper].wPicture = kDemoPicYellowSlime;
    MakeFoe(p.m_vEdChara[s.gunner]);
    p.m_vEdChara[s.gunner].wPicture = kDemoPicRedSlime;
    // Twice the size of the others, drawn from a bitmap of that size as it stands.
    cEdChara& boss = p.m_vEdChara[s.boss];
    MakeFoe(boss);
    boss.byPictureKind = PICTURE_BITMAP;
    boss.wPicture = kDemoBossBitmap;
}

int AddDemoBigCoin(cCommonPalette& p) {
    cEdItem coin;
    coin.wPicture = kItemPicCoin;
    coin.bySize = 2;
    coin.strName = Sj("大コイン");
    // The stage's score + 1000 (a status operation on the system's score).
    cFlowCmd add;
    add.Clear();
    add.cmdSet = 1;
    add.cmdKind = kItemCmdStatusOp;
    add.params.assign(CmdTypeRow(1, kItemCmdStatusOp).nParams, 0);
    add.params[3] = 5;    // the system
    add.params[4] = 3;    // the score
    add.params[5] = 1;    // added
    add.params[7] = 1000;
    coin.vCmd.push_back(add);
    p.m_vEdItem.push_back(coin);
    return p.m_vEdItem.Size() - 1;
}

void PlaceDemoBigCoin(cStage& st, const cCommonPalette& p, int bigCoin) {
    st.vItem.push_back(PlaceDemoItem(p, bigCoin, 9, 9));
}

void ShowDemoHitRects(cStage& st) {
    StageSettings::Set(st, eStage::RectShowBody, RECT_TINTED);
    StageSettings::Set(st, eStage::RectColourBody, RECT_RED);
    StageSettings::Set(st, eStage::RectShowPickup, RECT_FRAMED);
    StageSettings::Set(st, eStage::RectColourPickup, RECT_GREEN);
}
