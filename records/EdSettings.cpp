#include "records/EdSettings.h"

#include <cstring>
#include <iterator>

namespace {
// {name, field, element, signed, chosen, why}
const NAMEDFIELD kMove[] = {
    {"way", 1, 0, false, true, "first byte; the record says it selects the straight-movement solver"},
    {"direction", 2, 0, false, true, "the byte copied into the run state at start, where the direction selector lives"},
    {"angle", 3, 0, true, false, nullptr},
    {"angle step", 4, 0, true, false, nullptr},
    {"mirror angle", 5, 0, false, true, "default 1 and gate 158, like the shot's mirror-angle field"},
    {"X used", 6, 0, false, true, "order of the engine's list; default 1"},
    {"Y used", 7, 0, false, true, "order of the engine's list; default 1"},
    {"target X (bl)", 8, 0, true, false, nullptr},
    {"target Y (bl)", 9, 0, true, false, nullptr},
    {"target X (dot)", 10, 0, true, false, nullptr},
    {"target Y (dot)", 11, 0, true, false, nullptr},
    {"coordinate base", 12, 0, false, true, "order of the engine's list; default 0 (from the placement)"},
    {"derive duration", 13, 0, false, true, "order of the engine's list, between base and lock X/Y"},
    {"lock X", 14, 0, false, false, nullptr},
    {"lock Y", 15, 0, false, false, nullptr},
    {"mirror target X", 16, 0, false, true, "order of the engine's list, after lock X/Y"},
    {"mirror target Y", 17, 0, false, true, "order of the engine's list, after lock X/Y"},
    {"flip with facing", 18, 0, false, false, nullptr},
    {"stop when arrived", 19, 0, false, true, "order of the engine's list, after flip"},
    {"keep facing", 20, 0, false, true, "order of the engine's list, after stop when arrived"},
    {"computed value", 21, 0, false, true, "listed just before the distance pair and its unit"},
    {"speed", 22, 0, true, false, nullptr},
    {"speed step", 23, 0, true, false, nullptr},
    {"distance", 24, 0, true, true, "the only unnamed i16 pair; precedes the distance unit"},
    {"distance step", 25, 0, true, true, "the only unnamed i16 pair; precedes the distance unit"},
    {"distance unit", 26, 0, false, false, nullptr},
    {"homing sluggishness", 27, 0, true, false, nullptr},
    {"homing sluggishness step", 28, 0, true, false, nullptr},
    {"inertial", 29, 0, false, true, "flag of a second speed for the run state: the maximum inertial speed"},
    {"inertial max speed", 30, 0, true, true, "the run state's maximum inertial speed"},
    {"inertial acceleration", 31, 0, false, true, "the only double"},
    {"play anime", 32, 0, false, true, "read by the engine as no-animation flag; the sense is unsettled"},
    {"target slot", 33, 0, true, false, nullptr},
};

const NAMEDFIELD kShot[] = {
    {"shots per volley", 1, 0, true, false, nullptr},
    {"shot kind", 2, 0, false, false, nullptr},
    {"kind param 1", 3, 0, true, false, nullptr},
    {"kind param 2", 3, 1, true, false, nullptr},
    {"kind param 3", 3, 2, true, false, nullptr},
    {"centre object", 4, 0, false, true, "listed after the kind parameters; its labels follow them"},
    {"direction code", 5, 0, true, false, nullptr},
    {"aim at fire", 6, 0, false, true, "order of the engine's list, after the direction"},
    {"target slot", 7, 0, true, false, nullptr},
    {"base angle", 8, 0, true, false, nullptr},
    {"angle step", 9, 0, true, false, nullptr},
    {"mirror angle", 10, 0, false, false, nullptr},
    {"angle jitter", 11, 0, true, false, nullptr},
    {"placement", 12, 0, false, true, "order of the engine's list, after the jitter"},
    {"extra volleys", 13, 0, true, false, nullptr},
    {"offset X", 14, 0, true, false, nullptr},
    {"offset X step", 15, 0, true, false, nullptr},
    {"offset Y", 16, 0, true, false, nullptr},
    {"offset Y step", 17, 0, true, false, nullptr},
    {"mirror offset X", 18, 0, false, false, nullptr},
    {"mirror offset Y", 19, 0, false, false, nullptr},
    {"picture", 20, 0, true, false, nullptr},
    {"Z order", 21, 0, true, false, nullptr},
    {"invisible", 22, 0, false, true, "order of the engine's list, after the picture"},
    {"take shooter's side", 23, 0, false, true, "order of the engine's list, before the side; default 1"},
    {"side", 24, 0, true, false, nullptr},
    {"scale", 26, 0, false, false, nullptr},
    {"aim mode", 28, 0, false, false, nullptr},
    {"aim param 1", 29, 0, true, false, nullptr},
    {"aim param 2", 29, 1, true, false, nullptr},
    {"aim param 3", 29, 2, true, false, nullptr},
    {"second target slot", 30, 0, true, false, nullptr},
    {"homing / scroll-synchronised", 31, 0, false, true,
     "the record calls it the homing switch (set from the aim mode for old files), the engine "
     "the scroll-synchronised flag; both names read this field"},
    {"speed", 32, 0, true, false, nullptr},
    {"speed step", 33, 0, true, false, nullptr},
    {"acceleration flag", 34, 0, false, true, "the u8 of the 213 group before the acceleration pair"},
    {"acceleration", 35, 0, true, false, nullptr},
    {"acceleration step", 36, 0, true, false, nullptr},
    {"range", 37, 0, true, false, nullptr},
    {"range flag", 38, 0, false, true, "the u8 between the range and its step"},
    {"range step", 39, 0, true, false, nullptr},
    {"stop at range", 40, 0, false, true, "order of the engine's list, after the range"},
    {"life flag", 41, 0, false, true, "the u8 before the lifetime pair"},
    {"life", 42, 0, true, false, nullptr},
    {"life step", 43, 0, true, false, nullptr},
    {"pierce blocks", 44, 0, false, true, "order of the engine's list, after the lifetime"},
    {"vanish", 48, 0, true, false, nullptr},
    {"power", 49, 0, true, false, nullptr},
    {"impact", 51, 0, true, false, nullptr},
    {"effect", 52, 0, true, false, nullptr},
    {"block mode", 55, 0, false, false, nullptr},
    {"palette", 58, 0, false, false, nullptr},
    {"palette index", 59, 0, true, false, nullptr},
    {"side source", 60, 0, false, true, "order of the engine's list, after the palette index"},
    {"reverse facing", 61, 0, false, true, "order of the engine's list, after the side source"},
};
static_assert(std::size(kMove) == static_cast<std::size_t>(eMove::Count), "one entry per setting");
static_assert(std::size(kShot) == static_cast<std::size_t>(eShot::Count), "one entry per setting");
} // namespace

i64 GetNumberedField(const cRecord& rec, int field, int element, bool isSigned) {
    cRecord& r = const_cast<cRecord&>(rec);
    if (field < 1 || field > r.FieldCount()) return 0;
    const DATAFIELD f = r.Field(field - 1);
    if (element < 0 || static_cast<u32>(element) >= f.count) return 0;
    const u8* p = static_cast<const u8*>(f.address) + static_cast<std::size_t>(element) * f.size;
    switch (f.size) {
    case 1: { u8 v; std::memcpy(&v, p, 1); return isSigned ? static_cast<i64>(static_cast<i8>(v)) : static_cast<i64>(v); }
    case 2: { u16 v; std::memcpy(&v, p, 2); return isSigned ? static_cast<i64>(static_cast<i16>(v)) : static_cast<i64>(v); }
    case 4: { u32 v; std::memcpy(&v, p, 4); return isSigned ? static_cast<i64>(static_cast<i32>(v)) : static_cast<i64>(v); }
    case 8: { i64 v; std::memcpy(&v, p, 8); return v; }
    default: return 0;
    }
}

void SetNumberedField(cRecord& r, int field, int element, i64 v) {
    if (field < 1 || field > r.FieldCount()) return;
    const DATAFIELD f = r.Field(field - 1);
    if (element < 0 || static_cast<u32>(element) >= f.count) return;
    u8* p = static_cast<u8*>(f.address) + static_cast<std::size_t>(element) * f.size;
    // Little-endian: the low bytes are the narrowed value.
    std::memcpy(p, &v, static_cast<std::size_t>(f.size));
}

const NAMEDFIELD& MoveSettings::Entry(eMove s) { return kMove[static_cast<int>(s)]; }

i64 MoveSettings::Get(const cEdMove& m, eMove s) {
    const NAMEDFIELD& e = Entry(s);
    return GetNumberedField(m, e.field, e.element, e.isSigned);
}

double MoveSettings::GetDouble(const cEdMove& m, eMove s) {
    if (s == eMove::InertialAccel) return m.dValue31;
    return static_cast<double>(Get(m, s));
}

void MoveSettings::Set(cEdMove& m, eMove s, i64 v) {
    if (s == eMove::InertialAccel) {
        m.dValue31 = static_cast<double>(v);
        return;
    }
    const NAMEDFIELD& e = Entry(s);
    SetNumberedField(m, e.field, e.element, v);
}

const NAMEDFIELD& ShotSettings::Entry(eShot s) { return kShot[static_cast<int>(s)]; }

i64 ShotSettings::Get(const cEdShot& m, eShot s) {
    const NAMEDFIELD& e = Entry(s);
    return GetNumberedField(m, e.field, e.element, e.isSigned);
}

void ShotSettings::Set(cEdShot& m, eShot s, i64 v) {
    const NAMEDFIELD& e = Entry(s);
    SetNumberedField(m, e.field, e.element, v);
}
