#include "tools/DemoFlows.h"

#include "database/Text.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "tools/DemoCmdKinds.h"

namespace {

// Move directions of the movement record, key states of the key rows.
enum : i64 { MOVE_LEFT = 2, MOVE_RIGHT = 3 };
enum : int { KEY_LEFT = 1, KEY_RIGHT = 2, KEY_UP_LEFT = 5, KEY_DOWN_LEFT = 6, KEY_UP_RIGHT = 7, KEY_DOWN_RIGHT = 8,
             KEY_BUTTON1 = 11 };
enum : u8 { TRIGGER_ALWAYS = 0 };
// Pictures of the demo's sheets (cells of 32 dots).
constexpr i16 kCharaPicEnemy = 11;
constexpr i16 kCharaPicWall = 22;
constexpr i16 kCharaPicVillager = 31;
constexpr u16 kItemPicHeart = 2;
constexpr u16 kItemPicSwitch = 4;

cFlowCmd Command(u8 set, u8 kind, i16 tenths) {
    cFlowCmd c;
    c.Clear();
    c.cmdSet = set;
    c.cmdKind = kind;
    c.time = tenths;
    c.params.assign(CmdTypeRow(set, kind).nParams, 0);
    return c;
}

// A status operation: what (0 a status, 1 a variable), subject, selector (or variable scope
// and index), operator, constant.
cFlowCmd StatusOp(u8 set, u32 what, u32 subject, u32 selector, u32 op, i32 value) {
    cFlowCmd c = Command(set, set ? ITEM_STATUS_OP : CMD_STATUS_OP, 0);
    c.params[0] = what;
    c.params[3] = subject;
    c.params[4] = selector;
    c.params[5] = op;
    c.params[7] = static_cast<u32>(value);
    return c;
}

cFlow Flow(u8 trigger, std::initializer_list<cFlowCmd> cmds) {
    cFlow f;
    f.trigger = trigger;
    f.keyGap = 3;
    for (const cFlowCmd& c : cmds) f.cmds.push_back(c);
    return f;
}

cEdChara Enemy(i16 picture, const char* name) { return DemoStandingChara(picture, name, 2); }

} // namespace

cEdChara DemoStandingChara(i16 picture, const char* name, u32 hp) {
    cEdChara c;
    c.wPicture = picture;
    c.byOperation = 1;
    c.dwMaxHP = hp;
    c.strName = Sj(name);
    c.nHoldItem = cEdChara::kNoItem;
    return c;
}

cCond DemoNearHero(i32 halfBlocks) {
    cCond near;
    near.kind = 7;    // distance
    near.subject = 0; // the hero
    near.shape = 0;   // to either side
    near.value = halfBlocks;
    near.op = 0;      // within
    return near;
}

cEdChara DemoPatroller() {
    // Walks ahead on the ground, turning round at a wall or an edge; one second per run.
    cEdChara c = Enemy(kCharaPicEnemy, "パトロール");
    cFlowCmd walk = Command(0, CMD_GROUND_TURN, 10);
    NewEdMove(walk.move);
    MoveSettings::Set(*walk.move, eMove::Speed, 10); // a dot per frame
    c.vFlow.push_back(Flow(TRIGGER_ALWAYS, {walk}));
    return c;
}

cEdChara DemoJumper() {
    // Jumps three half blocks high whenever the hero is within four half blocks to either side.
    cEdChara c = Enemy(kCharaPicEnemy, "ジャンパー");
    cFlow f = Flow(TRIGGER_ALWAYS, {});
    f.conds.push_back(DemoNearHero(4));
    cFlowCmd jump = Command(0, CMD_JUMP, 10);
    jump.params[0] = 0; // no key needed
    jump.params[2] = 3; // height in half blocks
    f.cmds.push_back(jump);
    c.vFlow.push_back(f);
    return c;
}

cEdChara DemoWall() {
    // A block character that stands until the switch's stage variable is set, then goes (its HP
    // falls to 0).
    cEdChara c = Enemy(kCharaPicWall, "かべ");
    c.dwMaxHP = 1;
    CharaSettings::Set(c, eChara::BlockChara, 1);
    cFlow f = Flow(TRIGGER_ALWAYS, {StatusOp(0, 0, 0, 1, 0, 0)});
    cCond open;
    open.kind = 2; // stage variable
    open.index = kDemoSwitchVar;
    open.value = 1;
    open.op = 0;
    f.conds.push_back(open);
    c.vFlow.push_back(f);
    return c;
}

cEdChara DemoVillager(u32 tenths) {
    cEdChara c = Enemy(kCharaPicVillager, "村人");
    c.dwMaxHP = 1;
    cFlow f = Flow(TRIGGER_ALWAYS, {});
    cCond notYet;
    notYet.kind = 2; // stage variable
    notYet.index = kDemoTalkVar;
    notYet.value = 0;
    notYet.op = 0; // equal
    f.conds = {notYet, DemoNearHero(4)};
    cFlowCmd count = Command(0, CMD_CODE, 0);
    static_assert(kDemoTalkVar == 2 && kDemoTalkCounter == 10, "the texts name the variables");
    count.text = "S2 = 1 C10 = C10 + 1";
    cFlowCmd say = Command(0, CMD_MESSAGE, 0);
    say.params[0] = 1;  // above himself
    say.params[5] = 1;  // kept on screen
    say.params[6] = 2;  // shown for a time
    say.params[7] = tenths;
    say.params[8] = 1;  // the game waits meanwhile
    say.params[9] = 1;  // with the variables' values
    say.params[14] = 1; // in the font's frame
    say.text = Sj("やあ、旅の人！\n私に会いに来たのは #C10 回目だね。");
    f.cmds = {count, say};
    c.vFlow.push_back(f);
    return c;
}

cEdItem DemoLifeItem() {
    cEdItem i;
    i.wPicture = kItemPicHeart;
    i.strName = Sj("1UP");
    i.vCmd.push_back(StatusOp(1, 0, 5, 4, 1, 1)); // system: lives += 1
    return i;
}

cEdItem DemoSwitch() {
    cEdItem i;
    i.wPicture = kItemPicSwitch;
    i.strName = Sj("スイッチ");
    cFlowCmd set = StatusOp(1, 1, 0, 0, 0, 1); // stage variable = 1
    set.params[1] = 1;
    set.params[2] = static_cast<u32>(kDemoSwitchVar);
    i.vCmd.push_back(set);
    return i;
}

void AddDemoCoinScore(cEdItem& coin) {
    coin.vCmd.push_back(StatusOp(1, 0, 5, 3, 1, 100)); // system: score += 100
}

void AddDemoHeroFlows(cEdChara& hero) {
    // Steps of a tenth of a second while the direction is held (the key row in hold mode).
    auto walk = [](i64 direction, std::initializer_list<int> keys) {
        cFlow f = Flow(TRIGGER_ALWAYS, {});
        f.keyLatch = 1;
        cKeyCond row;
        for (int k : keys) row.keys[k] = 1; // pressed
        row.anyLength = 1;
        row.mode = 1; // one or more
        f.keyConds.push_back(row);
        cFlowCmd step = Command(0, CMD_LINE, 1); // a tenth of a second
        NewEdMove(step.move);
        MoveSettings::Set(*step.move, eMove::Direction, direction);
        MoveSettings::Set(*step.move, eMove::Speed, 30); // three dots a frame
        f.cmds.push_back(step);
        return f;
    };
    hero.vFlow.push_back(walk(MOVE_LEFT, {KEY_LEFT, KEY_UP_LEFT, KEY_DOWN_LEFT}));
    hero.vFlow.push_back(walk(MOVE_RIGHT, {KEY_RIGHT, KEY_UP_RIGHT, KEY_DOWN_RIGHT}));
    // The jump: on the frame button 1 goes down (the key row in edge mode).
    cFlow jump = Flow(TRIGGER_ALWAYS, {});
    cKeyCond press;
    press.keys[KEY_BUTTON1] = 1;
    press.minFrames = 1;
    press.maxFrames = 1;
    jump.keyConds.push_back(press);
    // Held for the full height: let go early and the rise is cut short. (A jump that needs no
    // key goes up again at each landing for as long as its command runs.)
    cFlowCmd up = Command(0, CMD_JUMP, 0);
    up.params[0] = 1; // while the key is held
    up.params[2] = 5; // half blocks
    jump.cmds.push_back(up);
    hero.vFlow.push_back(jump);
}

DEMOACTORS AddDemoActors(cCommonPalette& p) {
    DEMOACTORS a;
    a.patroller = p.m_vEdChara.Size();
    p.m_vEdChara.push_back(DemoPatroller());
    a.jumper = p.m_vEdChara.Size();
    p.m_vEdChara.push_back(DemoJumper());
    a.wall = p.m_vEdChara.Size();
    p.m_vEdChara.push_back(DemoWall());
    a.life = p.m_vEdItem.Size();
    p.m_vEdItem.push_back(DemoLifeItem());
    a.sw = p.m_vEdItem.Size();
    p.m_vEdItem.push_back(DemoSwitch());
    return a;
}

cEdChara PlaceDemoChara(const cCommonPalette& p, int index, i16 x, i16 y) { return Placed(p.m_vEdChara, index, x, y); }
cEdItem PlaceDemoItem(const cCommonPalette& p, int index, i16 x, i16 y) { return Placed(p.m_vEdItem, index, x, y); }

void PlaceDemoActors(cStage& st, const cCommonPalette& p, const DEMOACTORS& a) {
    st.vChara.push_back(PlaceDemoChara(p, a.patroller, 14, 11));
    st.vChara.push_back(PlaceDemoChara(p, a.jumper, 21, 11));
    st.vItem.push_back(PlaceDemoItem(p, a.life, 27, 9));
    st.vItem.push_back(PlaceDemoItem(p, a.sw, 24, 11));
    // The column before the goal: stones from the top to the wall, which closes the one gap.
    for (i16 y = 0; y <= 10; ++y) {
        cEdBlock stone = Placed(p.m_vEdBlock, 3, 35, y);
        st.vBlock.push_back(stone);
    }
    st.vChara.push_back(PlaceDemoChara(p, a.wall, 35, 11));
}
