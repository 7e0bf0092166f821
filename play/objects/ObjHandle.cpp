#include "play/objects/ObjHandle.h"

#include "play/objects/Obj.h"
#include "play/objects/Chara.h"
#include "play/objects/Item.h"
#include "play/objects/Player.h"
#include "play/objects/StageChara.h"

cObj* cObjHandle::Get() const { return m_pReg ? m_pReg->Resolve(m_nSlot, m_nGen) : nullptr; }

cChara* cObjHandle::Chara() const {
    cObj* o = Get();
    return o ? o->AsChara() : nullptr;
}
cPlayer* cObjHandle::Player() const {
    cObj* o = Get();
    return o ? o->AsPlayer() : nullptr;
}
cStageChara* cObjHandle::StageChara() const {
    cObj* o = Get();
    return o ? o->AsStageChara() : nullptr;
}
cItem* cObjHandle::Item() const {
    cObj* o = Get();
    return o ? o->AsItem() : nullptr;
}

cObjRegistry::~cObjRegistry() {
    // Objects still entered (a scene torn down with its lists) forget this registry.
    for (ENTRY& e : m_vEntry)
        if (e.obj) e.obj->m_Self.m_pReg = nullptr;
}

void cObjRegistry::Enter(cObj& obj) {
    if (obj.m_Self.m_pReg) return;
    u32 slot;
    if (!m_vFree.empty()) {
        slot = m_vFree.back();
        m_vFree.pop_back();
    } else {
        slot = static_cast<u32>(m_vEntry.size());
        m_vEntry.push_back(ENTRY{});
        m_vReached.push_back(1);
    }
    m_vReached[slot] = 1;
    ENTRY& e = m_vEntry[slot];
    e.obj = &obj;
    obj.m_Self.m_pReg = this;
    obj.m_Self.m_nSlot = slot;
    obj.m_Self.m_nGen = e.gen;
    obj.m_Self.m_bRemoved = false;
    ++m_nCount;
}

void cObjRegistry::Reach(const cObj& obj) {
    const cObjRegistry* reg = obj.m_Self.m_pReg;
    const u32 slot = obj.m_Self.m_nSlot;
    if (reg && slot < reg->m_vReached.size()) reg->MarkReached(slot);
}

u32 cObjRegistry::SlotOf(const cObj& obj) { return obj.m_Self.m_pReg ? obj.m_Self.m_nSlot : ~0u; }

void cObjRegistry::Leave(cObj& obj) {
    if (obj.m_Self.m_pReg != this) return;
    const u32 slot = obj.m_Self.m_nSlot;
    if (slot < m_vEntry.size() && m_vEntry[slot].obj == &obj) {
        m_vEntry[slot].obj = nullptr;
        ++m_vEntry[slot].gen;
        m_vFree.push_back(slot);
        --m_nCount;
    }
    obj.m_Self.m_pReg = nullptr;
}
