#pragma once
// The tables of the records of the stage files, as the data format gives them (see
// tests/support/Golden.h), and the bytes of the parts each record keeps after its body.
#include <string>
#include <vector>

#include "records/Record.h"
#include "tests/support/Golden.h"

namespace rectables {

using namespace golden;

// ---- Tables, as the data format gives them ----------------------------------------------------
// clang-format off

// Files before 110 hold two 16-bit values between value and op (one field of two elements).
inline const Table kCond = {
    F(1), F(4), F(4, 110, 0), F(4, 110, 0), F(1, 110, 0), F(1, 110, 0), F(1, 110, 0), F(1, 110, 0),
    F(2, 110, 0), F(1, 110, 0), F(1, 110, 0), F(1, 110, 0), F(1, 110, 0), F(2, 110, 0),
    Until(2, 110), Elem(Until(2, 110)), F(1), F(1, 43, 0), F(1)};
inline const Table kKeyCond = {F(1), F(2), F(2), F(1), F(1)};
inline const Table kCondList = {F(1), F(1)};
inline const Table kFlow = {F(1), F(1), F(1), F(1), F(1), F(1), F(1, 762, 0), F(1, 767, 0), F(1), F(1), Text(676)};
inline const Table kCmd = {F(1), F(1), F(2), F(2), F(1), F(2), F(1), F(2), Text()};
inline const Table kMove = {
    F(1), F(1), F(2), F(2), F(1, 158, 0), F(1), F(1), F(2), F(2), F(2),                    // 1-10
    F(2), F(1), F(1), F(1), F(1), F(1), F(1), F(1), F(1), F(1, 162, 0),                    // 11-20
    F(1), F(2), F(2), F(2), F(2), F(1, 159, 0), F(2), F(2), F(1), F(2),                    // 21-30
    F(8), F(1, 162, 0), F(1, 767, 0)};
// The three formation values and the three movement-type values are one field each.
inline const Table kShot = {
    F(1), F(1), F(2), Elem(F(2)), Elem(F(2)), F(1, 671, 0), F(1), F(1), F(1, 767, 0), F(2),  // 1-8
    F(2), F(1, 158, 0), F(2), F(1), F(1), F(2), F(2), F(2), F(2), F(1),                      // 9-18
    F(1), F(2), F(1), F(1), F(1), F(1), F(1), F(1), F(1), F(1),                              // 19-28
    F(2), Elem(F(2)), Elem(F(2)), F(1, 767, 0), F(1, 211), F(2), F(2), F(1, 213, 0),         // 29-34
    F(2, 213, 0), F(2, 213, 0), F(2), F(1), F(2), F(1), F(1), F(2), F(2), F(1),              // 35-44
    F(1), CopyOf(1, 636, 48), F(1), F(1), F(4), F(2), F(1), F(2), F(1), F(2),                // 45-54
    F(1), F(1), CopyOf(1, 197, 59), F(1), F(2), F(1), F(1), F(1), F(1, 762, 0), F(1, 762, 0)}; // 55-64
inline constexpr int kShotHoming = 34;
inline const Table kChara = {
    F(1), F(2), F(1), F(1), F(1), F(1), F(2), F(2), F(2), F(2),                            // 1-10
    F(1), F(1), F(2), F(1), F(2), F(2), F(1), F(1), F(2), F(1, 196, 0),                    // 11-20
    F(1), F(2), F(1, 196, 0), F(1), F(2), F(1), F(1), F(1), F(1), F(1),                    // 21-30
    F(1), F(1), F(1, 285, 1), F(1), F(1), F(1, 210, 0), F(1), F(1), F(4), F(4),            // 31-40
    F(2), F(1, 201, 0), F(4), F(1), F(2), F(4, 168, 0), F(1), F(4), F(1), F(1),            // 41-50
    F(2), F(1), F(1), Text()};
inline constexpr int kCharaHitArea = 41;
inline const Table kBlock = {F(1), F(2), F(1), F(1), F(2), F(1), F(2), F(1), F(1), F(1),
                             F(2), F(1), F(1), F(1), F(4), F(1), F(2), F(1), Text()};
inline const Table kItem = {F(1), F(2), F(1), F(1), F(2), F(2), F(2), F(1), F(2), F(1),
                            F(1), F(1), F(2), F(1), F(1), F(1), F(2), Text()};
// Layers: the form of 62 on; 61 lacks the visibility flag and stores two dropped words in place
// of the offsets; older files also lack the scroll speeds and flags.
inline const Table kBack = {F(4, 62, 1), F(4), F(4), F(4), F(8, 61), F(8, 61), F(4, 61, 0), F(4, 61, 0),
                            F(8, 62, 0), F(8, 62, 0), Until(4, 62), Until(4, 62), Text()};
inline const Table kParams = {F(4), F(4, 125, 0), F(4, 125, 0), F(4, 125, 0), F(4), F(4), F(4), F(4)};
// clang-format on

// The header: 98 numbers, the doubles at #21 and #88..#92, and the stage text.
inline Table StageHeader() {
    Table t;
    for (int n = 1; n <= 98; ++n) t.push_back(F(n == 21 || (n >= 88 && n <= 92) ? 8 : 4));
    auto gate = [&t](int n, u16 from, i64 old) { t[static_cast<std::size_t>(n - 1)] = F(4, from, old); };
    gate(25, 166, 1);
    gate(26, 199, 0);
    gate(30, 183, 1);
    gate(31, 184, 0);
    gate(33, 225, 0);
    for (auto [n, old] : {std::pair{36, 16}, {37, 24}, {38, 16}, {39, 16}, {48, 1}, {49, 0}, {52, 0}, {56, 5},
                          {60, 16}, {61, 30}, {62, 16}, {63, 30}, {70, 1}, {71, 1}})
        gate(n, 200, old);
    for (int n : {50, 51, 72, 73}) gate(n, 155, 0);
    for (auto [n, of] : {std::pair{42, 40}, {43, 41}, {66, 64}, {67, 65}})
        t[static_cast<std::size_t>(n - 1)] = CopyOf(4, 155, of - 1);
    t.push_back(Text());
    return t;
}

// Header values: field n holds n, but a size that keeps the clamped fields as they are, and the
// speed level 22 with its derived values (base acceleration 968: an acceleration step of 2).
inline std::vector<i64> StageValues() {
    std::vector<i64> v = Seq(99);
    v[0] = 500;
    v[3] = 300;
    v[20] = 968;
    const i64 derived[] = {22, 22, 484, 132, 2, 6, 176}; // #87..#93
    for (int i = 0; i < 7; ++i) v[static_cast<std::size_t>(86 + i)] = derived[i];
    return v;
}

inline std::string Zeros(int n) { return std::string(static_cast<std::size_t>(n), '\0'); }

// The parts a record keeps after its body: position (and carried item), inherit flags, empty
// condition and flow or command lists.
inline std::string BlockTail(i16 x, i16 y) { return Bytes().I16(x).I16(y).U32(11).Raw(Zeros(11)).U32(0).s; }
inline std::string ItemTail(i16 x, i16 y) { return Bytes().I16(x).I16(y).U32(13).Raw(Zeros(13)).U32(0).U32(0).s; }
inline std::string CharaTail(i16 x, i16 y, u32 hold) {
    return Bytes().I16(x).I16(y).U32(hold).U32(37).Raw(Zeros(37)).U32(0).U32(0).s;
}

// The none-entries as a stage writes them, from the defaults of the tables (a block without a
// picture is not solid).
inline std::string ResetBlock() {
    std::vector<i64> v(19, 0);
    v[12] = 255; // byOpenSide
    return Body(kBlock, 824, v, {{18, ""}}) + BlockTail(0, 0);
}
inline std::string ResetChara() {
    std::vector<i64> v(54, 0);
    for (int i : {13, 20, 25, 27, 30, 34, 48}) v[static_cast<std::size_t>(i)] = 1; // picture kind, 13b, operation, 2, 16, 20, 35
    v[16] = 3;                                                                    // byGroup11
    v[38] = v[40] = 10;                                                           // dwMaxHP, wGroup31
    return Body(kChara, 824, v, {{53, ""}}) + CharaTail(0, 0, 0);
}
inline std::string ResetItem() {
    std::vector<i64> v(18, 0);
    v[7] = 2;  // byPictureKind
    v[9] = 6;  // byGroup5
    v[13] = 1; // byGroup10
    v[15] = 1; // bySize
    return Body(kItem, 824, v, {{17, ""}}) + ItemTail(0, 0);
}

} // namespace rectables
