#include "records/Stage.h"

#include <algorithm>
#include <cstdio>

#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/system/Thread.h"
#include "records/DataFile.h"
#include "records/PaletteSource.h"
#include "records/StageSettings.h"

cStage g_Stage;
cStage g_StageAtStart;

namespace {

thread_local cStage* t_paletteStage = nullptr;

// Smallest stored size of each element, so that a count the rest of the file cannot hold is
// refused before anything is allocated for it: the record stream's two counts plus what each
// class adds after it.
constexpr std::size_t kMinRecord = 8;
constexpr std::size_t kMinBlock = kMinRecord + 4 + 4 + 4;
constexpr std::size_t kMinItem = kMinBlock + 4;
constexpr std::size_t kMinChara = kMinRecord + 8 + 4 + 4 + 4;

u16 HeaderFrom(int n) {
    switch (n) {
    case 42: case 43: case 50: case 51: case 66: case 67: case 72: case 73: return 155;
    case 25: return 166;
    case 30: return 183;
    case 31: return 184;
    case 26: return 199;
    case 36: case 37: case 38: case 39: case 48: case 49: case 52: case 56:
    case 60: case 61: case 62: case 63: case 70: case 71: return 200;
    case 33: return 225;
    default: return 0;
    }
}

const std::array<FIELDDEF, kStageHeaderFields>& HeaderTable() {
    static const std::array<FIELDDEF, kStageHeaderFields> table = [] {
        std::array<FIELDDEF, kStageHeaderFields> t{};
        for (int n = 1; n <= kStageHeaderFields; ++n) {
            const bool dbl = cStage::IsDoubleField(n);
            const std::size_t offset = dbl ? offsetof(STAGEHEADER, dField) + sizeof(double) * n
                                           : offsetof(STAGEHEADER, dwField) + sizeof(u32) * n;
            t[n - 1] = FIELDDEF{static_cast<u32>(offset), static_cast<u8>(dbl ? 8 : 4), HeaderFrom(n), kNoGroup};
        }
        return t;
    }();
    return table;
}

// Long lists give the thread a chance to leave when the program closes mid-load.
bool Cancelled(cRecordReader& r, std::size_t i) {
    if ((i & 4095) != 4095 || !ThreadCancelPoint()) return false;
    r.Fail();
    return true;
}

// Reads a palette: n new entries, each read in place (an entry may inherit from an earlier one
// of the same palette), then entry 0 becomes the empty entry whatever the file held.
template <class T>
bool ReadPalette(cRecordReader& r, cVector<T>& v, std::size_t minBytes) {
    u32 n = 0;
    if (!r.ReadCount(n, minBytes)) return false;
    v.clear();
    v.resize(n);
    for (std::size_t i = 0; i < v.size(); ++i) {
        v[static_cast<long long>(i)].Load(r);
        if (r.Failed() || Cancelled(r, i)) return false;
    }
    if (!v.empty()) v[0].Reset();
    return true;
}

// Placed entries: each is preceded by a word that is always 0 and means nothing. Each entry is
// made where it stays and read while its memory is at hand (placed entries inherit from the
// palettes, never from each other); the count was checked against the bytes left.
// check runs on each entry once it is read.
template <class T, class Check>
bool ReadPlaced(cRecordReader& r, cVector<T>& v, std::size_t minBytes, Check check) {
    u32 n = 0;
    if (!r.ReadCount(n, minBytes + 4)) return false;
    v.clear();
    v.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (!r.Skip(4)) return false;
        T& e = v.emplace_back();
        e.T::Load(r);
        if (r.Failed() || Cancelled(r, i)) return false;
        check(e);
    }
    return true;
}

// The placed blocks: runs of blocks in their usual form are read in one go, anything else one
// by one as ReadPlaced reads it; the thread may leave between runs of 4096.
bool ReadPlacedBlocks(cRecordReader& r, cVector<cEdBlock>& v, u32 commonItems, u32 stageItems) {
    u32 n = 0;
    if (!r.ReadCount(n, kMinBlock + 4)) return false;
    v.clear();
    v.reserve(n);
    std::size_t i = 0;
    while (i < n) {
        const std::size_t chunk = std::min<std::size_t>(n - i, 4096 - (i & 4095));
        const std::size_t got = cEdBlock::ReadUsualRun(r, v, chunk, commonItems, stageItems);
        i += got;
        if (got < chunk) {
            if (!r.Skip(4)) return false;
            cEdBlock& e = v.emplace_back();
            e.Load(r);
            if (r.Failed()) return false;
            e.CheckItemRef(commonItems, stageItems);
            ++i;
        }
        if ((i & 4095) == 0 && i < n && ThreadCancelPoint()) {
            r.Fail();
            return false;
        }
    }
    return true;
}

template <class T>
void WritePlaced(cRecordWriter& w, cVector<T>& v) {
    w.WriteU32(static_cast<u32>(v.size()));
    for (T& e : v) {
        w.WriteU32(0);
        e.Save(w);
    }
}

template <class T>
void PadPalette(cVector<T>& v) {
    while (v.size() < 2) v.emplace_back();
}

} // namespace

// ---- palette source ---------------------------------------------------------------------------

cStage& PaletteStage() { return t_paletteStage ? *t_paletteStage : g_Stage; }

StagePaletteScope::StagePaletteScope(cStage& stage) : m_prev(t_paletteStage) { t_paletteStage = &stage; }
StagePaletteScope::~StagePaletteScope() { t_paletteStage = m_prev; }

// ---- cStage -----------------------------------------------------------------------------------

cStage::cStage() { Init(); }

bool cStage::IsDoubleField(int n) { return n == 21 || (n >= 88 && n <= 92); }

u32& cStage::Field(int n) {
    if (n < 1 || n > kStageHeaderFields) {
        static u32 scratch;
        ReportBadIndex('V', n, kStageHeaderFields + 1, sizeof(u32));
        scratch = 0;
        return scratch;
    }
    return m_hdr.dwField[n];
}

u32 cStage::Field(int n) const { return const_cast<cStage*>(this)->Field(n); }

double& cStage::FieldF(int n) {
    if (n < 1 || n > kStageHeaderFields) {
        static double scratch;
        ReportBadIndex('V', n, kStageHeaderFields + 1, sizeof(double));
        scratch = 0;
        return scratch;
    }
    return m_hdr.dField[n];
}

double cStage::FieldF(int n) const { return const_cast<cStage*>(this)->FieldF(n); }

void cStage::CopyHeader(const cStage& src) {
    m_hdr = src.m_hdr;
    strStage = src.strStage;
}

void cStage::RegisterFields(u32 version) { RegisterTable(&m_hdr, HeaderTable(), version, &strStage); }

void cStage::Init() {
    m_hdr = STAGEHEADER{};
    strStage.clear();
    vBlock.clear();
    vChara.clear();
    vItem.clear();
    ResetBlockPalette(1);
    ResetCharaPalette(1);
    ResetItemPalette(1);
    u32* f = m_hdr.dwField;
    f[15] = 200;
    f[14] = 0;
    f[16] = 20;
    m_hdr.dField[21] = 0.4;
    f[13] = 60;
    f[22] = 10;
    f[23] = 0;
    f[27] = 1;
    f[94] = 1;
    f[30] = 1;
    f[31] = 0;
    f[32] = 0;
    f[33] = 1;
    f[34] = 1;
    f[35] = 1;
    f[96] = 0;
    f[95] = 30;
    f[98] = 0;
    f[97] = 30;
    ResetBackList(1);
    vBack[0].dwSource = 1;
    vRankSwitch.assign(kStageRankSwitches, 1);
    for (int i = 0; i < 3; ++i) aParams[i].Set(0, 0, 0, 0, 0, 0, 0, 0);
    aParams[3].Set(1, 1, 1, 1, 0, 0, 0, 0);
    aParams[4].Set(1, 1, 1, 1, 10, 10, 10, 10);
    SetDefaultSizes();
    f[84] = 1;
}

void cStage::SetDefaultSizes() {
    static constexpr u32 kFirst[16] = {16, 24, 16, 16, 16, 24, 16, 16, 12, 8, 16, 16, 1, 0, 1, 0};   // #36..#51
    static constexpr u32 kSecond[24] = {16, 24, 16, 16, 12, 24, 12, 16, 30, 30, 1, 0, 1, 0,
                                        28, 28, 16, 16, 16, 16, 16, 16, 16, 16};               // #60..#83
    for (int i = 0; i < 16; ++i) m_hdr.dwField[36 + i] = kFirst[i];
    for (int i = 0; i < 24; ++i) m_hdr.dwField[60 + i] = kSecond[i];
}

void cStage::ResetBlockPalette(u32 n) {
    vBlockPalette.clear();
    vBlockPalette.resize(n);
}

void cStage::ResetCharaPalette(u32 n) {
    vCharaPalette.clear();
    vCharaPalette.resize(n);
}

void cStage::ResetItemPalette(u32 n) {
    vItemPalette.clear();
    vItemPalette.resize(n);
}

void cStage::ResetBackList(u32 n) {
    cEdBack layer;
    layer.Reset();
    vBack.assign(n, layer);
}

void cStage::Load(cRecordReader& r) {
    const u32 version = r.Version();
    nFileVersion = version;
    if (!LoadTable(r, &m_hdr, HeaderTable(), &strStage)) return;

    u32 n = 0;
    if (!r.ReadCount(n, 4)) return;
    vRankSwitch.resize(n, 0);
    if (n && !r.ReadBytes(vRankSwitch.data(), static_cast<std::size_t>(n) * 4)) return;

    // Cleared first: a file from before 125 lacks three values of each, which must not be left
    // over from the stage read before.
    for (cStageParams& p : aParams) {
        p.Clear();
        p.Load(r);
        if (r.Failed()) return;
    }

    if (!ReadPalette(r, vBlockPalette, kMinBlock) || !ReadPalette(r, vCharaPalette, kMinChara) ||
        !ReadPalette(r, vItemPalette, kMinItem))
        return;
    // The palette references of placed entries are checked against the palettes as Prepare
    // leaves them while each entry is at hand, instead of in a second walk over a hundred
    // thousand blocks.
    const CMDLIMITS lim = PaletteLimits();
    const u32 commonItems = CommonItemCount();
    auto checkChara = [&](cEdChara& c) { c.FixFlowRefs(lim); };
    auto checkItem = [&](cEdItem& it) { it.FixCmdRefs(lim); };
    if (!ReadPlacedBlocks(r, vBlock, commonItems, lim.nStagePal[3]) || !ReadPlaced(r, vChara, kMinChara, checkChara) ||
        !ReadPlaced(r, vItem, kMinItem, checkItem))
        return;

    if (!r.ReadCount(n, kMinRecord)) return;
    ResetBackList(n);
    for (cEdBack& b : vBack) {
        b.Load(r);
        if (r.Failed()) return;
    }
    if (!r.ReadCount(n, kMinRecord)) return;
    vName.assign(n, cNameRec());
    for (cNameRec& nr : vName) {
        nr.Load(r);
        if (r.Failed()) return;
    }

    if (version >= 173) {
        u32 trailer = 0;
        if (!r.ReadU32(trailer)) return;
        // From 174 on the word is checked before a file is loaded for play; here a wrong one
        // means the body was not what its counts said (a replay's stage is read this way too).
        if (version >= 174 && trailer != kStageTrailer) {
            r.Fail();
            return;
        }
    }
    if (version < kProgVer) Upgrade(version);
    Prepare(true);
}

void cStage::Upgrade(u32 version) {
    u32* f = m_hdr.dwField;
    if (version < 155) {
        f[42] = f[40];
        f[43] = f[41];
        f[66] = f[64];
        f[67] = f[65];
        f[50] = f[51] = f[72] = f[73] = 0;
    }
    if (version < 166) f[25] = 1;
    if (version < 181) {
        vRankSwitch.resize(kStageRankSwitches, 0);
        vRankSwitch[3] = 0;
        vRankSwitch[4] = 0;
    }
    if (version < 183) f[30] = 1;
    if (version < 184) f[31] = 0;
    if (version < 199) f[26] = 0;
    if (version < 200) {
        f[36] = 16;
        f[37] = 24;
        f[38] = 16;
        f[39] = 16;
        f[48] = 1;
        f[49] = 0;
        f[52] = 0;
        f[56] = 5;
        f[60] = 16;
        f[61] = 30;
        f[62] = 16;
        f[63] = 30;
        f[70] = 1;
        f[71] = 1;
    }
    if (version < 225) f[33] = 0;
    if (version < 754) vName.resize(kStageNameCount);
}

void cStage::BoundSize() {
    // The block map is sized from these; a damaged or hostile value must not make it enormous.
    if (dwWidth() > kMaxStageWidth) {
        WriteReport("stage width %u exceeds %u and is cut", dwWidth(), kMaxStageWidth);
        dwWidth() = kMaxStageWidth;
    }
    if (dwHeight() > kMaxStageHeight) {
        WriteReport("stage height %u exceeds %u and is cut", dwHeight(), kMaxStageHeight);
        dwHeight() = kMaxStageHeight;
    }
}

void cStage::BoundBoxSizes() {
    // Boxes and rectangles are placed inside cells of 32 dots; a damaged or hostile size must not
    // overflow the play's position arithmetic. Sizes read as signed, as the play reads them.
    constexpr i64 kLimit = 1024;
    for (eStage s : {eStage::HitSizeAW, eStage::HitSizeAH, eStage::HitSizeBW, eStage::HitSizeBH, eStage::WalkBoxW,
                     eStage::WalkBoxH, eStage::FlyBoxW, eStage::FlyBoxH, eStage::DamageRectW, eStage::DamageRectH,
                     eStage::PickupRectW, eStage::PickupRectH, eStage::CharaHitSizeAW, eStage::CharaHitSizeAH,
                     eStage::CharaHitSizeBW, eStage::CharaHitSizeBH, eStage::SmallSizeW, eStage::SmallSizeH,
                     eStage::LargeSizeW, eStage::LargeSizeH, eStage::ItemHitW, eStage::ItemHitH, eStage::BlockSizeW,
                     eStage::BlockSizeH, eStage::PlayerShotBoxW, eStage::PlayerShotBoxH, eStage::EnemyShotBoxW, eStage::EnemyShotBoxH}) {
        const i64 v = static_cast<i32>(StageSettings::Get(*this, s));
        if (v < -kLimit || v > kLimit) StageSettings::Set(*this, s, std::clamp(v, -kLimit, kLimit));
    }
}

CMDLIMITS cStage::PaletteLimits() const {
    const cStage& pal = PaletteStage();
    // Prepare pads this stage's palettes (and no other's) to two entries.
    auto size = [&](std::size_t n) { return static_cast<u32>(&pal == this ? std::max<std::size_t>(n, 2) : n); };
    CMDLIMITS lim = GetCmdLimits();
    lim.nStagePal[1] = size(pal.vBlockPalette.size());
    lim.nStagePal[2] = size(pal.vCharaPalette.size());
    lim.nStagePal[3] = size(pal.vItemPalette.size());
    return lim;
}

void cStage::Prepare() { Prepare(false); }

void cStage::Prepare(bool justRead) {
    BoundSize();
    u32* f = m_hdr.dwField;
    const i64 w = static_cast<i32>(f[1]);
    const i64 h = static_cast<i32>(f[4]);
    auto clampTo = [f](int n, i64 limit) {
        if (static_cast<i32>(f[n]) > limit) f[n] = static_cast<u32>(static_cast<i32>(limit));
    };
    clampTo(9, w - 20);
    clampTo(10, w - 1);
    clampTo(11, h - 15);
    clampTo(12, h - 1);
    BoundBoxSizes();
    SetSpeed(static_cast<i32>(dwSpeedLevel()));
    if (PastLimit(dwBgm(), GetCmdLimits().nBgm)) dwBgm() = 0;

    PadPalette(vBlockPalette);
    PadPalette(vCharaPalette);
    PadPalette(vItemPalette);

    // The summon commands' palette references are checked against the stage whose palettes
    // are in use.
    SetCmdLimits(PaletteLimits());

    // Placed entries just read were checked as they were read, against the palettes as read and
    // the limits set above; the palettes only grew since (padding), so checking them again would
    // change nothing. Palette entries always are checked: entry 0 was reset after its read, and
    // padding adds new ones.
    for (cEdBlock& b : vBlockPalette) {
        b.CheckPalette();
        b.CheckItemRef();
    }
    if (!justRead)
        for (cEdBlock& b : vBlock) {
            b.CheckPalette();
            b.CheckItemRef();
        }
    for (cEdChara& c : vCharaPalette) {
        c.Validate();
        c.FixFlowRefs();
    }
    if (!justRead)
        for (cEdChara& c : vChara) {
            c.Validate();
            c.FixFlowRefs();
        }
    for (cEdItem& it : vItemPalette) {
        it.Validate();
        it.FixCmdRefs();
    }
    if (!justRead)
        for (cEdItem& it : vItem) {
            it.Validate();
            it.FixCmdRefs();
        }
    // A carried item past the placed items would end the program at stage set-up: it becomes
    // none. (Palette entries carry nothing; their word is left alone.)
    for (cEdChara& c : vChara)
        if (c.nHoldItem != cEdChara::kNoItem && c.nHoldItem >= vItem.size()) c.nHoldItem = cEdChara::kNoItem;
}

void cStage::SetSpeed(i32 level) {
    dwSpeedLevel() = static_cast<u32>(level);
    const bool fine = level >= 11 && level <= 19;
    i64 s = fine ? level - 10 : level;
    if (s < 1) {
        // No step per frame would stop play and divide by zero in every speed setting.
        WriteReport("stage speed level %d gives no play step; 1 step is used", level);
        s = 1;
    }
    const u32 step = static_cast<u32>(s);
    dwSpeedStep() = step;
    dSpeedStep() = static_cast<double>(s);
    dwSpeedStep6 = 6u * step;
    dSpeedStepSq() = dSpeedStep() * dSpeedStep();
    dSpeedBase() = fine ? 60.0 : 6.0 * dSpeedStep();
    dwSpeedStep8() = 8u * step;
    dSpeedRatio() = dSpeedBase() / dSpeedStep();
    dAccelStep() = dBaseAccel() / dSpeedStepSq();
}

int cStage::FindHero() const {
    for (std::size_t i = 0; i < vChara.size(); ++i) {
        const cEdChara& c = vChara.data()[i];
        if (c.wPicture != 0 && c.byOperation == 0) return static_cast<int>(i);
    }
    return -1;
}

void cStage::WriteBody(cRecordWriter& w, cStage& settings) {
    settings.SaveTable(w, &settings.m_hdr, HeaderTable(), &settings.strStage);
    w.WriteU32(static_cast<u32>(settings.vRankSwitch.size()));
    w.WriteBytes(settings.vRankSwitch.data(), settings.vRankSwitch.size() * 4);
    for (cStageParams& p : settings.aParams) p.Save(w);
    WriteRecordVector(w, vBlockPalette);
    WriteRecordVector(w, vCharaPalette);
    WriteRecordVector(w, vItemPalette);
    WritePlaced(w, vBlock);
    WritePlaced(w, vChara);
    WritePlaced(w, vItem);
    WriteRecordVector(w, settings.vBack);
    WriteRecordVector(w, settings.vName);
    w.WriteU32(kStageTrailer);
}

// A stage's entries are checked against its own palettes when it is written (for g_Stage, the
// stage written in play, those are g_Stage's own).
void cStage::Save(cRecordWriter& w) {
    StagePaletteScope scope(*this);
    Prepare();
    WriteBody(w, *this);
}

void cStage::WriteSnapshot(cRecordWriter& w, cStage& snapshot) {
    StagePaletteScope scope(*this);
    Prepare();
    WriteBody(w, snapshot);
}

// ---- stage files ------------------------------------------------------------------------------

int CheckStageFile(const std::string& path) {
    // Whatever cannot be opened is left to the load, which says why (once: quiet here).
    FILE* f = OpenFile(path.empty() ? std::string("err") : path, "rb", true);
    if (!f) return 1;
    u32 version = 0;
    u32 last = 0;
    bool ok = std::fread(&version, 4, 1, f) == 1;
    if (!ok || version > g_nProgVer || version < 174) {
        // Unreadable or of a version without a checked trailer: the load decides.
        std::fclose(f);
        return 1;
    }
    ok = std::fseek(f, -4, SEEK_END) == 0 && std::ftell(f) >= 4 && std::fread(&last, 4, 1, f) == 1;
    std::fclose(f);
    if (ok && last == kStageTrailer) return 1;
    // Refused with its message; the program goes on, as for every damaged file.
    WriteReportBox("ステージファイル %s が破損しています！", ToDisplayText(path).c_str());
    return 0;
}

bool ReadStagedStage(cRecordReader& r, const cStage& stage, cStage& staged) {
    staged.CopyHeader(stage);
    StagePaletteScope scope(staged);
    staged.Load(r);
    return !r.Failed();
}

void AdoptStagedStage(cStage& stage, cStage& staged) {
    staged.strFilePath = stage.strFilePath;
    staged.bNumberedFile = stage.bNumberedFile;
    staged.bLoaded = stage.bLoaded;
    stage = std::move(staged);
}

int LoadStageFile(cStage& stage, const std::string& path, LoadResult* why) {
    LoadResult result = LoadResult::Loaded;
    auto r = OpenDataFileRead(path, &result);
    cStage loaded;
    // Where the trailer is checked it must be the file's last word.
    if (r && (!ReadStagedStage(*r, stage, loaded) || (r->Version() >= 174 && !r->AtEnd())))
        result = LoadResult::Damaged;
    if (why) *why = result;
    if (result != LoadResult::Loaded) return 0;
    ReportNotFinite(*r, path);
    AdoptStagedStage(stage, loaded);
    return 1;
}
