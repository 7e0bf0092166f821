#include "records/EdBlockItem.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <mutex>
#include <new>

#include "platform/system/Prefault.h"
#include "records/PaletteSource.h"
#include "records/Stage.h"

namespace {

#define BF(member, group) TOBRELK_FIELD(EDBLOCK_DATA, member, 0, group)
constexpr std::array<FIELDDEF, 18> kBlockFields = {{
    BF(byPaletteKind, kNoGroup), BF(wPaletteIndex, kNoGroup), BF(byGroup1a, 1), BF(byGroup1b, 1),
    BF(wPicture, 2),             BF(byPictureKind, 2),        BF(wGroup2, 2),   BF(byLayer, 3),
    BF(bHidden, 4),              BF(bShowMark, 5),            BF(wMark, 5),     BF(bySolid, 6),
    BF(byOpenSide, 7),           BF(byGroup8, 8),             BF(dwGroup8, 8),  BF(byItemKind, 9),
    BF(wItemIndex, 9),           BF(byGroup10, 10),
}};
#undef BF
static_assert(field_table_detail::Fixed<kBlockFields>::kRunCount == 1 && sizeof(EDBLOCK_DATA) == 26,
              "a placed block's body is read in one move");

#define IF(member, group) TOBRELK_FIELD(EDITEM_DATA, member, 0, group)
constexpr std::array<FIELDDEF, 17> kItemFields = {{
    IF(byPaletteKind, kNoGroup), IF(wPaletteIndex, kNoGroup), IF(byGroup1a, 1), IF(byGroup1b, 1),
    IF(wGroup2, 2),              IF(wGroup3, 3),              IF(wPicture, 4),  IF(byPictureKind, 4),
    IF(wGroup4, 4),              IF(byGroup5, 5),             IF(bHidden, 6),   IF(bShowMark, 7),
    IF(wMark, 7),                IF(byGroup10, 10),           IF(byPickup, 9),  IF(bySize, 8),
    IF(wSound, 11),
}};
#undef IF

EDBLOCK_DATA* Data(cEdBlock* b) { return static_cast<EDBLOCK_DATA*>(b); }
const EDBLOCK_DATA* Data(const cEdBlock* b) { return static_cast<const EDBLOCK_DATA*>(b); }
EDITEM_DATA* Data(cEdItem* i) { return static_cast<EDITEM_DATA*>(i); }
const EDITEM_DATA* Data(const cEdItem* i) { return static_cast<const EDITEM_DATA*>(i); }

const cVector<cEdBlock>* BlockPalette(int kind) {
    if (kind == 1) return GetCommonPaletteView().pBlock;
    if (kind == 2) return &PaletteStage().vBlockPalette;
    return nullptr;
}

const cVector<cEdItem>* ItemPalette(int kind) {
    if (kind == 1) return GetCommonPaletteView().pItem;
    if (kind == 2) return &PaletteStage().vItemPalette;
    return nullptr;
}

template <class T>
u32 SizeOf(const cVector<T>* v) {
    return v ? static_cast<u32>(v->size()) : 0;
}

// The item's tail after its record stream: position, inherit flags (the count as the file gives
// it) and conditions.
bool LoadItemTail(cEdItem& rec, cRecordReader& r) {
    u32 n = 0;
    if (!r.ReadBytes(&rec.sPosX, 2) || !r.ReadBytes(&rec.sPosY, 2)) return false;
    if (!r.ReadCount(n, 1)) return false;
    rec.vInherit.resize(n, 0);
    if (n && !r.ReadBytes(rec.vInherit.data(), n)) return false;
    return ReadCondListInline(rec.vCond, r);
}

void SaveItemTail(cEdItem& rec, cRecordWriter& w) {
    w.WriteBytes(&rec.sPosX, 2);
    w.WriteBytes(&rec.sPosY, 2);
    w.WriteU32(static_cast<u32>(rec.vInherit.size()));
    w.WriteBytes(rec.vInherit.data(), rec.vInherit.size());
    WriteRecordVector(w, rec.vCond);
}

// The numbered built-in pictures gained one at the front in version 219.
u16 UpgradedPicture(u32 version, u8 kind, u16 picture) {
    return version < 219 && kind == 3 ? static_cast<u16>(std::min<u32>(picture + 1u, 119u)) : picture;
}

std::size_t InheritCountOf(const cEdBlock& b) { return b.InheritCount(); }
u8 InheritAt(const cEdBlock& b, std::size_t k) { return b.Inherit(k); }
std::size_t InheritCountOf(const cEdItem& i) { return i.vInherit.size(); }
u8 InheritAt(const cEdItem& i, std::size_t k) { return i.vInherit[static_cast<long long>(k)]; }

// A row of at most as many entries as a block has groups (the most a block keeps in itself),
// each 0 or 1, as bits (entry k in bit k); false for any other row.
bool PackBitRow(const u8* row, std::size_t n, u16& bits) {
    if (n > static_cast<std::size_t>(cEdBlock::kGroups)) return false;
    u32 packed = 0;
    u8 high = 0;
    for (std::size_t k = 0; k < n; ++k) {
        high |= static_cast<u8>(row[k] & 0xFE);
        packed |= static_cast<u32>(row[k] & 1) << k;
    }
    bits = static_cast<u16>(packed);
    return high == 0;
}

constexpr std::size_t kRowBytes = 16;

// The same for a row followed by at least 16 - n more bytes, so that 16 can be read (n at most
// 16): eight entries at a time, each 0 or 1, gathered into their bits by one multiplication.
bool PackBitRow16(const char* row, std::size_t n, u16& bits) {
    if constexpr (std::endian::native != std::endian::little) {
        return PackBitRow(reinterpret_cast<const u8*>(row), n, bits);
    } else {
        // The bytes of the row's n entries, for each n.
        static constexpr auto kMasks = [] {
            std::array<std::array<u64, 2>, kRowBytes + 1> m{};
            for (std::size_t k = 0; k <= kRowBytes; ++k) {
                m[k][0] = k >= 8 ? ~0ull : (1ull << (8 * k)) - 1;
                m[k][1] = k >= 16 ? ~0ull : k <= 8 ? 0ull : (1ull << (8 * (k - 8))) - 1;
            }
            return m;
        }();
        u64 lo = 0, hi = 0;
        std::memcpy(&lo, row, 8);
        std::memcpy(&hi, row + 8, 8);
        lo &= kMasks[n][0];
        hi &= kMasks[n][1];
        if ((lo | hi) & 0xFEFEFEFEFEFEFEFEull) return false;
        // Entry k of a word lands on bit 56 + k, and no two entries meet anywhere.
        constexpr u64 kGather = 0x0102040810204080ull;
        bits = static_cast<u16>((lo * kGather) >> 56 | ((hi * kGather) >> 56) << 8);
        return true;
    }
}

template <class T>
void InheritFrom(T& rec, const cVector<T>* pal) {
    if (rec.wPaletteIndex == 0 || rec.byPaletteKind == 0) return;
    if (rec.byPaletteKind != 1 && rec.byPaletteKind != 2) return; // would inherit from itself
    const u32 index = static_cast<u16>(rec.wPaletteIndex);
    if (index >= SizeOf(pal)) {
        rec.byPaletteKind = 0;
        return;
    }
    const T& entry = (*pal)[index];
    const std::size_t n = std::min<std::size_t>(InheritCountOf(rec), T::kGroups);
    for (std::size_t k = 0; k < n; ++k)
        if (InheritAt(rec, k)) rec.CopyGroup(static_cast<int>(k), entry);
}

} // namespace

// ---- cEdBlock ---------------------------------------------------------------------------------

void cEdBlock::Reset() {
    *Data(this) = EDBLOCK_DATA{};
    m_inherit = kGroups << kCountShift;
    DropSide();
}

// The string lives in the side storage, which registration therefore makes.
void cEdBlock::RegisterFields(u32 version) {
    RegisterTable(Data(this), kBlockFields, version, &MakeSide().strName);
}

const std::string& cEdBlock::Name() const {
    static const std::string none;
    return side() ? side()->strName : none;
}

void cEdBlock::SetName(std::string name) {
    if (name.empty() && !side()) return;
    MakeSide().strName = std::move(name);
}

const cVector<cCond>& cEdBlock::Conds() const {
    static const cVector<cCond> none;
    return side() ? side()->vCond : none;
}

cVector<cCond>& cEdBlock::EditConds() { return MakeSide().vCond; }

u8 cEdBlock::Inherit(std::size_t k) const {
    const std::size_t n = InheritCount();
    if (k >= n) {
        ReportBadIndex('V', static_cast<long long>(k), n, 1);
        return 0;
    }
    return m_inherit == kSpilled ? side()->vInherit[k] : static_cast<u8>(m_inherit >> k & 1);
}

void cEdBlock::SpillInherit() {
    if (m_inherit == kSpilled) return;
    std::vector<u8>& row = MakeSide().vInherit;
    row.resize(m_inherit >> kCountShift);
    for (std::size_t k = 0; k < row.size(); ++k) row[k] = static_cast<u8>(m_inherit >> k & 1);
    m_inherit = kSpilled;
}

void cEdBlock::SetInherit(std::size_t k, u8 value) {
    const std::size_t n = InheritCount();
    if (k >= n) {
        ReportBadIndex('V', static_cast<long long>(k), n, 1);
        return;
    }
    if (m_inherit != kSpilled && value > 1) SpillInherit();
    if (m_inherit == kSpilled)
        side()->vInherit[k] = value;
    else
        m_inherit = static_cast<u16>((m_inherit & ~(1u << k)) | (static_cast<u32>(value) << k));
}

void cEdBlock::SetInheritRow(const u8* row, std::size_t n) {
    u16 bits = 0;
    if (PackBitRow(row, n, bits)) {
        if (m_inherit == kSpilled) side()->vInherit.clear();
        m_inherit = static_cast<u16>(n << kCountShift | bits);
        return;
    }
    MakeSide().vInherit.assign(row, row + n);
    m_inherit = kSpilled;
}

void cEdBlock::FillInherit(u8 value) {
    const std::vector<u8> row(InheritCount(), value);
    SetInheritRow(row.data(), row.size());
}

std::vector<u8> cEdBlock::InheritRow() const {
    std::vector<u8> row(InheritCount());
    for (std::size_t k = 0; k < row.size(); ++k) row[k] = Inherit(k);
    return row;
}

namespace big_block_storage {
namespace {
std::mutex g_keptMutex;
void* g_kept = nullptr;
} // namespace

void* Take(std::size_t bytes) {
    void* p = nullptr;
    {
        std::lock_guard lock(g_keptMutex);
        // Storage far bigger than asked for is left for a list that needs it.
        if (g_kept) {
            const std::size_t have = malloc_usable_size(g_kept);
            if (have >= bytes && have / 2 <= bytes) p = std::exchange(g_kept, nullptr);
        }
    }
    if (p) return p;
    p = std::malloc(bytes);
    if (!p) throw std::bad_alloc();
    // Storage this big is a stage's blocks, reserved for the count its file gives (a count the
    // file's size bounds) and written from end to end by the load: made ahead in large pages,
    // a stage's first load does not pay a trap and a clearing for every 4 kB of its blocks.
    PrefaultLargeForWrite(p, bytes);
    return p;
}

void Give(void* p) noexcept {
    std::lock_guard lock(g_keptMutex);
    std::free(std::exchange(g_kept, p));
}

void Release() noexcept { Give(nullptr); }
} // namespace big_block_storage

// The form nearly every placed block is stored in: the whole body, an empty name, a short row of
// inherit flags and no conditions. Read in one bounds check, or false (nothing read) for any
// other form, which the general path reads.
bool cEdBlock::LoadUsual(cRecordReader& r) {
    using F = field_table_detail::Fixed<kBlockFields>;
    constexpr std::size_t kBody = F::kPacked[F::kCount];
    constexpr std::size_t kHead = 4 + kBody + 4 + 4 + 4 + 4; // count, body, 1 string, its length, x y, flags count
    // Nearly always the bytes after a block hold the longest such block: then one bounds check
    // serves, and the flags are read 16 bytes at a time.
    const char* p = r.Peek(kHead + kRowBytes + 4);
    const bool wide = p != nullptr;
    if (!wide) p = r.Peek(kHead);
    if (!p || r.Version() < F::kNewest) return false;
    u32 n, strings, len, flags, conds;
    std::memcpy(&n, p, 4);
    std::memcpy(&strings, p + 4 + kBody, 4);
    std::memcpy(&len, p + 8 + kBody, 4);
    std::memcpy(&flags, p + kHead - 4, 4);
    if (n != F::kCount || strings != 1 || len > 1 || flags > kBitRow) return false;
    const std::size_t whole = kHead + flags + 4;
    if (!wide && !r.Peek(whole)) return false;
    std::memcpy(&conds, p + kHead + flags, 4);
    u16 bits = 0;
    if (conds != 0) return false;
    if (wide ? !PackBitRow16(p + kHead, flags, bits) : !PackBitRow(reinterpret_cast<const u8*>(p + kHead), flags, bits))
        return false;
    F::Copy(Data(this), p + 4);
    std::memcpy(&sPosX, p + 12 + kBody, 2);
    std::memcpy(&sPosY, p + 14 + kBody, 2);
    DropSide();
    m_inherit = static_cast<u16>(flags << kCountShift | bits);
    r.Advance(whole);
    return true;
}

std::size_t cEdBlock::ReadUsualRun(cRecordReader& r, cVector<cEdBlock>& v, std::size_t n, u32 commonItems,
                                   u32 stageItems) {
    using F = field_table_detail::Fixed<kBlockFields>;
    constexpr std::size_t kBody = F::kPacked[F::kCount];
    constexpr std::size_t kHead = 4 + kBody + 4 + 4 + 4 + 4;
    // The zero word, then a usual block with the 16 bytes its flags are read as, then the
    // condition count after the longest row.
    constexpr std::size_t kWide = 4 + kHead + kRowBytes + 4;
    static_assert(sizeof(EDBLOCK_DATA) == kBody, "the body is stored as the block holds it");
    static_assert(sizeof(cEdBlock) == 48,
                  "a placed block is its class pointer, the base's lists, its body, position and row");
    const u32 version = r.Version();
    if (version < F::kNewest) return 0;
    // The bytes the reader holds at hand: a file read through a window ends the run where the
    // window ends, and the caller reads the block there the general way, which fetches on.
    std::size_t left = 0;
    const char* const bytes = r.InHand(kWide, left);
    if (!bytes) return 0;
    // Placed blocks inherit from the palettes only, so their sizes hold for the whole run.
    const u32 commonBlocks = SizeOf(BlockPalette(1));
    const u32 stageBlocks = SizeOf(BlockPalette(2));
    const bool oldPictures = version < 219;
    std::size_t pos = 0, done = 0;
    while (done < n && left - pos >= kWide) {
        const char* p = bytes + pos + 4;
        u32 count, strings, len, flags, conds;
        std::memcpy(&count, p, 4);
        std::memcpy(&strings, p + 4 + kBody, 4);
        std::memcpy(&len, p + 8 + kBody, 4);
        std::memcpy(&flags, p + kHead - 4, 4);
        if (((count ^ F::kCount) | (strings ^ 1u) | (len >> 1)) != 0 || flags > kBitRow) break;
        std::memcpy(&conds, p + kHead + flags, 4);
        u16 bits = 0;
        if (conds != 0 || !PackBitRow16(p + kHead, flags, bits)) break;
        // Both streams run far past what the processor fetches ahead by itself: asking for the
        // bytes and the blocks two kilobytes on keeps each block from waiting on memory (a
        // prefetch never faults, so asking past either end is harmless).
        __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(p) + 2048), 0);
        // The block is stored in one go and settled from the file's bytes, which are at hand:
        // reading the block back would wait for the stores.
        const char* const body = p + 4;
        u32 xy;
        std::memcpy(&xy, p + 12 + kBody, 4);
        cEdBlock& b = v.emplace_back(Usual{body, xy, static_cast<u16>(flags << kCountShift | bits)});
        __builtin_prefetch(
            reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(&b) + 32 * sizeof(cEdBlock)), 1);
        const i8 paletteKind = static_cast<i8>(body[offsetof(EDBLOCK_DATA, byPaletteKind)]);
        const i8 itemKind = static_cast<i8>(body[offsetof(EDBLOCK_DATA, byItemKind)]);
        u16 paletteIndex, picture, itemIndex;
        std::memcpy(&picture, body + offsetof(EDBLOCK_DATA, wPicture), 2);
        // A block that refers to no palette and holds no item has nothing to settle.
        if ((paletteKind | itemKind | static_cast<int>(oldPictures)) == 0 && picture != 0) {
            pos += 4 + kHead + flags + 4;
            ++done;
            continue;
        }
        std::memcpy(&paletteIndex, body + offsetof(EDBLOCK_DATA, wPaletteIndex), 2);
        std::memcpy(&itemIndex, body + offsetof(EDBLOCK_DATA, wItemIndex), 2);
        if (oldPictures) {
            picture = UpgradedPicture(version, static_cast<u8>(body[offsetof(EDBLOCK_DATA, byPictureKind)]), picture);
            b.wPicture = picture;
        }
        if (paletteKind != 0 && paletteIndex != 0) {
            b.ApplyPaletteInherit();
            CheckPalette(b, commonBlocks, stageBlocks);
            CheckItemRef(b, commonItems, stageItems);
        } else {
            // CheckPalette and CheckItemRef.
            if ((paletteKind == 1 && paletteIndex >= commonBlocks) ||
                (paletteKind == 2 && paletteIndex >= stageBlocks)) {
                b.byPaletteKind = 0;
                b.wPaletteIndex = 0;
            }
            if (picture == 0) {
                b.bySolid = 0;
                b.byGroup10 = 0;
            }
            if ((itemKind == 1 && itemIndex >= commonItems) || (itemKind == 2 && itemIndex >= stageItems)) {
                b.byItemKind = 0;
                b.wItemIndex = 0;
            }
        }
        pos += 4 + kHead + flags + 4;
        ++done;
    }
    r.Advance(pos);
    return done;
}

bool cEdBlock::ReadInheritRow(cRecordReader& r) {
    u32 n = 0;
    if (!r.ReadCount(n, 1)) return false;
    if (n <= kBitRow) {
        u8 row[kBitRow];
        if (n && !r.ReadBytes(row, n)) return false;
        SetInheritRow(row, n);
        return true;
    }
    std::vector<u8> row(n);
    if (!r.ReadBytes(row.data(), n)) return false;
    SetInheritRow(row.data(), n);
    return true;
}

bool cEdBlock::LoadTail(cRecordReader& r) {
    if (!r.ReadBytes(&sPosX, 2) || !r.ReadBytes(&sPosY, 2) || !ReadInheritRow(r)) return false;
    if (side()) return ReadCondListInline(side()->vCond, r);
    cVector<cCond> conds;
    const bool ok = ReadCondListInline(conds, r);
    if (!conds.empty()) EditConds() = std::move(conds);
    return ok;
}

void cEdBlock::Load(cRecordReader& r) {
    if (!LoadUsual(r)) {
        // Absent from an older file, the name keeps its value.
        std::string name = Name();
        const bool body = LoadFixedTable<kBlockFields>(r, Data(this), &name);
        SetName(std::move(name));
        if (!body || !LoadTail(r)) return;
    }
    wPicture = UpgradedPicture(r.Version(), byPictureKind, wPicture);
    if (byPaletteKind != 0 && wPaletteIndex != 0) ApplyPaletteInherit();
    CheckPalette();
}

void cEdBlock::Save(cRecordWriter& w) {
    CheckPalette();
    std::string none;
    SaveTable(w, Data(this), kBlockFields, side() ? &side()->strName : &none);
    w.WriteBytes(&sPosX, 2);
    w.WriteBytes(&sPosY, 2);
    const std::vector<u8> row = InheritRow();
    w.WriteU32(static_cast<u32>(row.size()));
    w.WriteBytes(row.data(), row.size());
    if (side()) {
        WriteRecordVector(w, side()->vCond);
    } else {
        w.WriteU32(0);
    }
}

void cEdBlock::CopyGroup(int k, const cEdBlock& src) {
    if (&src == this) return;
    if (k == 0) SetName(src.Name());
    if (k == 1 && (side() || !src.Conds().empty())) EditConds() = src.Conds();
    CopyTableGroup(Data(this), Data(&src), kBlockFields, static_cast<u8>(k));
}

void cEdBlock::ApplyPaletteInherit() { InheritFrom(*this, BlockPalette(byPaletteKind)); }

void cEdBlock::CheckPalette() {
    CheckPalette(*this, byPaletteKind == 1 ? SizeOf(BlockPalette(1)) : 0,
                 byPaletteKind == 2 ? SizeOf(BlockPalette(2)) : 0);
}

void cEdBlock::CheckItemRef() { CheckItemRef(SizeOf(ItemPalette(1)), SizeOf(ItemPalette(2))); }

// ---- cEdItem ----------------------------------------------------------------------------------

cEdItem::cEdItem() : vInherit(kGroups, 0) {}

// A stage frees its items long after it read them: each item's commands, and those of the
// items after it (which follow them in the record pool, in the order they are freed), are asked
// for before the first is waited for. (A prefetch never faults, so asking past the pool's
// storage is harmless.)
cEdItem::~cEdItem() {
    constexpr std::size_t kAheadBytes = 512;
    const char* const begin = reinterpret_cast<const char*>(vCmd.data());
    const char* const end = reinterpret_cast<const char*>(vCmd.data() + vCmd.size());
    if (begin)
        for (const char* p = begin; p < end + kAheadBytes; p += 64) __builtin_prefetch(p, 1);
}

void cEdItem::Reset() {
    *Data(this) = EDITEM_DATA{};
    vInherit.assign(kGroups, 0);
    strName.clear();
    vCond.clear();
    vCmd.clear();
}

void cEdItem::RegisterFields(u32 version) { RegisterTable(Data(this), kItemFields, version, &strName); }

void cEdItem::Load(cRecordReader& r) {
    if (!LoadFixedTable<kItemFields>(r, Data(this), &strName) || !LoadItemTail(*this, r)) return;
    if (!ReadFlowCmdList(vCmd, r)) return;
    wPicture = UpgradedPicture(r.Version(), byPictureKind, wPicture);
    // Each command checked itself as it was read; commands taken from a palette entry were not.
    constexpr std::size_t kCmdGroup = 12;
    const bool ownCmds = (byPaletteKind != 1 && byPaletteKind != 2) || wPaletteIndex == 0 ||
                         vInherit.size() <= kCmdGroup || vInherit[kCmdGroup] == 0;
    ApplyPaletteInherit();
    Validate(ownCmds);
}

void cEdItem::Save(cRecordWriter& w) {
    Validate();
    SaveTable(w, Data(this), kItemFields, &strName);
    SaveItemTail(*this, w);
    WriteFlowCmdList(vCmd, w);
}

void cEdItem::CopyGroup(int k, const cEdItem& src) {
    if (&src == this) return;
    if (k == 0) strName = src.strName;
    if (k == 1) vCond = src.vCond;
    if (k == 12) vCmd = src.vCmd;
    CopyTableGroup(Data(this), Data(&src), kItemFields, static_cast<u8>(k));
}

void cEdItem::ApplyPaletteInherit() { InheritFrom(*this, ItemPalette(byPaletteKind)); }

void cEdItem::Validate(bool cmdsChecked) {
    if ((byPaletteKind == 1 || byPaletteKind == 2) &&
        static_cast<u16>(wPaletteIndex) >= SizeOf(ItemPalette(byPaletteKind))) {
        byPaletteKind = 0;
        wPaletteIndex = 0;
    }
    if (bySize < 1) bySize = 1;
    if (PastLimit(wSound, CurrentCmdLimits().nSound)) wSound = 0;
    if (!cmdsChecked)
        for (cFlowCmd& c : vCmd) FixCmdParams(c);
}

void cEdItem::FixCmdRefs() { FixCmdRefList(vCmd); }

const cEdItem* GetEdItem(i8 kind, i16 index) {
    if (kind != 1 && kind != 2) return nullptr;
    const cVector<cEdItem>* pal = ItemPalette(kind);
    const u32 i = static_cast<u16>(index);
    if (!pal || i >= pal->size()) return nullptr;
    return &(*pal)[i];
}

const char* const g_ItemPickupLabels[4] = {"1回だけ取れる", "何回でも取れる", "取れない", ""};
