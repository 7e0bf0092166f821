#pragma once
// Checked references between game objects.
//
// An object that joins one of the play scene's lists is entered in the scene's registry and gets
// a slot there. A handle names that slot and the slot's generation at the time the handle was
// taken. Resolving a handle looks the slot up: when the object has left its list since (it was
// removed, its stage ended), the slot's generation has moved on and the handle resolves to null.
// So a target slot, an owner, a link, a parent or the scene's current-flow character can never
// dangle; code that holds a handle simply finds the object gone.
//
// Resolution is one bounds check and one compare. Slots are reused in a fixed order, so the
// mechanism never depends on addresses or time: a replay resolves exactly as the recorded play.
//
// Objects that were never entered (temporaries, scratch copies, the default player) have no
// handle; handles taken from them are null.
#include <vector>

#include "platform/system/Types.h"

class cObj;
class cChara;
class cPlayer;
class cStageChara;
class cItem;
class cShot;
class cObjRegistry;

class cObjHandle {
public:
    cObjHandle() = default;
    // The handle of an object (null when the object is not entered in a registry). Inline, with
    // cObj (play/objects/Obj.h): a step makes several, and one built out of line, field by
    // field, and then copied whole is read back before its stores have settled.
    inline cObjHandle(const cObj* obj); // NOLINT: implicit on purpose, a slot takes an object

    // The object, or null when the handle is null or the object has left its list.
    cObj* Get() const;
    // The object as that class, or null (gone, or of another class).
    cChara* Chara() const;
    cPlayer* Player() const;
    cStageChara* StageChara() const;
    cItem* Item() const;
    cShot* Shot() const; // with the shots (Shot.cpp)

    bool IsNull() const { return m_pReg == nullptr; }
    // True while the object lives.
    explicit operator bool() const { return Get() != nullptr; }
    void Reset() { *this = cObjHandle(); }

    // Two handles are equal when they name the same entry (both null included).
    bool operator==(const cObjHandle& o) const = default;

private:
    friend class cObjRegistry;
    cObjRegistry* m_pReg = nullptr;
    u32 m_nSlot = 0;
    u32 m_nGen = 0;
};

// The registry of one play scene.
class cObjRegistry {
public:
    cObjRegistry() = default;
    cObjRegistry(const cObjRegistry&) = delete;
    cObjRegistry& operator=(const cObjRegistry&) = delete;
    ~cObjRegistry();

    // Enters obj (which must not be entered yet) and records its slot in the object.
    void Enter(cObj& obj);
    // Takes obj out: every handle to it resolves to null from now on. Nothing when not entered
    // here.
    void Leave(cObj& obj);
    // Resolving marks the object reached (see Reach).
    cObj* Resolve(u32 slot, u32 gen) const {
        if (slot >= m_vEntry.size() || m_vEntry[slot].gen != gen) return nullptr;
        MarkReached(slot);
        return m_vEntry[slot].obj;
    }
    // Number of objects entered.
    int Count() const { return m_nCount; }
    // Number of slots made (entered objects' slots are below it).
    std::size_t SlotCount() const { return m_vEntry.size(); }

    // Marks an object as reached by code other than its own step: resolving a handle to it does,
    // and so must every rule that acts on an object it holds by pointer rather than by handle.
    // The step start's walk passes over a stage character that nothing has reached since that
    // walk last found it asleep (cGameScene::StepWork::sleep). Nothing for an object not entered.
    static void Reach(const cObj& obj);
    // The slot of an entered object (its reached mark), or ~0u.
    static u32 SlotOf(const cObj& obj);
    bool Reached(u32 slot) const { return slot >= m_vReached.size() || m_vReached[slot] != 0; }
    void ClearReached(u32 slot) {
        if (slot < m_vReached.size()) m_vReached[slot] = 0;
    }
    // The slots marked since their mark was last cleared, in the order they were marked (one
    // entry per mark; an object entered is marked without an entry). The step start takes them.
    std::vector<u32>& ReachedSlots() const { return m_vReachedSlots; }

private:
    struct ENTRY {
        cObj* obj = nullptr;
        u32 gen = 1;
    };
    std::vector<ENTRY> m_vEntry;
    // Per slot, apart from the entries: the step start reads these alone, many in a row.
    mutable std::vector<u8> m_vReached;
    mutable std::vector<u32> m_vReachedSlots;
    void MarkReached(u32 slot) const {
        if (m_vReached[slot]) return;
        m_vReached[slot] = 1;
        m_vReachedSlots.push_back(slot);
    }
    std::vector<u32> m_vFree; // reused last-freed first
    int m_nCount = 0;
};

// An object's own place in a registry. Copying an object never copies it: a copy is a new object
// that has not joined any list, and an assigned object keeps its own place.
class cSelfHandle {
public:
    cSelfHandle() = default;
    cSelfHandle(const cSelfHandle&) {}
    cSelfHandle& operator=(const cSelfHandle&) { return *this; }

    bool IsEntered() const { return m_pReg != nullptr; }
    // Set when the object was taken out of its list during a walk: it still exists until the
    // list is swept, but rules skip it and handles to it resolve to null.
    bool IsRemoved() const { return m_bRemoved; }

private:
    friend class cObjRegistry;
    friend class cObjHandle;
    friend class cObj;
    template <class T>
    friend class cObjList;
    cObjRegistry* m_pReg = nullptr;
    // The object list that owns the object (set as it joins one; never copied): a removal knows
    // at once whether the object is its own.
    const void* m_pList = nullptr;
    u32 m_nSlot = 0;
    u32 m_nGen = 0;
    bool m_bRemoved = false;
};

// A reference with a kind word: a character's link list holds {object, kind} pairs (kinds 0-3:
// the other object holds this one in target slot k; kind 4: the other object is this one's
// child).
struct OBJREF {
    cObjHandle obj;
    u32 kind = 0;
    bool operator==(const OBJREF&) const = default;
};

inline bool IsSameObjRef(const OBJREF& a, const OBJREF& b) { return a == b; }
