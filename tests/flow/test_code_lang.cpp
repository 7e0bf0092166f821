// The code command's language, run against plain values: each statement starts from the same
// state and the trace lists what it changed, what it returned, the boxes and the reports.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "flow/TextLimit.h"
#include "tests/flow/FakeCodeHost.h"
#include "tests/support/ScratchGame.h"

namespace {

// Each line: a statement (after the host's set-up in brackets: "unlimited" lives, read as 0 with
// "unlimited0", or "noplayer"), what it returned, what it changed, the boxes and the reports.
const char* const kGolden = R"GOLD(my.v1 = 1+2 => 1 | my.v1 0->1
my.v1 = 1 + 2 => 1 | my.v1 0->3
C5 = C5 + 1 * 3 => 1 | C5 10->13
C5 = 7 / -2 => 1 | C5 10->-3
C5 = -7 % 2 => 1 | C5 10->-1
C5 = 1 / 0 => 0 | box: 0除算が行われました！(C5 = 1 / 0)
C5 = 7 % 0 => 0 | box: 0除算が行われました！(C5 = 7 % 0)
hp = 99999 => 1 | my.hp 100->300 | hp gauge 200
mhp = 0 => 1 | my.hp 100->1 my.mhp 300->1 | hp gauge -99
msp = 50 => 1 | my.sp 0->1 | sp gauge 1
tg.hp = 0 => 1 | tg.hp 100->0 | death check
hp = 0 => 1 | my.hp 100->0 | hp gauge -100
sp = sp + 20 => 1 | my.sp 0->20 | sp gauge 20
[unlimited] sys.life = 5 => 1 | sys4=999999
[unlimited] C1 = life => 1 | C1 0->100
[unlimited0] C1 = sys.life => 1
sys.life = sys.life + 200 => 1 | sys4 3->99 | sys4=99
my.v1 = rand(6, 1) => 1 | my.v1 0->6
my.v1 = rand(1) => 0 | box: 関数 rand の引数が不正です！
my.v1 = rand(1,,6) => 1 | my.v1 0->6
my.v1 = rand(1, 6 => 0 | box: ")"が見つかりません！
my.v1 = (2 + 3) * 2 => 1 | my.v1 0->10
my.v1 = 2 + 3 * 2 => 1 | my.v1 0->8
my.v1 = 10 - 4 - 3 => 1 | my.v1 0->3
my.v1 = 20 / 2 / 5 => 1 | my.v1 0->2
tg2.hp = 1 => 0
C1 = tg4.hp => 0
xx.hp = 1 => 0 | box: オブジェクト "xx." が認識できません！
C1 = xx.hp => 1 | C1 0->100
C1 = C2 = 1 => 0 | C1 0->20 | box: 代入先が不正です！
C1 = - 5 => 1
my.v1 = 1.5 => 1 | my.v1 0->5
C1 = C7(1) => 1 | C1 0->70
C1 = foo(1) + 2 => 1 | C1 0->2
C1 = 2147483647 + 1 => 1 | C1 0->-999999
C1 = (0 - 2147483647 - 1) / -1 => 1 | C1 0->-999999
C1 = (0 - 2147483647 - 1) % -1 => 1
C1 = 65536 * 65536 => 1
C1 = 99999999999999 => 1 | C1 0->999999
C1 = C1000 + C1001 => 1 | C1 0->1 | report: err V[1001] ( 1001 , 4 )
S999 = 4 => 1 | S999 0->4
S1000 = 4 => 1 | S0 0->4 | report: err V[1000] ( 1000 , 4 )
C3 = 5 + => 1 | C3 30->35 | report: err V[4] ( 4 , 48 )
= 5 => 0 | box: 代入先が不正です！ | report: err V[-1] ( 2 , 48 )
cid = 300 => 1 | my.cid 3->99
mark = -5 => 1 | my.mark 2->0
imp = -100 => 1 | my.imp 1->-20
stop = 70000 => 1 | my.stop 5->200
sight = 3 => 1 | my.sight 10->3 | chara sight 3
pl.sight = 41 => 1 | pl.sight 10->40 | player sight 40
sys.scrlx = 1000 => 1 | sys1 5->480 | sys1=480
scrly = -3 => 1 | sys2 0->-3 | sys2=-3
sys.time = sys.time + 10 => 1 | sys0 120->130 | sys0=130
score = -1 => 1 | sys3 1000->0 | sys3=0
sys.hp = 1 => 0 | box: ステータスの識別エラー（未定義？）
my.v1 = (1 => 0 | box: ")"が見つかりません！
C1 = (C2 = 7) + 1 => 1 | C1 0->8 C2 20->7
C3 = (1 / 0) + 4 => 0 | C3 30->4 | box: 0除算が行われました！(1 / 0)
tg3.v2 = pl.getsc * 2 => 1 | tg3.v2 0->200
[noplayer] C1 = 1 + pl.hp => 0 | report: コードの実行: 主人公がいないため pl を使えません。
C1 = 5 C2 = 6 => 1 | C1 0->5 C2 20->6
C1 = C  +  Cx => 1 | C1 0->2
   => 1
my.v8 = -1000000 => 1 | my.v8 0->-999999
C1 = ((2 + 3) * (4 - 1)) => 1 | C1 0->15
v9 = 1 => 0 | box: 代入先が不正です！
)GOLD";

} // namespace

TEST(CodeLang, StatementsTrace) {
    ScratchGame game;
    std::istringstream golden(kGolden);
    std::ostringstream trace;
    for (std::string line; std::getline(golden, line);) {
        const std::string setup = line.starts_with("[") ? line.substr(1, line.find(']') - 1) : "";
        const std::size_t from = setup.empty() ? 0 : setup.size() + 3;
        const std::string text = line.substr(from, line.find(" => ") - from);
        FakeHost host;
        host.common[0] = 1;
        host.common[2] = 20;
        host.common[3] = 30;
        host.common[5] = 10;
        host.common[7] = 70;
        if (setup.starts_with("unlimited")) {
            host.sys[CODE_LIFE] = 999999;
            host.unlimitedReadZero = setup == "unlimited0";
        }
        host.hasPlayer = setup != "noplayer";
        std::filesystem::remove(game.Dir() / "Report_Game.txt");
        game.boxes.clear();
        const auto before = host.Values();
        const i32 ok = ExecCodeText(text, host);
        trace << line.substr(0, from) << text << " => " << ok;
        std::string changes;
        for (const auto& [name, value] : host.Values()) {
            const i32 old = before.at(name);
            if (old != value) changes += (changes.empty() ? "" : " ") + name + " " + std::to_string(old) + "->" + std::to_string(value);
        }
        if (!changes.empty()) trace << " | " << changes;
        for (const std::string& e : host.events) trace << " | " << e;
        for (const std::string& b : game.boxes) trace << " | box: " << b;
        std::istringstream report(game.Report());
        for (std::string r; std::getline(report, r);) {
            if (!r.empty() && r.back() == '\r') r.pop_back();
            if (!r.empty()) trace << " | report: " << r;
        }
        trace << "\n";
    }
    EXPECT_EQ(trace.str(), kGolden);
}

TEST(CodeLang, LongTextsAreCutToTheBuffer) {
    FakeHost host;
    // 5,119 bytes are worked; the rest of the statement is never seen.
    std::string text = "C1 = 1" + std::string(5119 - 6 - 3, ' ') + "+ 2";
    EXPECT_EQ(ExecCodeText(text, host), 1);
    EXPECT_EQ(host.common[1], 3);
    text += "00";
    EXPECT_EQ(ExecCodeText(text, host), 1);
    EXPECT_EQ(host.common[1], 3);
}

// Substrings of statements never reach outside them: a negative start shortens the count, a
// start past the end or a count of 0 is empty, -1 or a count past the end is the rest.
TEST(CodeLang, StrMidToleratesPositionsOutsideTheText) {
    const std::string t = "C1=(2)";
    const struct {
        long long pos, n;
        const char* want;
    } cases[] = {{0, 2, "C1"}, {-2, 4, "C1"}, {-6, 4, ""}, {3, -1, "(2)"}, {4, 99, "2)"},
                 {6, 1, ""},   {99, -1, ""},  {2, 0, ""},   {-1, -1, "C1=(2)"}, {1, -5, ""}};
    for (const auto& c : cases) EXPECT_EQ(StrMid(t, c.pos, c.n), c.want) << c.pos << " " << c.n;
    // Groups at the very start and end of a statement, and an empty group, are cut right.
    FakeHost host;
    EXPECT_EQ(ExecCodeText("C2 = (3)", host), 1);
    EXPECT_EQ(host.common[2], 3);
    EXPECT_EQ(ExecCodeText("C3 = () + 4", host), 1);
    EXPECT_EQ(host.common[3], 4);
}
