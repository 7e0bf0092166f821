#pragma once
// One stage in memory and the record of a stage file: a header of 98 numbered settings and one
// text, ranking switches, five parameter records, the stage's own palettes of blocks,
// characters and items, the placed blocks, characters and items, background layers and names.
// The play engine reads the numbered settings by meaning through StageSettings.
#include <array>
#include <string>

#include "records/DataFile.h"
#include "records/EdBlockItem.h"
#include "records/EdChara.h"
#include "records/FieldTable.h"
#include "records/StageSub.h"

constexpr u32 kStageTrailer = 123456789; // 0x075BCD15, the last word of files from 173 on
constexpr int kStageHeaderFields = 98;
constexpr int kStageParamCount = 5;
constexpr int kStageRankSwitches = 5;
constexpr u32 kStageNameCount = 1000;
// Bounds of a stage's size in cells. The play engine's block map holds (height + 20) rows of a
// power-of-two pitch above width + 19; these keep it below about 4.2 million cells.
constexpr u32 kMaxStageWidth = 4000;
constexpr u32 kMaxStageHeight = 1000;

// The header's numbers, indexed by field number (1..98). The six doubles live in dField at
// their own numbers; their slots in dwField are unused, and the reverse.
struct STAGEHEADER {
    u32 dwField[kStageHeaderFields + 1] = {};
    double dField[kStageHeaderFields + 1] = {};
};

class cStage : public cTableRecord {
public:
    cStage();
    cStage(const cStage&) = default;
    cStage(cStage&&) = default;
    cStage& operator=(const cStage&) = default;
    cStage& operator=(cStage&&) = default;
    ~cStage() override = default;

    // A new stage: cleared header with its defaults, one-entry palettes, one layer, five rank
    // switches on, the default parameter records. The derived speed values stay 0.
    void Init();

    void RegisterFields(u32 version) override;
    // Reads the stage-file body (after the version word) with the upgrades of older files, then
    // Prepare. Fails r on a damaged file.
    void Load(cRecordReader& r) override;
    // Prepare, then the stage-file body ending with the trailer.
    void Save(cRecordWriter& w) override;
    // The body with header, switches, parameters, layers and names taken from `snapshot` and
    // the palettes and placed lists from this stage (a replay's stage).
    void WriteSnapshot(cRecordWriter& w, cStage& snapshot);

    // Clamps the settings, derives the speed values and checks every palette and placed entry.
    void Prepare();
    // Speed level L: the step is L - 10 for 11..19, else L; never below 1.
    void SetSpeed(i32 level);

    // Index of the first placed character with a picture and operation 0 (player), or -1.
    int FindHero() const;
    bool HasHero() const { return FindHero() >= 0; }

    void ResetBlockPalette(u32 n);
    void ResetCharaPalette(u32 n);
    void ResetItemPalette(u32 n);
    void ResetBackList(u32 n);
    // Header #36..#51 and #60..#83 to their defaults.
    void SetDefaultSizes();

    // Header access by field number (1..98); a number outside the header is an error reported
    // like any bad index, and yields a scratch value.
    u32& Field(int n);
    u32 Field(int n) const;
    double& FieldF(int n);
    double FieldF(int n) const;
    static bool IsDoubleField(int n);

    // The fields the data format names.
    u32& dwWidth() { return m_hdr.dwField[1]; }
    u32& dwHeight() { return m_hdr.dwField[4]; }
    u32& dwFrameRate() { return m_hdr.dwField[13]; }
    double& dBaseAccel() { return m_hdr.dField[21]; }
    u32& dwSpeedLevel() { return m_hdr.dwField[22]; }
    u32& dwBgm() { return m_hdr.dwField[24]; }
    u32& dwSpeedStep() { return m_hdr.dwField[87]; }
    double& dSpeedStep() { return m_hdr.dField[88]; }
    double& dSpeedStepSq() { return m_hdr.dField[89]; }
    double& dSpeedBase() { return m_hdr.dField[90]; }
    double& dAccelStep() { return m_hdr.dField[91]; }
    double& dSpeedRatio() { return m_hdr.dField[92]; }
    u32& dwSpeedStep8() { return m_hdr.dwField[93]; }

    STAGEHEADER& Header() { return m_hdr; }
    const STAGEHEADER& Header() const { return m_hdr; }
    // Copies the header numbers and text (what cRecord::CopyFrom does for the header).
    void CopyHeader(const cStage& src);

    std::string strStage; // the header's text; only carried
    cVector<u32> vRankSwitch;
    std::array<cStageParams, kStageParamCount> aParams;
    cVector<cEdBlock> vBlockPalette;
    cVector<cEdChara> vCharaPalette;
    cVector<cEdItem> vItemPalette;
    cVector<cEdBlock> vBlock;
    cVector<cEdChara> vChara;
    cVector<cEdItem> vItem;
    cVector<cEdBack> vBack;
    cVector<cNameRec> vName;

    // Not in the file.
    std::string strFilePath; // the file the stage came from
    u32 nFileVersion = kProgVer; // the data version it was read from (this program's when made here)
    u32 bNumberedFile = 0;
    u32 bLoaded = 0;
    u32 dwSpeedStep6 = 0;    // 6 x the speed step

private:
    // justRead: the placed entries were just read, with their checks.
    void Prepare(bool justRead);
    // The command limits with the sizes of the stage palettes in use (PaletteStage()'s, this
    // stage's as Prepare pads them).
    CMDLIMITS PaletteLimits() const;
    void WriteBody(cRecordWriter& w, cStage& settings);
    void Upgrade(u32 version);
    void BoundSize();
    void BoundBoxSizes();

    STAGEHEADER m_hdr;
};

// The stage being played, and the stage as loaded from its file (what each stage set-up and
// replay save start from).
extern cStage g_Stage;
extern cStage g_StageAtStart;

// The stage whose palettes inheritance and reference checks use: g_Stage, except on a thread
// that is reading a stage file for play, where it is the stage being read (its palettes are
// complete before its placed entries are read, as when the file is read straight into g_Stage).
cStage& PaletteStage();

class StagePaletteScope {
public:
    explicit StagePaletteScope(cStage& stage);
    ~StagePaletteScope();
    StagePaletteScope(const StagePaletteScope&) = delete;
    StagePaletteScope& operator=(const StagePaletteScope&) = delete;

private:
    cStage* m_prev;
};

// 1 when the file is usable or cannot be opened (the load that follows reports that); 0, after
// the damaged-stage message, when it is damaged (a version from 174 on whose last word is not
// the trailer).
int CheckStageFile(const std::string& path);

// Reads a whole stage file into stage: 1 on success; 0 (stage unchanged) when the file cannot
// be opened, is newer than the program or is damaged, which why tells apart. The stage's own
// palettes serve its placed entries' inheritance.
int LoadStageFile(cStage& stage, const std::string& path, LoadResult* why = nullptr);

// Loading beside the stage in use, so that a damaged file changes nothing: a stage is read into
// staged, which starts from stage's header (fields that a short header leaves unread keep
// stage's values, as when the file is read over it); false when the body is damaged. Adopting
// it puts it in place of stage, which keeps its file name and load flags.
bool ReadStagedStage(cRecordReader& r, const cStage& stage, cStage& staged);
void AdoptStagedStage(cStage& stage, cStage& staged);
