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
    N(InvincibleKind, "no field is known to hold the invincibility kind: every character starts at 0, none")

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
