#pragma once
// The play scene's object lists (players, stage characters, items, live shots).
//
// Each list owns its objects, one allocation each, so an object never moves while it lives:
// pointers taken during a walk stay good until the walk ends. Walks go by index against the
// live size: an object appended during a walk (a summon, a shot) is reached by the same walk.
//
// Removal is two-step. Remove() takes the object out at once for everything that looks for it
// (its handles resolve to null, walks skip it) but keeps it in memory; Sweep() destroys the
// removed objects, keeping the order of the others. The owner sweeps at fixed points (the play
// scene after each pass of its update and at the end of each frame), never inside a walk:
// Sweep() does nothing while a walk of the list is running. A reference to a removed object
// therefore stays valid memory until the next sweep point.
#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/system/Containers.h"
#include "play/objects/ObjHandle.h"

template <class T>
class cObjList {
public:
    explicit cObjList(cObjRegistry* reg = nullptr) : m_pReg(reg) {}
    cObjList(const cObjList&) = delete;
    cObjList& operator=(const cObjList&) = delete;
    ~cObjList() { Clear(); }

    // Number of entries, removed ones still waiting for the sweep included. Walk by index
    // against this value, re-read on every step.
    int Size() const { return static_cast<int>(m_v.size()); }
    bool Empty() const { return m_v.empty(); }
    // Entries that have not been removed.
    int LiveCount() const {
        return static_cast<int>(std::count_if(m_v.begin(), m_v.end(), [](const auto& p) { return !p->m_Self.IsRemoved(); }));
    }

    // Checked access: a bad index is reported like every container and gives entry 0; an empty
    // list throws.
    T& operator[](long long i) {
        if (i >= 0 && static_cast<unsigned long long>(i) < m_v.size()) return *m_v[static_cast<std::size_t>(i)];
        ReportBadIndex('V', i, m_v.size(), sizeof(T));
        if (!m_v.empty()) return *m_v[0];
        throw std::out_of_range("invalid vector<T> subscript");
    }
    const T& operator[](long long i) const { return const_cast<cObjList&>(*this)[i]; }
    // Entry i, or null when i is out of range or the entry has been removed.
    T* Live(int i) {
        if (i < 0 || i >= Size()) return nullptr;
        T* p = m_v[static_cast<std::size_t>(i)].get();
        return p->m_Self.IsRemoved() ? nullptr : p;
    }

    // Appends an object (entered in the registry) and returns it where it now lives.
    T& Add(std::unique_ptr<T> obj) {
        T& ref = *obj;
        ref.m_Self.m_pList = this;
        ++m_nVersion;
        m_v.push_back(std::move(obj));
        if (m_pReg) m_pReg->Enter(ref);
        return ref;
    }
    T& Add(const T& copy) { return Add(std::make_unique<T>(copy)); }

    // Takes obj out of the list (see above). Nothing when it is not in this list or already out.
    // True when it was taken out.
    bool Remove(T& obj) {
        if (obj.m_Self.IsRemoved() || !Contains(obj)) return false;
        if (m_pReg) m_pReg->Leave(obj);
        obj.m_Self.m_bRemoved = true;
        if (m_fnRemoveHook) m_fnRemoveHook(obj);
        ++m_nRemoved;
        ++m_nVersion;
        return true;
    }
    // An object joins one list for its life (the list that owns it), so membership is its mark.
    bool Contains(const T& obj) const { return obj.m_Self.m_pList == this; }
    int IndexOf(const T& obj) const {
        for (std::size_t i = 0; i < m_v.size(); ++i)
            if (m_v[i].get() == &obj) return static_cast<int>(i);
        return -1;
    }

    // Called before removed objects are destroyed (the owner drops its own raw pointers).
    void SetSweepHook(std::function<void()> hook) { m_fnSweepHook = std::move(hook); }
    // Called as an object is taken out (the owner's copies of its state forget it).
    void SetRemoveHook(std::function<void(T&)> hook) { m_fnRemoveHook = std::move(hook); }

    // Destroys the removed objects, keeping the order of the others (waits while walked).
    void Sweep() {
        if (m_nWalk > 0 || m_nRemoved == 0) return;
        ++m_nVersion;
        if (m_fnSweepHook) m_fnSweepHook();
        // Destroy outside the vector: a destructor may look at the list.
        std::vector<std::unique_ptr<T>> gone;
        auto keep = std::stable_partition(m_v.begin(), m_v.end(), [](const auto& p) { return !p->m_Self.IsRemoved(); });
        std::move(keep, m_v.end(), std::back_inserter(gone));
        m_v.erase(keep, m_v.end());
        m_nRemoved = 0;
        ++m_nSweeps;
        gone.clear();
    }

    // Calls fn(T&) for every live object, appended ones included, in list order. fn returning
    // bool false stops the walk.
    template <class Fn>
    void Walk(Fn&& fn) {
        WalkAhead(std::forward<Fn>(fn), [](const T&) {});
    }

    // As Walk, and first ahead(const T&) for the object kAhead entries further on, which asks
    // the processor for what fn will read of it (PrefetchWalked): a walk over thousands of large
    // objects otherwise waits on memory one object after the other. ahead reads nothing.
    static constexpr int kAhead = 8;
    template <class Fn, class Ahead>
    void WalkAhead(Fn&& fn, Ahead&& ahead) {
        WalkScope scope(*this);
        for (int i = 0; i < Size(); ++i) {
            if (i + kAhead < Size()) ahead(*m_v[static_cast<std::size_t>(i + kAhead)]);
            T* p = Live(i);
            if (!p) continue;
            if constexpr (std::is_same_v<decltype(fn(*p)), bool>) {
                if (!fn(*p)) break;
            } else {
                fn(*p);
            }
        }
    }
    // Entry i, removed or not, for ahead-of-walk requests only (nothing of it may be read).
    const T* Peek(int i) const {
        return i >= 0 && i < Size() ? m_v[static_cast<std::size_t>(i)].get() : nullptr;
    }

    // Holds sweeps back while code walks the list by index itself.
    class WalkScope {
    public:
        explicit WalkScope(cObjList& l) : m_l(l) { ++m_l.m_nWalk; }
        ~WalkScope() { --m_l.m_nWalk; }
        WalkScope(const WalkScope&) = delete;
        WalkScope& operator=(const WalkScope&) = delete;

    private:
        cObjList& m_l;
    };
    bool IsWalked() const { return m_nWalk > 0; }
    // Changes whenever an object joins, leaves or is destroyed: a list derived from this one (by
    // pointer) stays good while the version does.
    u32 Version() const { return m_nVersion; }
    int RemovedCount() const { return m_nRemoved; }
    // Changes whenever objects are destroyed: pointers to objects of the list, and their indexes,
    // taken while it stays the same are still good.
    u32 Sweeps() const { return m_nSweeps; }

    // Destroys every object (stage set-up, scene end). During a walk the objects are only taken
    // out; the next sweep destroys them.
    void Clear() {
        if (m_nWalk > 0) {
            for (auto& p : m_v) Remove(*p);
            return;
        }
        for (auto& p : m_v) p->m_Self.m_bRemoved = true;
        ++m_nVersion;
        if (m_fnSweepHook && !m_v.empty()) m_fnSweepHook();
        std::vector<std::unique_ptr<T>> gone = std::move(m_v);
        m_v.clear();
        m_nRemoved = 0;
        ++m_nSweeps;
        for (auto& p : gone)
            if (m_pReg) m_pReg->Leave(*p);
        gone.clear();
    }

private:
    cObjRegistry* m_pReg;
    std::vector<std::unique_ptr<T>> m_v;
    int m_nWalk = 0;
    int m_nRemoved = 0;
    u32 m_nVersion = 0;
    u32 m_nSweeps = 0;
    std::function<void()> m_fnSweepHook;
    std::function<void(T&)> m_fnRemoveHook;
};
