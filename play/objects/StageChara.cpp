// Stage characters: set-up for play, the activity range, their update, motion steps and jump.
#include "play/objects/StageChara.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "app/Game.h"
#include "database/SystemSwitches.h"
#include "play/ScrollAxis.h"
#include "play/objects/BlockMap.h"
#include "play/objects/ObjScene.h"
#include "play/objects/Player.h"
#include "play/rules/MotionStep.h"
#include "records/CharaSettings.h"
#include "records/StageSettings.h"

namespace {

i32 Stage(eStage s) { return static_cast<i32>(StageSettings::Get(g_Stage, s)); }

i64 Def(const cChara& c, eChara s) { return CharaSettings::Get(c.m_Def, s); }

double AutoSpeed(const cScrollAxis& a) { return a.m_bAuto ? a.m_dSpeed : 0.0; }

} // namespace

double ActivityMargin(const cPlayer* p) { return p ? std::max<i32>(p->m_nSight, 0) * 16.0 : 0.0; }

// ---- Storage ----
//
// A step walks every stage character in list order, reading a few cache lines of each: when the
// characters lie one after the other at one stride, the processor sees the walk coming and
// fetches ahead, which it cannot do for characters strewn over the heap between the smaller
// blocks each set-up leaves behind. So they come from slabs of their own, in the order they are
// made; a freed slot is reused first, and when the last character goes the slabs go too (a new
// stage starts again from the first slot).

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define TOBRELK_CHARA_SLABS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOBRELK_CHARA_SLABS 0
#endif
#endif
#ifndef TOBRELK_CHARA_SLABS
#define TOBRELK_CHARA_SLABS 1
#endif

// A slab is one huge page of the processor (2 MiB), aligned to it, and the system is asked to back
// it by one: the walks of a stage of thousands of characters touch each character's lines at every
// step, and with small pages they would miss the address translation caches at nearly every
// character (a slab of small pages spans hundreds of them).
constexpr std::size_t kSlabBytes = std::size_t{2} << 20;

char* NewSlab() {
    void* p = ::operator new(kSlabBytes, std::align_val_t{kSlabBytes});
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only advice: without huge pages the slab works the same.
    madvise(p, kSlabBytes, MADV_HUGEPAGE);
#endif
    return static_cast<char*>(p);
}

struct CharaSlabs {
    static constexpr std::size_t kPerSlab = kSlabBytes / sizeof(cStageChara);
    std::mutex lock;
    std::vector<char*> slabs;
    std::vector<void*> freed;
    std::size_t used = kPerSlab; // slots cut from the last slab
    std::size_t live = 0;

    void* Take() {
        std::lock_guard<std::mutex> hold(lock);
        ++live;
        if (!freed.empty()) {
            void* p = freed.back();
            freed.pop_back();
            return p;
        }
        if (used == kPerSlab) {
            slabs.push_back(NewSlab());
            used = 0;
        }
        return slabs.back() + used++ * sizeof(cStageChara);
    }
    void Give(void* p) {
        std::lock_guard<std::mutex> hold(lock);
        if (--live > 0) {
            freed.push_back(p);
            return;
        }
        for (char* s : slabs) ::operator delete(s, std::align_val_t{kSlabBytes});
        slabs.clear();
        freed.clear();
        used = kPerSlab;
    }
};

CharaSlabs& Slabs() {
    static CharaSlabs s;
    return s;
}

} // namespace

void* cStageChara::operator new(std::size_t bytes, std::align_val_t align) {
    if (!TOBRELK_CHARA_SLABS || bytes != sizeof(cStageChara) || align != std::align_val_t{alignof(cStageChara)})
        return ::operator new(bytes, align);
    return Slabs().Take();
}

void cStageChara::operator delete(void* p, std::size_t bytes, std::align_val_t align) noexcept {
    if (!p) return;
    if (!TOBRELK_CHARA_SLABS || bytes != sizeof(cStageChara) || align != std::align_val_t{alignof(cStageChara)})
        return ::operator delete(p, align);
    Slabs().Give(p);
}

cStageChara::cStageChara() = default;
cStageChara::~cStageChara() = default;

void cStageChara::Assign(const cChara& src) { cChara::Assign(src); }

// ---- Set-up ----

void cStageChara::Setup(u32 id, const cEdChara& def, const cEdItem* item, i32 cellX, i32 cellY, i16 copyIndex,
                        cChara* parent) {
    InitForStage(&def, cellX, cellY, 0, 0, copyIndex);
    m_bBlockChara = Def(*this, eChara::BlockChara) != 0 ? 1 : 0;
    const u32 kind = static_cast<u32>(Def(*this, eChara::Kind));
    const u32 mark = static_cast<u32>(static_cast<u16>(Def(*this, eChara::Mark)));
    const i32 dir = static_cast<i32>(Def(*this, eChara::Facing));
    const i32 fly = static_cast<i32>(Def(*this, eChara::FlyMode));
    m_nScale = 1;
    if (m_bBlockChara) {
        Init(id, kind, 0, static_cast<u32>(m_nSide), mark, nullptr, 0, 0, 0, 32, 32, 32, 32, dir, fly, copyIndex);
        m_rcBody.cur = m_rcBody.base = BOXRECT{0, 0, 32, 32};
    } else {
        const bool small = Def(*this, eChara::SizeClass) == 0;
        const i32 w = Stage(small ? eStage::SmallSizeW : eStage::LargeSizeW);
        const i32 h = Stage(small ? eStage::SmallSizeH : eStage::LargeSizeH);
        const i32 align = Stage(small ? eStage::SmallBottomAlign : eStage::LargeBottomAlign);
        Init(id, kind, 0, static_cast<u32>(m_nSide), mark, nullptr, 0, (32 - w) / 2, align ? 32 - h : (32 - h) / 2, w,
             h, 32, 32, dir, fly, copyIndex);
        switch (Def(*this, eChara::HitArea)) {
        case 1:
            SetHitRect(Stage(eStage::CharaHitSizeABottomAlign), Stage(eStage::CharaHitSizeAW),
                       Stage(eStage::CharaHitSizeAH));
            break;
        case 2:
            SetHitRect(Stage(eStage::CharaHitSizeBBottomAlign), Stage(eStage::CharaHitSizeBW),
                       Stage(eStage::CharaHitSizeBH));
            break;
        case 3: SetHitRect(0, 32, 32); break;
        default: SetHitRect(align, w, h); break;
        }
    }
    m_rcDamage = m_rcBody;
    m_bHasItem = item ? 1 : 0;
    m_Item = cItem{};
    m_Item.m_pScene = m_pScene;
    if (item) m_Item.Init(1, *item, 0);
    const i64 range = Def(*this, eChara::RangeMode);
    m_bIgnoreRangeY = range == 1 || range == 3 ? 1 : 0;
    m_bIgnoreRangeX = range == 2 || range == 3 ? 1 : 0;
    m_bWoken = 0;
    m_nActivityRule = static_cast<u32>(Def(*this, eChara::ActivityRule));
    m_bStayAwake = m_nActivityRule == 1 ? 1 : 0;
    m_bGroup = Def(*this, eChara::GroupOn) != 0 ? 1 : 0;
    m_nGroup = static_cast<i32>(Def(*this, eChara::Group));
    m_Parent = parent;
    // On its cell (the spawner adds the copy offset), which is its home.
    m_dX = static_cast<double>(cellX + cBlockMap::kMargin) * 32 + m_nGfxOffX + 0.5;
    m_dY = static_cast<double>(cellY + cBlockMap::kMargin) * 32 + m_nGfxOffY;
    UpdateEdgesX();
    UpdateEdgesY();
    m_dHomeX = m_dX;
    m_dHomeY = m_dY;
    AnimeSetPattern(m_Anim, IsFlying() ? 2 : 0, 1);
    ObjFlow::SetupFlows(*this, m_Def.vFlow, 0, -1);
    SetScale(std::max<i32>(static_cast<i32>(Def(*this, eChara::Scale)), 1), 1);
}

void cStageChara::SetCell(i32 cellX, i32 cellY) {
    m_dX = static_cast<double>(cellX + cBlockMap::kMargin) * 32 + m_nGfxOffX + 0.5;
    m_dY = static_cast<double>(cellY + cBlockMap::kMargin) * 32 + m_nGfxOffY;
    SetFlyMode(FlyMode());
    OnMovedX();
    OnMovedY();
}

i32 cStageChara::ScaleBoxes(i32 scale) {
    if (m_bBlockChara) {
        m_rcBody.cur = m_rcDamage.cur = BOXRECT{0, 0, m_nBoxW, m_nBoxH};
        return 0;
    }
    m_rcBody.Scale(scale);
    m_rcDamage.Scale(scale);
    return 0;
}

void cStageChara::UpdateBoxesX() {
    const i32 x = Trunc32(m_dX);
    m_rcBody.UpdateX(x);
    m_rcDamage.UpdateX(x);
    if (m_pScene) ObjScene::WalkedChanged(*m_pScene, *this);
}

void cStageChara::UpdateBoxesY() {
    const i32 y = Trunc32(m_dY);
    m_rcBody.UpdateY(y);
    m_rcDamage.UpdateY(y);
    if (m_pScene) ObjScene::WalkedChanged(*m_pScene, *this);
}

// ---- Activity ----

i32 cStageChara::IsInActivityRange(std::vector<u32>& groupMarks) {
    return IsInActivityRange(groupMarks, ActivityMargin(m_pScene ? ObjScene::Player0(*m_pScene) : nullptr));
}

i32 cStageChara::IsInActivityRange(std::vector<u32>& groupMarks, double margin) {
    if (!m_pScene) {
        m_bInRange = 0;
        return 0;
    }
    return IsInActivityRange(groupMarks, margin, ObjScene::ScrollX(*m_pScene).m_dPos, ObjScene::ScrollY(*m_pScene).m_dPos);
}

i32 cStageChara::IsInActivityRange(std::vector<u32>& groupMarks, double margin, double sx, double sy) {
    m_bInRange = 0;
    const bool inX = m_bIgnoreRangeX || (m_dRight >= sx - margin && m_dX <= sx + 640 + margin);
    const bool inY = m_bIgnoreRangeY || (m_dBottom >= sy - margin && m_dY <= sy + 480 + margin);
    if (!inX || !inY) return 0;
    m_bInRange = 1;
    if (m_bGroup && m_nGroup >= 0 && m_nGroup < static_cast<i32>(groupMarks.size()))
        groupMarks[static_cast<std::size_t>(m_nGroup)] = 1;
    return 1;
}

i32 cStageChara::WakeUp(const std::vector<u32>& groupMarks) {
    const bool group = m_bGroup && m_nGroup >= 0 && m_nGroup < static_cast<i32>(groupMarks.size()) &&
                       groupMarks[static_cast<std::size_t>(m_nGroup)];
    bool awake = m_bInRange || group;
    // What keeps it awake is asked only of one not awake already: the second wake flag lies in
    // the definition, a line the step-start walk need not read.
    if (!awake && !IsFlying() && (m_bKeepAwake || (m_bWoken && Def(*this, eChara::WakeFlag2)))) awake = true;
    m_bActive = awake ? 1 : 0;
    if (!awake) return 0;
    m_bWoken = 1;
    if (m_bStayAwake) m_bIgnoreRangeX = m_bIgnoreRangeY = 1;
    ScreenPos();
    return 1;
}

bool cStageChara::OverlapsBox(double left, double top, double right, double bottom) const {
    return IsHitRect(HITRECT{m_dX, m_dY, m_dRight, m_dBottom}, HITRECT{left, top, right, bottom});
}

bool cStageChara::StepCarriedItemMark() {
    if (!m_bHasItem || IsDying() || m_bTransparent) return false;
    m_nItemBlink = (m_nItemBlink + 1) % 96;
    return m_nItemBlink >= 64;
}

// ---- One play step ----

i32 cStageChara::OnMovedX() { return ClampX(2); }
i32 cStageChara::OnMovedY() { return ClampY(2); }

i32 cStageChara::StepX() {
    if (m_dKnockX != 0) {
        m_dSpeedX = m_dKnockX;
    } else if (m_dAccelX != 0) {
        DecelStep(*this, m_dAccelX, m_bDecelX);
        m_dSpeedX += m_dAccelX;
    }
    const i32 r = MoveObjX(*this, 2);
    // The moved hook (OnMovedX) clamps as the move just did.
    ReclampX(2);
    return r == 3 ? 4 : r;
}

i32 cStageChara::StepY() {
    // The update runs no gravity step of its own for stage characters: it is this step's first.
    ObjFlow::GravityStep(*this);
    ObjFlow::StepMoveX(*this);
    if (IsFlying() && m_dVMotion == 0 && m_dAccelY != 0) {
        DecelStep(*this, m_dAccelY, m_bDecelY);
        m_dSpeedY += m_dAccelY;
    }
    const i32 r = MoveObjY(*this, 2);
    // The moved hook (OnMovedY) clamps as the move just did.
    ReclampY(2);
    if (!IsFlying()) return r == 5 || r == 6 ? 7 : r;
    return r == 3 || r == 6 ? 8 : r;
}

i32 cStageChara::Update(i32 arg) {
    cGameScene* s = m_pScene;
    if (s) {
        ObjScene::BeginCharaUpdate(*s, *this);
    }
    if (!s || SysSwitch(SW_NO_SCROLL_FOLLOW) || !m_bScrollSync) {
        m_dSpeedX = 0;
        if (IsFlying()) m_dSpeedY = 0;
    } else {
        m_dSpeedX = AutoSpeed(ObjScene::ScrollX(*s));
        if (IsFlying()) m_dSpeedY = AutoSpeed(ObjScene::ScrollY(*s));
    }
    m_bMovedByCmd = 0;
    m_bHeldByCmd = 0;
    m_bDecelX = m_bDecelY = 1;
    if (m_nHoldOff > 0) --m_nHoldOff;
    if (ObjFlow::StepFlows(*this, arg)) return 1;
    ObjFlow::EndLetters(*this);
    if (!m_bMovedByCmd && m_dAccelX == 0 && m_dAccelY == 0) AnimeSetPatternIfNew(m_Anim, IsFlying() ? 2 : 0, 0);
    return m_nHP < 1 ? 1 : 0;
}

void cStageChara::Jump(cCmdRun& run) {
    const bool free = m_nJumpFlags == 0 && !m_bFalling && !m_bImpact;
    auto start = [&] {
        run.m_bStarted = 1;
        // The quiet-when-inactive flag keeps a character that is not active silent.
        if (run.m_pCmd && run.m_pCmd->sound && !(run.m_pCmd->flag96 && !m_bActive))
            PlaySE(static_cast<int>(run.m_pCmd->sound) + 16);
        m_dSpeedY = run.m_dJumpSpeed;
        m_nJumpFlags = JUMP_JUMPING | JUMP_RISING;
    };
    if (SysSwitch(SW_JUMP_RESTART)) {
        if (free) start();
        return;
    }
    if (!run.m_bStarted) {
        if (free) {
            start();
        } else if (run.m_nFrame >= Stage(eStage::StepsPerFrame) * 4) {
            // Busy too long: the jump is given up.
            run.m_bStarted = 1;
            m_nJumpFlags = 0;
            run.m_nWait = 0;
        }
        return;
    }
    if (m_nJumpFlags == 0) run.m_nWait = 0;
}
