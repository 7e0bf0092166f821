#pragma once
// The records of a block (a tile of the stage's block map) and of an item. Like the character
// record, each is a common-palette entry, a stage-palette entry or a placed entry, and may take
// chosen groups of settings from a palette entry when it is read.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "records/BlockAlloc.h"
#include "records/Cond.h"
#include "records/FieldTable.h"
#include "records/FlowCmd.h"
#include "records/InheritFlags.h"

// Members are in the stored order (the field table's), byte for byte without padding: a placed
// block, of which a stage holds a hundred thousand, takes its whole body in one copy. The fields
// are not aligned; the processors this runs on read them as fast, and no code binds a reference
// or a pointer to one (the compiler refuses that for a packed member).
struct __attribute__((packed)) EDBLOCK_DATA {
    i8 byPaletteKind = 0; // 0 none, 1 common palette, 2 stage palette
    i16 wPaletteIndex = 0;
    u8 byGroup1a = 0;
    u8 byGroup1b = 0;
    u16 wPicture = 0;     // 0: no block in the cell
    u8 byPictureKind = 0; // the set: the graphic kind drawn (3: a numbered built-in picture, at most 119)
    u16 wGroup2 = 0;      // the variant: a cell offset added to the picture number
    u8 byLayer = 0;       // block pass that draws it
    u8 bHidden = 0;
    u8 bShowMark = 0;     // 1: mark wMark of the mark sheet is drawn over the block
    u16 wMark = 0;
    u8 bySolid = 1;       // what contact tests get (0 passable); 0 without a picture
    u8 byOpenSide = 255;  // side that does not block; 255 none
    u8 byGroup8 = 0;
    u32 dwGroup8 = 0;
    i8 byItemKind = 0;    // palette of the held item: 0 none, 1 common, 2 stage
    u16 wItemIndex = 0;
    u8 byGroup10 = 0;     // 0 without a picture
};

// A block keeps its settings and position in the record itself; what few blocks have (a name,
// conditions, an inherit row other than a short row of 0s and 1s) lives in side storage made
// only for them, so that the placed blocks of a stage are small and hold nothing to free.
class cEdBlock final : public cTableRecord, public EDBLOCK_DATA {
public:
    static constexpr int kGroups = 11;

    cEdBlock() = default;
    // Copies get side storage of their own (none for an empty one); the field lists are never
    // copied (see cRecord).
    cEdBlock(const cEdBlock& o)
        : cTableRecord(o), EDBLOCK_DATA(o), sPosX(o.sPosX), sPosY(o.sPosY), m_inherit(o.m_inherit) {
        CopySide(o);
    }
    // Takes the other block's side storage.
    cEdBlock(cEdBlock&& o) noexcept
        : cTableRecord(o), EDBLOCK_DATA(o), sPosX(o.sPosX), sPosY(o.sPosY), m_inherit(o.m_inherit) {
        TakeSide(o);
    }
    cEdBlock& operator=(const cEdBlock& o) {
        if (this != &o) {
            Assign(o);
            CopySide(o);
        }
        return *this;
    }
    cEdBlock& operator=(cEdBlock&& o) noexcept {
        if (this != &o) {
            Assign(o);
            TakeSide(o);
        }
        return *this;
    }
    ~cEdBlock() override {
        if (ListsIfMade()) block_holders::Remove(this);
    }

    void Reset();
    void RegisterFields(u32 version) override;
    // Body, position, flags, conditions; the older-picture upgrade; inheritance; CheckPalette.
    void Load(cRecordReader& r) override;
    // CheckPalette first.
    void Save(cRecordWriter& w) override;
    // Reads up to n placed blocks, each after its zero word, as long as they are in the form
    // nearly every placed block has (see LoadUsual), appending them to v: each read as Load
    // reads it, then its held-item reference checked against item palettes of the given sizes.
    // Returns how many it read; the block after them (if any of the n are left) is read
    // through Load. One bounds check and no per-block call: a stage holds a hundred thousand.
    static std::size_t ReadUsualRun(cRecordReader& r, cVector<cEdBlock>& v, std::size_t n, u32 commonItems,
                                    u32 stageItems);

    // True when destroying the block would free nothing (no side storage, no field lists):
    // a list of blocks then gives back its storage without running the destructor.
    bool HoldsNothing() const noexcept { return !ListsIfMade(); }
    // False when the block at p surely holds nothing, found without reading the block.
    // (A block that holds something is counted at its own address.)
    static bool MayHold(const cEdBlock* p) noexcept { return block_holders::Any(p); }

    void ApplyPaletteInherit();
    void CopyGroup(int k, const cEdBlock& src);
    void CheckPalette();
    // The same against block palettes of the given sizes (1 common, 2 the stage's).
    static void CheckPalette(EDBLOCK_DATA& d, u32 commonBlocks, u32 stageBlocks) {
        if ((d.byPaletteKind == 1 && static_cast<u16>(d.wPaletteIndex) >= commonBlocks) ||
            (d.byPaletteKind == 2 && static_cast<u16>(d.wPaletteIndex) >= stageBlocks)) {
            d.byPaletteKind = 0;
            d.wPaletteIndex = 0;
        }
        if (d.wPicture == 0) {
            d.bySolid = 0;
            d.byGroup10 = 0;
        }
    }
    // Drops a held-item reference past its item palette (run when a palette or stage is
    // prepared, once every palette is complete).
    void CheckItemRef();
    // The same against item palettes of the given sizes (1 common, 2 the stage's).
    void CheckItemRef(u32 commonItems, u32 stageItems) { CheckItemRef(*this, commonItems, stageItems); }
    static void CheckItemRef(EDBLOCK_DATA& d, u32 commonItems, u32 stageItems) {
        if ((d.byItemKind == 1 && d.wItemIndex >= commonItems) || (d.byItemKind == 2 && d.wItemIndex >= stageItems)) {
            d.byItemKind = 0;
            d.wItemIndex = 0;
        }
    }

    // The name (a memo of the editor's; only carried).
    const std::string& Name() const;
    void SetName(std::string name);
    // The appearance conditions: while non-empty and not holding, contact tests get 0 for the
    // block.
    const cVector<cCond>& Conds() const;
    cVector<cCond>& EditConds();

    // The inherit flags, one byte per settings group, as many as the file gave (they are
    // written back as read). A bad index is reported like a container's and reads 0.
    std::size_t InheritCount() const {
        return m_inherit == kSpilled ? side()->vInherit.size() : m_inherit >> kCountShift;
    }
    u8 Inherit(std::size_t k) const;
    void SetInherit(std::size_t k, u8 value);
    void SetInheritRow(const u8* row, std::size_t n);
    void FillInherit(u8 value);
    std::vector<u8> InheritRow() const;

    i16 sPosX = 0;
    i16 sPosY = 0;

private:
    // A block read in the usual form (see ReadUsualRun): its body, its position (x in the low
    // half) and its inherit row (as kept in the block), written once each.
    struct Usual {
        const char* body; // as stored
        u32 pos;
        u16 inherit;
    };

public:
    // For the list's construction only (Usual is private).
    explicit cEdBlock(const Usual& u)
        : sPosX(static_cast<i16>(u.pos)), sPosY(static_cast<i16>(u.pos >> 16)), m_inherit(u.inherit) {
        std::memcpy(static_cast<EDBLOCK_DATA*>(this), u.body, sizeof(EDBLOCK_DATA));
    }

private:
    // The side storage shares one allocation with the base's field lists: a block carries no
    // pointer of its own, and one that holds nothing to free has neither. Made only for the
    // blocks that need either; counted among the block holders at the block's address.
    struct Side : FieldLists {
        std::string strName;
        cVector<cCond> vCond;
        std::vector<u8> vInherit; // the row, when it is not kept in the block
        bool Empty() const { return strName.empty() && vCond.empty() && vInherit.empty(); }
    };
    std::unique_ptr<FieldLists> MakeFieldLists() const override { return std::make_unique<Side>(); }
    void FieldListsMade() override { block_holders::Add(this); }
    // Every allocation in the slot is a Side (made by MakeFieldLists or MakeSide).
    Side* side() const noexcept { return static_cast<Side*>(const_cast<FieldLists*>(ListsIfMade())); }
    Side& MakeSide() {
        if (!ListsIfMade()) {
            ListsSlot() = std::make_unique<Side>();
            block_holders::Add(this);
        }
        return *side();
    }
    void DropSide() noexcept {
        if (!ListsIfMade()) return;
        block_holders::Remove(this);
        ListsSlot().reset();
    }
    // The other block's side storage, or none when it is empty.
    void CopySide(const cEdBlock& o) {
        const Side* from = o.side();
        if (!from || from->Empty()) {
            DropSide();
            return;
        }
        Side& to = MakeSide();
        to.strName = from->strName;
        to.vCond = from->vCond;
        to.vInherit = from->vInherit;
    }
    // Takes the other block's side storage; its field lists pointed into the other block and
    // are emptied (every use registers them again). The other block keeps a row of its own.
    void TakeSide(cEdBlock& o) noexcept {
        DropSide();
        if (!o.ListsIfMade()) return;
        if (o.m_inherit == kSpilled) o.m_inherit = kGroups << kCountShift;
        block_holders::Remove(&o);
        ListsSlot() = std::move(o.ListsSlot());
        ListsSlot()->fields.clear();
        ListsSlot()->strings.clear();
        block_holders::Add(this);
    }
    // Everything but the storage.
    void Assign(const cEdBlock& o) noexcept {
        static_cast<EDBLOCK_DATA&>(*this) = o;
        sPosX = o.sPosX;
        sPosY = o.sPosY;
        m_inherit = o.m_inherit;
    }

    // The row is kept in the block while it has at most kGroups entries, each 0 or 1: its
    // count in the top four bits and a bit per entry below. Otherwise it is in the side storage
    // and the word is kSpilled.
    static constexpr unsigned kCountShift = 12;
    static constexpr std::size_t kBitRow = kGroups;
    static constexpr u16 kSpilled = 0xF000;
    static_assert(kBitRow <= kCountShift && (kBitRow << kCountShift) < kSpilled);

    bool LoadUsual(cRecordReader& r);
    bool LoadTail(cRecordReader& r);
    bool ReadInheritRow(cRecordReader& r);
    void SpillInherit();
    bool FieldsInside() const override { return false; }

    u16 m_inherit = kGroups << kCountShift;
};

struct EDITEM_DATA {
    i8 byPaletteKind = 0;
    i16 wPaletteIndex = 0;
    u8 byGroup1a = 0;
    u8 byGroup1b = 0;
    u16 wGroup2 = 0;
    u16 wGroup3 = 0;
    u16 wPicture = 0;
    u8 byPictureKind = 2; // 3: a numbered built-in picture (at most 119)
    u16 wGroup4 = 0;      // the pattern (cell offset) of the graphic shown when it is taken
    u8 byGroup5 = 6;      // animation speed: frames per picture (0 still)
    u8 bHidden = 0;
    u8 bShowMark = 0;
    u16 wMark = 0;
    u8 byGroup10 = 1;     // stored before byPickup; 1: taking it shows its graphic over the hero
    u8 byPickup = 0;      // 0 once, 1 any number of times, 2 cannot be taken
    i8 bySize = 1;        // never below 1
    u16 wSound = 0;       // sound database index
};

class cEdItem final : public cTableRecord, public EDITEM_DATA {
public:
    static constexpr int kGroups = 13;

    cEdItem();
    cEdItem(const cEdItem&) = default;
    cEdItem(cEdItem&&) = default;
    cEdItem& operator=(const cEdItem&) = default;
    cEdItem& operator=(cEdItem&&) = default;
    ~cEdItem() override;

    void Reset();
    void RegisterFields(u32 version) override;
    // Body, position, flags, conditions, commands; the older-picture upgrade; inheritance;
    // Validate.
    void Load(cRecordReader& r) override;
    // Validate first.
    void Save(cRecordWriter& w) override;

    void ApplyPaletteInherit();
    void CopyGroup(int k, const cEdItem& src);
    // cmdsChecked: every command was checked against the current limits since it last changed
    // (as it is read), so that the commands are not walked again.
    void Validate(bool cmdsChecked = false);
    void FixCmdRefs();
    void FixCmdRefs(const CMDLIMITS& lim) { FixCmdRefList(vCmd, lim); }

    i16 sPosX = 0;
    i16 sPosY = 0;
    cInlineBytes<16> vInherit;
    std::string strName;
    cVector<cCond> vCond;
    cVector<cFlowCmd> vCmd; // item command set, run for the player who takes the item
};

// The item palette entry of kind 1 (common) or 2 (the stage's); null for any other kind or an
// index past the palette (the index is taken as unsigned: -1 is past every palette).
const cEdItem* GetEdItem(i8 kind, i16 index);

extern const char* const g_ItemPickupLabels[4];
