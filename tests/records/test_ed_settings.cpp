// The named settings of the movement and shot records, and the label tables.
#include <gtest/gtest.h>

#include <string>

#include "records/Cond.h"
#include "records/EdSettings.h"
#include "records/Flow.h"
#include "records/FlowLabels.h"

TEST(EdSettings, EveryEntryNamesAFieldOfTheRecord) {
    cEdMove m;
    const int moveFields = m.FieldCount();
    EXPECT_EQ(moveFields, 33);
    for (int i = 0; i < static_cast<int>(eMove::Count); ++i) {
        const NAMEDFIELD& e = MoveSettings::Entry(static_cast<eMove>(i));
        ASSERT_NE(e.name, nullptr) << i;
        EXPECT_GE(e.field, 1) << e.name;
        EXPECT_LE(e.field, moveFields) << e.name;
        EXPECT_LT(static_cast<u32>(e.element), m.Field(e.field - 1).count) << e.name;
        EXPECT_EQ(e.chosen, e.why != nullptr) << e.name;
    }
    cEdShot s;
    const int shotFields = s.FieldCount();
    EXPECT_EQ(shotFields, 64);
    for (int i = 0; i < static_cast<int>(eShot::Count); ++i) {
        const NAMEDFIELD& e = ShotSettings::Entry(static_cast<eShot>(i));
        ASSERT_NE(e.name, nullptr) << i;
        EXPECT_GE(e.field, 1) << e.name;
        EXPECT_LE(e.field, shotFields) << e.name;
        EXPECT_LT(static_cast<u32>(e.element), s.Field(e.field - 1).count) << e.name;
        EXPECT_EQ(e.chosen, e.why != nullptr) << e.name;
    }
}

TEST(EdSettings, NamedAccessReadsTheNumberedFields) {
    std::shared_ptr<cEdShot> s;
    NewEdShot(s);
    s->wFormation[2] = -5;
    s->wMoveType[1] = 300;
    s->dwPower = static_cast<u32>(-999999);
    s->cTargetSlotA = -1;
    s->wSummonIndex = 12;
    EXPECT_EQ(ShotSettings::Get(*s, eShot::KindParam3), -5);
    EXPECT_EQ(ShotSettings::Get(*s, eShot::AimParam2), 300);
    EXPECT_EQ(ShotSettings::Get(*s, eShot::Power), -999999);
    EXPECT_EQ(ShotSettings::Get(*s, eShot::TargetSlot), -1);
    EXPECT_EQ(ShotSettings::Get(*s, eShot::PaletteIndex), 12);
    EXPECT_EQ(ShotSettings::Get(*s, eShot::Scale), 1);
    ShotSettings::Set(*s, eShot::Speed, -200);
    EXPECT_EQ(s->wSpeed, -200);
    ShotSettings::Set(*s, eShot::Invisible, 0x101); // narrowed to the byte
    EXPECT_EQ(s->byOpt22, 1);

    std::shared_ptr<cEdMove> m;
    NewEdMove(m);
    EXPECT_EQ(MoveSettings::Get(*m, eMove::Speed), 10);
    EXPECT_EQ(MoveSettings::GetDouble(*m, eMove::InertialAccel), 1.0);
    MoveSettings::Set(*m, eMove::TargetSlot, -2);
    EXPECT_EQ(m->cTargetSlot, -2);
    EXPECT_EQ(MoveSettings::Get(*m, eMove::TargetSlot), -2);
    MoveSettings::Set(*m, eMove::DistanceUnit, 1);
    EXPECT_EQ(m->byDistUnit, 1);
    // A field the record does not have reads 0 and is not written.
    EXPECT_EQ(GetNumberedField(*m, 34, 0, false), 0);
    SetNumberedField(*m, 0, 0, 1);
}

TEST(Labels, ListsHaveTheirLengthsAndEndLabels) {
    auto check = [](const LABELLIST& l, std::size_t n, const char* first, const char* last) {
        EXPECT_EQ(l.count, n) << first;
        EXPECT_STREQ(l.labels[0], first);
        EXPECT_STREQ(l.labels[n - 1], last);
        EXPECT_STREQ(l.labels[n], "");
    };
    check(labels::kIdLetter, 27, "-", "Z");
    check(labels::kSpeedLevel, 19, "レベル1 (速度制限=60)", "レベル9 (速度制限=600)");
    EXPECT_STREQ(labels::kSpeedLevel.labels[9], "レベル10 (速度制限=600)");
    check(labels::kFacingChange, 12, "左を向く", "最後にブロックが当たった方の逆を向く");
    check(labels::kTargetChoice, 11, "主人公", "ターゲット4");
    check(labels::kMoveDestination, 6, "方向と距離で指定", "目標座標で指定");
    check(labels::kAimMode, 10, "直進", "落下");
    check(labels::kPaletteChoice, 3, "パレットの設定に準ずる", "番号で指定");
    EXPECT_STREQ(labels::kShotKindParams[3][2], "列の間隔(hbl)");
    EXPECT_STREQ(labels::kAimModeParams[7][2], "対象勢力");
    EXPECT_STREQ(g_FlowTriggerNames[22], "なし（フローの操作コマンドで実行）");
    EXPECT_STREQ(g_FlowTriggerNames[kFlowTriggerCount], "");
    EXPECT_STREQ(g_CondKindLabels[7], "距離条件");
    EXPECT_STREQ(g_CondShapeLabels[6], "円");
}
