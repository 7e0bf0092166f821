#pragma once
// The character record's settings by meaning (the table form is records/NamedSettings.h): the
// statuses that conditions test and status operations change, read from and written to a
// character's copy of its record.
//
//   CharaSettings::Get(def, eChara::Defence)
//   CharaSettings::Set(def, eChara::Defence, v)      stored narrowed to the field's width
#include <span>
#include <type_traits>

#include "records/EdChara.h"
#include "records/NamedSettings.h"

// X(name, read as, field #, member, mark, why, shared); N(name, why): no field known, reads 0.
#define TOBRELK_CHARA_SETTINGS(X, N)                                                                           \
    X(MaxHP, u32, 39, dwMaxHP, Stated, "the record: maximum HP", nullptr)                                     \
    X(MaxSP, u32, 40, dwMaxSP, Stated, "the record: maximum SP", nullptr)                                     \
    X(ZOrder, u8, 17, byGroup11, Chosen, "the Z order (0..7) is a byte of the definition; group 11 is a "     \
      "byte alone in its group with default 3, the middle of the eight drawing layers", nullptr)             \
    X(Scale, i8, 35, byGroup20, Chosen, "the giant factor (1..10, 1 = normal): the record keeps this byte "   \
      "never below 1", nullptr)                                                                                \
    X(Stopping, u16, 41, wGroup31, Chosen, "the stopping ease (0..200, per mille) is the set-up's "           \
      "deceleration setting; group 31 is the one unnamed 16-bit field, default 10", nullptr)                 \
    X(BodyPower, i32, 43, dwGroup26, Chosen, "the play rules list attack power right before impact "          \
      "strength; group 26 is the 32-bit field right before byImpact's group 27", nullptr)                    \
    X(BodyImpact, i8, 44, byImpact, Stated, "the record: impact given to characters touching it; read "       \
      "signed, as the status ranges -20..20", nullptr)                                                         \
    X(Defence, i32, 46, dwGroup29, Chosen, "the rules list defence after impact strength; the next 32-bit "   \
      "field (group 29, from 168)", nullptr)                                                                   \
    X(Resistance, i8, 47, byGroup30, Chosen, "impact resistance (0..20) follows defence in the rules' "       \
      "list; the next field, a byte", nullptr)                                                                 \
    X(Score, i32, 48, dwScore, Stated, "the record: points for defeating the character", nullptr)             \
    X(Mark, i16, 51, wGroup33, Chosen, "the mark number (0..119, the built-in pictures' range) is 16 bits; "  \
      "group 33 pairs this 16-bit field with a switch byte", nullptr)                                          \
    X(MarkShown, u8, 50, byGroup33, Chosen, "the switch byte of group 33 beside the mark number: the "        \
      "character is drawn with its mark chip over it, as blocks and items pair bShowMark with wMark", nullptr) \
    X(HitEffect, u16, 45, wEffect, Chosen, "the record's one index into the effect database: the effect "     \
      "shown where the character's attack hits", nullptr)                                                      \
    X(DeathEffect, u16, 22, wDeathEffect, Stated, "the record: the character effect of its death", nullptr)   \
    X(DeathEffectMode, u8, 23, byGroup14, Chosen, "the record starts the death effect 'with byGroup14', "     \
      "its group mate: the effect's mode (0 forward, 1 reversed, 2 there and back)", nullptr)                  \
    N(CharaId, "no field is known to hold the character ID: every character starts at 0")                  \
    N(Sight, "no field is known to hold the player's sight range: it starts at 0, no view margin")          \
    X(InvincibleKind, u8, 36, byGroup21, Chosen, "the invincibility kind (0 none, 1, 2 shots pass through; "   \
      "its labels are a three-value list of the record) came late: group 21 is the one byte added at 210, "    \
      "older files 0, no invincibility", nullptr)                                                              \
    X(Kind, u8, 26, byOperation, Chosen, "the rules' kind (0 the player's, 1 a stage character) is the "       \
      "record's operation, 0 player, 1 computer", nullptr)                                                     \
    X(Side, u8, 27, byGroup1, Chosen, "the side (勢力, 0..7): inherited together with the operation in group " \
      "1, whose other byte it is; who controls a character and whose side it fights for go together",         \
      nullptr)                                                                                                 \
    X(Facing, u8, 28, byGroup2, Chosen, "the initial facing (0 left, 1 right) and a placed row's direction "    \
      "byte: a byte alone in its group with default 1, facing right as the player starts", nullptr)           \
    X(Repeat, i8, 52, byGroup32a, Chosen, "a placed row's repeat count (its copies are repeat + 1; read "      \
      "signed, a negative count makes none): of the bytes no other setting holds, the first of the last "     \
      "group, default 0 (one copy), a placement value as the offsets and the carried item are", nullptr)     \
    X(ScrollSync, u8, 29, byGroup3, Chosen, "moves with the auto-scroll (and follows the screen): the byte "    \
      "after the facing, alone in its group, default 0", nullptr)                                              \
    X(SizeClass, u8, 5, byGroup5, Chosen, "the size class (0 the stage's small size, else the large one): a "   \
      "byte alone in its group right after the appearance conditions, default 0, small", nullptr)              \
    X(BlockChara, u8, 6, byGroup6, Chosen, "the block-character flag: a player cannot be a block character, "  \
      "and group 6 is one of the two bytes the record forces to 0 for a player", nullptr)                      \
    X(RangeMode, u8, 34, byGroup19, Chosen, "the activity range (画面内, X座標のみ, Y座標のみ, 全範囲): the "     \
      "player has no activity range, and group 19 is the other byte forced to 0 for a player", nullptr)        \
    X(ActivityRule, u8, 32, byGroup18a, Chosen, "the activity rule (three labels; 1 = once woken, always "      \
      "awake): paired in group 18 with the second wake flag", nullptr)                                         \
    X(WakeFlag2, u8, 33, byGroup18b, Chosen, "the second wake flag (a character woken before stays awake): "    \
      "added at 285 with older files set to 1, the older rule of keeping a woken character awake", nullptr)    \
    X(GroupOn, u8, 37, byGroup22a, Chosen, "the activation group: a switch and a group number, the one pair "   \
      "of plain bytes inherited together (group 22)", nullptr)                                                 \
    X(Group, u8, 38, byGroup22b, Chosen, "as GroupOn: the group number", nullptr)                              \
    X(AppearMode, u8, 3, byGroup4a, Chosen, "the appearance conditions' combination (0 all, 1 any): group 4 "   \
      "holds the conditions with two bytes, as the block and item records hold theirs", nullptr)               \
    X(AppearLatch, u8, 4, byGroup4b, Chosen, "as AppearMode: the latch", nullptr)                              \
    X(CharaEffect, u16, 19, wCharaEffectA, Stated, "the record: a character effect", nullptr)                  \
    X(CharaEffectMode, u8, 20, byGroup13a, Chosen, "the effect's two parameters are the two bytes inherited "  \
      "with it in group 13: the mode (from 196) ...", nullptr)                                                 \
    X(CharaEffectLoop, u8, 21, byGroup13b, Chosen, "... and the loop flag, default 1 (a character's own "      \
      "effect keeps running)", nullptr)                                                                        \
    X(FlyMode, u8, 30, byFlyMode, Stated, "the record: flight mode", nullptr)                                  \
    X(TurnWithMove, u8, 31, byGroup16, Chosen, "turns with the movement commands (the move's turn flags): a "   \
      "byte alone in its group with default 1", nullptr)                                                       \
    X(BackFollow, u8, 18, byGroup12, Chosen, "the player's background-follow mode (0..4): a byte alone in its " \
      "group after the drawing layer, default 0, off", nullptr)                                                \
    X(HitArea, i8, 42, byHitArea, Stated, "the record: hit-box choice (0..3)", nullptr)                        \
    X(AnimSet, i16, 16, wAnimeSet, Stated, "the record: animation set", nullptr)

enum class eChara {
#define TOBRELK_X(name, type, n, member, mark, why, shared) name,
#define TOBRELK_N(name, why) name,
    TOBRELK_CHARA_SETTINGS(TOBRELK_X, TOBRELK_N)
#undef TOBRELK_X
#undef TOBRELK_N
    Count
};

struct CharaSettings {
    static i64 Get(const EDCHARA_DATA& d, eChara s);
    // Stores v narrowed to the field's width; nothing for a setting without a field.
    static void Set(EDCHARA_DATA& d, eChara s, i64 v);
    static std::span<const NAMEDSETTING> Table();
    static const NAMEDSETTING& Entry(eChara s) { return Table()[static_cast<std::size_t>(s)]; }
};

inline i64 CharaSettings::Get(const EDCHARA_DATA& d, eChara s) {
    switch (s) {
#define TOBRELK_X(name, type, n, member, mark, why, shared)                                                    \
    case eChara::name: return static_cast<i64>(static_cast<type>(d.member));
#define TOBRELK_N(name, why)                                                                                   \
    case eChara::name: break;
        TOBRELK_CHARA_SETTINGS(TOBRELK_X, TOBRELK_N)
#undef TOBRELK_X
#undef TOBRELK_N
    case eChara::Count: break;
    }
    return 0;
}

inline void CharaSettings::Set(EDCHARA_DATA& d, eChara s, i64 v) {
    switch (s) {
#define TOBRELK_X(name, type, n, member, mark, why, shared)                                                    \
    case eChara::name: d.member = static_cast<std::remove_reference_t<decltype(d.member)>>(v); return;
#define TOBRELK_N(name, why)                                                                                   \
    case eChara::name: return;
        TOBRELK_CHARA_SETTINGS(TOBRELK_X, TOBRELK_N)
#undef TOBRELK_X
#undef TOBRELK_N
    case eChara::Count: break;
    }
}
