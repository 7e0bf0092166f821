// The named settings of the movement and shot records, and the label tables.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "records/CharaSettings.h"
#include "records/Cond.h"
#include "records/EdSettings.h"
#include "records/Flow.h"
#include "records/FlowLabels.h"
#include "tests/support/NamedSettingsCheck.h"

TEST(EdSettings, EveryEntryNamesTheRecordFieldOfItsNumber) {
    ExpectWellFormedTable(MoveSettings::Table());
    ExpectWellFormedTable(ShotSettings::Table());
    ExpectWellFormedTable(BlockSettings::Table());
    ExpectWellFormedTable(CharaSettings::Table());
    // The number a setting gives is the field that the record registers in that place; a
    // setting without a field reads 0.
    auto holds = [](cRecord& r, int n, const void* member) {
        if (n < 1 || n > r.FieldCount()) return false;
        const DATAFIELD f = r.Field(n - 1);
        const char* p = static_cast<const char*>(f.address);
        const char* m = static_cast<const char*>(member);
        return m >= p && m < p + f.count * static_cast<u32>(f.size);
    };
#define TOBRELK_X(name, type, n, member, mark, why, shared) EXPECT_TRUE(holds(rec, n, &rec.member)) << #name;
#define TOBRELK_N(name, why) EXPECT_EQ(Named::Get(rec, Id::name), 0);
    {
        cEdMove rec;
        using Named [[maybe_unused]] = MoveSettings;
        using Id [[maybe_unused]] = eMove;
        TOBRELK_MOVE_SETTINGS(TOBRELK_X, TOBRELK_N)
    }
    {
        cEdShot rec;
        using Named [[maybe_unused]] = ShotSettings;
        using Id [[maybe_unused]] = eShot;
        TOBRELK_SHOT_SETTINGS(TOBRELK_X, TOBRELK_N)
    }
    {
        cEdBlock rec;
        using Named [[maybe_unused]] = BlockSettings;
        using Id [[maybe_unused]] = eBlock;
        TOBRELK_BLOCK_SETTINGS(TOBRELK_X, TOBRELK_N)
    }
    {
        cEdChara rec;
        using Named [[maybe_unused]] = CharaSettings;
        using Id [[maybe_unused]] = eChara;
        TOBRELK_CHARA_SETTINGS(TOBRELK_X, TOBRELK_N)
    }
#undef TOBRELK_X
#undef TOBRELK_N
}

TEST(EdSettings, CharacterSettingsKeepTheStatusSignAndWidth) {
    cEdChara c;
    // Read with the status's sign and width, written back narrowed.
    CharaSettings::Set(c, eChara::BodyImpact, -5);
    EXPECT_EQ(c.byImpact, 251);
    EXPECT_EQ(CharaSettings::Get(c, eChara::BodyImpact), -5);
    CharaSettings::Set(c, eChara::Defence, -7);
    EXPECT_EQ(CharaSettings::Get(c, eChara::Defence), -7);
    CharaSettings::Set(c, eChara::CharaId, 9);
    EXPECT_EQ(CharaSettings::Get(c, eChara::CharaId), 0);
}

TEST(EdSettings, NamedAccessReadsTheNumberedFields) {
    std::shared_ptr<cEdShot> s;
    NewEdShot(s);
    s->wFormation[2] = -5;
    s->wMoveType[1] = 300;
    s->dwPower = static_cast<u32>(-999999);
    s->cTargetSlotA = -1;
    s->wSummonIndex = 12;
    s->byOpt27 = 0xFE;
    EXPECT_EQ(ShotSettings::Get(*s, eShot::KindParam3), -5);
    EXPECT_EQ(ShotSettings::Get(*s, eShot::AimParam2), 300);
    EXPECT_EQ(ShotSettings::Get(*s, eShot::Power), -999999);
    EXPECT_EQ(ShotSettings::Get(*s, eShot::TargetSlot), -1);
    EXPECT_EQ(ShotSettings::Get(*s, eShot::PaletteIndex), 12);
    EXPECT_EQ(ShotSettings::Get(*s, eShot::Strength), -2); // signed 8-bit
    EXPECT_EQ(ShotSettings::Get(*s, eShot::Scale), 1);
    ShotSettings::Set(*s, eShot::Speed, -200);
    EXPECT_EQ(s->wSpeed, -200);
    ShotSettings::Set(*s, eShot::Invisible, 0x101); // narrowed to the byte
    EXPECT_EQ(s->byOpt22, 1);

    std::shared_ptr<cEdMove> m;
    NewEdMove(m);
    EXPECT_EQ(MoveSettings::Get(*m, eMove::Speed), 10);
    EXPECT_EQ(MoveSettings::GetDouble(*m, eMove::InertialAccel), 1.0);
    EXPECT_EQ(MoveSettings::Get(*m, eMove::InertialAccel), 1); // the value, not its bytes
    MoveSettings::Set(*m, eMove::TargetSlot, -2);
    EXPECT_EQ(m->cTargetSlot, -2);
    EXPECT_EQ(MoveSettings::Get(*m, eMove::TargetSlot), -2);
    MoveSettings::Set(*m, eMove::TurnAtStart, 1); // no field: nothing is written
    EXPECT_EQ(MoveSettings::Get(*m, eMove::TurnAtStart), 0);
}

// The label lists are read by index: each holds its count and ends in an empty label.
TEST(Labels, ListsHaveTheirLengthsAndEndLabels) {
    for (const LABELLIST* l : {&labels::kIdLetter, &labels::kSpeedLevel, &labels::kFacingChange, &labels::kTargetChoice,
                               &labels::kMoveDestination, &labels::kAimMode, &labels::kPaletteChoice}) {
        for (std::size_t i = 0; i < l->count; ++i) EXPECT_STRNE(l->labels[i], "") << l->labels[0] << " " << i;
        EXPECT_STREQ(l->labels[l->count], "") << l->labels[0];
    }
    EXPECT_STREQ(g_FlowTriggerNames[kFlowTriggerCount], "");
}
