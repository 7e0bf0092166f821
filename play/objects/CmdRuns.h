#pragma once
// The command runs of one flow run, made as the run reaches its commands.
//
// A list with its loops written out may name a million commands, and every character that steps it
// kept a command run (some 200 bytes) for each of them from its set-up on: forty characters on one
// such loop took gigabytes before their first frame, though a run stands on one or a few commands
// at a time. Past the first kHead commands a command run exists only while it holds something of
// its own: it is made, in the state a fresh run gives it, when the run first asks for it, and
// forgotten again once it is back to that state; whether it is done is then told by the run's count
// of leading commands done, which is all a flow step reads of the commands behind it, and a command
// an arrange gave it of its own is kept aside for it. So what a run holds follows what it does, not
// the length of its list, and a run plays exactly as one that kept every command run would. The
// first kHead command runs (all of a flow's as the game's own flows are written) are made with the
// run and kept, side by side, as a flow step reads them best.
//
// A command run stays where it is while it exists (an executor holds its own), and none is
// forgotten while a command of the run is executing (HoldForCommand).
//
// The command runs past the first ones that a stage's characters hold together are bounded
// (CMDRUNSHELD): one that would pass the bound is not made, and its command waits to start. Only
// flows that keep hundreds of thousands of commands going at once come near it.
#include <cstddef>
#include <iterator>
#include <map>
#include <memory>

#include "platform/system/Containers.h"
#include "play/objects/CmdRun.h"
// A list of commands is named here, and must name the storage the records give it.
#include "records/RecordPool.h"

class cCmdList;
class cFlowCmd;

// The command runs held by one stage's characters past their runs' first ones, against their
// bound.
struct CMDRUNSHELD {
    // What one command run costs, its place in the map included.
    static constexpr i64 kEntryBytes = static_cast<i64>(sizeof(cCmdRun)) + 48;
    i64 held = 0;      // command runs made and not forgotten
    i64 bound = 0;     // the most of them
    bool told = false; // the bound was reported
};

class cCmdRuns {
public:
    // The command runs made with the run and kept.
    static constexpr i32 kHead = 64;

    // Where the commands and the state of a fresh command run come from: the run's list (loops
    // written out) with what the run was made with (the character's level, the stage's speed unit
    // and its negative-duration rule: a fresh command run's duration and speed are worked out
    // from them as the run's set-up would have done), or a flow's own commands, whose fresh runs
    // are blank.
    struct SOURCE {
        cCmdList* list = nullptr;
        cVector<cFlowCmd>* cmds = nullptr;
        i32 level = 0;
        double unit = 1.0;
        bool keepNegative = false;
        bool solved = false; // durations and speeds worked out (a run made for its list)
    };

    cCmdRuns() = default;
    cCmdRuns(const cCmdRuns& other);
    cCmdRuns(cCmdRuns&& other) noexcept;
    cCmdRuns& operator=(const cCmdRuns& other);
    cCmdRuns& operator=(cCmdRuns&& other) noexcept;
    ~cCmdRuns();

    // The commands (made or not).
    int Size() const { return m_nCount; }
    std::size_t size() const { return static_cast<std::size_t>(m_nCount); }
    bool empty() const { return m_nCount == 0; }
    // Runs of count commands from the source: the first ones made.
    void Bind(const SOURCE& source, i32 count);
    // Points the runs at their count commands again (the list's when there is one, else the
    // flow's own), as the run was made: command runs past the count are dropped, new ones fresh.
    void Rebind(cCmdList* list, cVector<cFlowCmd>* cmds, i32 count);
    // Counts the command runs made from here on past the first ones against the stage's bound.
    void SetHeld(std::shared_ptr<CMDRUNSHELD> held);

    // Command run k, made when it does not exist (a bad k is reported as a container's bad index
    // is, and answered with command run 0).
    cCmdRun& operator[](long long k);
    // What command run k holds, made or not (a copy; nothing is made).
    cCmdRun operator[](long long k) const { return View(k); }
    cCmdRun View(long long k) const;
    // Command run k when it exists.
    cCmdRun* Find(i32 k) const {
        if (k >= 0 && k < m_vHead.Size()) return const_cast<cCmdRun*>(m_vHead.data() + k);
        return FindPast(k);
    }
    // Command run k, made unless the stage's bound leaves no room: null then (reported once a
    // stage).
    cCmdRun* Reach(i32 k) {
        if (k >= 0 && k < m_vHead.Size()) return m_vHead.data() + k;
        return ReachPast(k);
    }
    // The command of entry k without making its command run.
    const cFlowCmd* Cmd(i32 k) const;
    // The index of a command run of these, -1 for any other.
    i32 IndexOf(const cCmdRun* run) const;

    bool Done(i32 k) const {
        if (k >= 0 && k < m_vHead.Size()) return m_vHead.data()[k].m_bDone != 0;
        return DonePast(k);
    }
    // Marks command run k done.
    void SetDone(i32 k);
    // The first command not done: every one before it is.
    i32 FirstNotDone() const { return m_nDone; }
    // A new run of the flow: nothing done.
    void ClearDone();
    // The flow ended: no command running.
    void ClearFramesLeft();

    // Around the execution of one of the run's commands: nothing is forgotten meanwhile. The run
    // may move while its command executes (its character's runs change), so the caller ends the
    // hold on the run as it finds it again.
    void HoldForCommand() { ++m_nBusy; }
    void EndHoldForCommand() {
        if (m_nBusy > 0) --m_nBusy;
    }

    // Every command run in order, each made as it is reached: for a caller that means them all
    // (the flows' own code goes through the calls above).
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = cCmdRun;
        using difference_type = std::ptrdiff_t;
        using pointer = cCmdRun*;
        using reference = cCmdRun&;
        iterator(cCmdRuns* runs, i32 k) : m_runs(runs), m_k(k) {}
        cCmdRun& operator*() const { return (*m_runs)[m_k]; }
        cCmdRun* operator->() const { return &(*m_runs)[m_k]; }
        iterator& operator++() {
            ++m_k;
            return *this;
        }
        bool operator==(const iterator& o) const { return m_k == o.m_k; }

    private:
        cCmdRuns* m_runs;
        i32 m_k;
    };
    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, m_nCount); }
    // What every command run holds, in order (copies; nothing is made).
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = cCmdRun;
        using difference_type = std::ptrdiff_t;
        using pointer = const cCmdRun*;
        using reference = cCmdRun;
        const_iterator(const cCmdRuns* runs, i32 k) : m_runs(runs), m_k(k) {}
        cCmdRun operator*() const { return m_runs->View(m_k); }
        const_iterator& operator++() {
            ++m_k;
            return *this;
        }
        bool operator==(const const_iterator& o) const { return m_k == o.m_k; }

    private:
        const cCmdRuns* m_runs;
        i32 m_k;
    };
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, m_nCount); }

private:
    // What the command runs past the first ones are made from, and those made: apart, so that
    // what a flow step reads of the run stays small.
    struct PAST {
        SOURCE source;
        std::map<i32, cCmdRun> made;
        // The commands of their own (an arrange changed them) of command runs forgotten: kept
        // for when they are made again.
        std::map<i32, std::shared_ptr<cFlowCmd>> own;
        std::shared_ptr<CMDRUNSHELD> held;
        // The last of them asked for: a step asks for the same one again and again.
        i32 lastKey = -1;
        cCmdRun* last = nullptr;
    };
    cCmdRun* FindPast(i32 k) const;
    cCmdRun* ReachPast(i32 k);
    bool DonePast(i32 k) const;
    // Command run k as a fresh run has it (in the head, from the source alone; past it, with the
    // command of its own it had when it was forgotten).
    static cCmdRun Fresh(const SOURCE& source, i32 k, i32 done);
    cCmdRun FreshPast(i32 k) const;
    cCmdRun& Make(i32 k);
    // Whether command run k (past the first ones) holds nothing that a fresh one and the done
    // count do not give back when it is next asked for.
    bool Forgettable(i32 k, const cCmdRun& run) const;
    // Forgets the command run when it may be (never while a command executes); the next one.
    std::map<i32, cCmdRun>::iterator Forget(std::map<i32, cCmdRun>::iterator it);
    void ForgetAll();
    void AddHeld(i64 n);
    void Take(cCmdRuns& other);

    i32 m_nCount = 0;
    i32 m_nDone = 0; // commands before it are done
    i32 m_nBusy = 0;
    cVector<cCmdRun> m_vHead;       // the first kHead command runs
    std::unique_ptr<PAST> m_pPast;  // only for runs of more commands
};

// Defined by the flow engine, which starts and steps the command runs:
// The command of entry k of the source.
cFlowCmd* SourceCmd(const cCmdRuns::SOURCE& source, i32 k);
// Command run k as a fresh run has it: its command and, for a run made for its list, its
// duration from its command's time fields and a movement's speed and computed value.
void FreshCmdRun(const cCmdRuns::SOURCE& source, i32 k, cCmdRun& run);
// Whether a command run that is not running acts as the fresh one from its next start on: it
// holds nothing that a start does not set anew but what the fresh one holds too.
bool AlikeFromStart(const cCmdRun& run, const cCmdRun& fresh);
