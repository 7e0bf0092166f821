#pragma once
// One command of a flow (or of an item's command list). A command belongs to one of two command
// sets, has a kind within its set and a list of integer parameters sized by its kind's row of
// the set's table; depending on the kind it owns a movement, a shot, a condition list and flows
// that it hands over.
//
// Ownership: the movement, shot and condition list belong to the command; a copy of a command
// creates its own.
#include <functional>
#include <memory>
#include <string>

#include "records/Cond.h"
#include "records/EdMove.h"
#include "records/EdShot.h"
#include "records/Record.h"
#include "records/RecordPool.h"

class cFlow;

class cFlowCmd final : public cRecord {
public:
    cFlowCmd();
    cFlowCmd(const cFlowCmd& src);
    cFlowCmd(cFlowCmd&& src) noexcept;
    cFlowCmd& operator=(const cFlowCmd& src);
    cFlowCmd& operator=(cFlowCmd&& src) noexcept;
    ~cFlowCmd() override;

    void RegisterFields(u32 version) override;
    // Read: body, owned records, flows, parameters, upgrades of older files, removal of
    // editor-only flows, parameter check. A damaged file (bad count, nesting too deep) fails r.
    void Load(cRecordReader& r) override;
    // Checks the parameters first, so that what is written is what a read would give.
    void Save(cRecordWriter& w) override;

    // Clears the registered fields, drops the owned records and sets flag96.
    void Reset();

    // For a list freeing its elements: gives back c's parameters, movement and shot, and true,
    // when c holds nothing else a destructor would free (no flows, condition list, long text or
    // field lists: a stage's commands by the thousand); else false, with nothing done.
    static bool GiveBackIfPlain(cFlowCmd* c) noexcept {
        if (c->HasFieldLists() || c->flows.data() || c->condList || c->text.capacity() > kShortText) return false;
        if (u32* p = c->params.data()) cRecordAlloc<u32>().deallocate(p, c->params.capacity());
        c->move.GiveBack();
        c->shot.GiveBack();
        return true;
    }

    // Stored fields, in file order.
    u8 cmdSet = 0;   // 0 the character command set, nonzero the item command set
    u8 cmdKind = 0;  // row of the set's command table
    i16 time = 0;    // tenths of a second
    i16 timeStep = 0;
    u8 chain = 0;    // 1: the next command starts in the same frame
    u16 sound = 0;   // user sound number, 0 none
    u8 flag96 = 0;
    u16 anime = 0;   // animation number, 0 none
    std::string text;

    cParamList params;
    cRecordBox<cEdMove> move;
    cRecordBox<cEdShot> shot;
    cRecordBox<cCondList> condList;
    cVector<cFlow> flows;

private:
    // The capacity of an empty string, which holds no storage of its own. Not a constant
    // expression for every compiler (clang's with libstdc++ refuses one), so taken once at start;
    // read before that, it is 0 and every command is freed by its destructor.
    static inline const std::size_t kShortText = std::string().capacity();

    void CopyMembers(const cFlowCmd& src);
};

template <>
inline constexpr bool kFreshIsCleared<cFlowCmd> = true;

// Reads a u32 count and that many commands into v (each a cleared command of this version).
bool ReadFlowCmdList(cVector<cFlowCmd>& v, cRecordReader& r);
void WriteFlowCmdList(cVector<cFlowCmd>& v, cRecordWriter& w);

// ---- Command kind tables ---------------------------------------------------------------------

struct CMDTYPEROW {
    const char* name; // UTF-8 label
    u32 nParams;      // number of integer parameters of the kind
};

constexpr int kCmdTypeCount = 40;  // character command set
constexpr int kCmdTypeCount2 = 25; // item command set
extern const CMDTYPEROW g_CmdTypeTable[kCmdTypeCount];
extern const CMDTYPEROW g_CmdTypeTable2[kCmdTypeCount2];

// The row of a command's kind in its set's table. A kind past the table (a damaged or foreign
// file) gets a row with no parameters and no name, so that it does nothing.
const CMDTYPEROW& CmdTypeRow(u8 cmdSet, u8 cmdKind);

// ---- Sizes the checks need from other subsystems ----------------------------------------------

// What the command checks compare indexes against. The material database and the palettes are
// loaded by other subsystems, which set these once they know them. A size left at kSizeUnknown
// is not checked: the value is kept as stored, and the engine's own bounds checks apply at run
// time (a tool or test that reads records without a database must not lose data).
constexpr u32 kSizeUnknown = 0xFFFFFFFFu;

struct CMDLIMITS {
    u32 nAnime = kSizeUnknown;       // animation records
    u32 nAnimeSet = kSizeUnknown;    // animation sets
    u32 nEffect = kSizeUnknown;      // effect records
    u32 nCharaEffect = kSizeUnknown; // character effect records
    u32 nScrEffect = kSizeUnknown;   // screen effect records
    u32 nPicture = kSizeUnknown;     // picture records
    u32 nSound = kSizeUnknown;       // sound records: user sound n plays record n
    u32 nBgm = kSizeUnknown;         // music records
    u32 nCharaBmp = kSizeUnknown;    // character bitmaps
    u32 nSwordType = kSizeUnknown;   // sword types
    // Palettes the summon and shot commands pick from: the common palette's lists and the
    // stage's own (1 block, 2 character, 3 item).
    u32 nCommonPal[4] = {kSizeUnknown, kSizeUnknown, kSizeUnknown, kSizeUnknown};
    u32 nStagePal[4] = {kSizeUnknown, kSizeUnknown, kSizeUnknown, kSizeUnknown};
    // Editor-only flows are kept when the system data's switch is on, or when the program was
    // started by the editor (KeepsEditorOnlyFlows).
    bool bKeepEditorOnlyFlows = false;
    bool bStartedByEditor = false;
};
inline bool KeepsEditorOnlyFlows(const CMDLIMITS& l) { return l.bKeepEditorOnlyFlows || l.bStartedByEditor; }

// Process-wide and guarded (a stage loads on its own thread); set by whoever loads the
// database, the system data or a stage. UpdateCmdLimits changes some sizes and keeps the rest.
void SetCmdLimits(const CMDLIMITS& limits);
void UpdateCmdLimits(const std::function<void(CMDLIMITS&)>& change);
CMDLIMITS GetCmdLimits();
// The same without a copy, for the checks run on every record read: this thread's copy, which
// the next call after a change refreshes.
const CMDLIMITS& CurrentCmdLimits();

// ---- Fix-up passes ----------------------------------------------------------------------------

// Sizes the parameter list to the kind's row and resets indexes past their database.
void FixCmdParams(cFlowCmd& cmd);
void FixCmdList(cVector<cFlowCmd>& cmds);
// Resets palette references of a character-set command that point past their palette.
void FixCmdRefs(cFlowCmd& cmd);
void FixCmdRefList(cVector<cFlowCmd>& cmds);
// The same against the given limits.
void FixCmdRefs(cFlowCmd& cmd, const CMDLIMITS& lim);
void FixCmdRefList(cVector<cFlowCmd>& cmds, const CMDLIMITS& lim);
// Removes every flow marked editor-only, keeping the others in order.
void FixFlows(cVector<cFlow>& flows);

// Flows hold commands that hold flows. No real file nests deeper than this; a deeper nesting is
// a damaged (or hostile) file.
constexpr int kMaxFlowNesting = 32;

#include "records/Flow.h"
