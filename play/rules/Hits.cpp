// The attack resolution of a play step: shots against characters, characters against
// characters, shots against shots.
#include <algorithm>

#include "app/Game.h"
#include "database/SystemSwitches.h"
#include "play/rules/Hits.h"
#include "play/rules/Motion.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "records/StageSettings.h"

namespace {

// Holds every list's sweep back for the length of a pass: the side lists below point into
// them, and a flow fired by a hit may remove anything (it is then skipped as removed).
struct PassScope {
    cObjList<cPlayer>::WalkScope players;
    cObjList<cStageChara>::WalkScope charas;
    cObjList<cShot>::WalkScope shots;
    explicit PassScope(cGameScene& s) : players(s.m_vPlayer), charas(s.m_lstChara), shots(s.m_lstShot) {}
};

bool OnScreenOnly() { return StageSettings::Get(g_Stage, eStage::OnScreenOnly) != 0; }

bool Alive(const cChara& c) { return !c.IsRemoved() && !c.IsDying(); }

bool HasAttack(const cChara& c) {
    return CharaSettings::Get(c.m_Def, eChara::BodyPower) != 0 || CharaSettings::Get(c.m_Def, eChara::BodyImpact) != 0;
}

bool HasEffect(const cShot& s) {
    return ShotSettings::Get(s.m_Def, eShot::Power) != 0 || ShotSettings::Get(s.m_Def, eShot::Impact) != 0 ||
           ShotSettings::Get(s.m_Def, eShot::ItemKind) != 0;
}

bool AlreadyHit(const cShot& s, const cChara& c) {
    const cObjHandle h(&c);
    return std::find(s.m_vHit.begin(), s.m_vHit.end(), h) != s.m_vHit.end();
}

// The characters of a side at the start of a pass, with their rectangles as they were then:
// nothing moves during the passes (the flows they fire start, and run from the next step), so
// the pairs are found on the copies, in contiguous memory, and checked again on the characters.
using SIDE = cGameScene::AttackSide;

// Every side's shots as they are when a pass begins (a shot fired meanwhile waits for the next
// step; one removed meanwhile is skipped where it is used). A pass that finds the shot list as
// the last take left it (no shot added or removed since) keeps that take. Returns the number of
// sides with shots.
i32 TakeShotsOfSides(cGameScene& scene, u32& takenOf) {
    i32 sides = 0;
    const u32 version = scene.m_lstShot.Version();
    for (i32 i = 0; i < kSideCount; ++i) {
        std::vector<cShot*>& v = scene.m_AttackSides[static_cast<std::size_t>(i)].shots;
        if (takenOf != version) {
            v.clear();
            scene.ForEachShotOfSide(i, [&](cShot& s) { v.push_back(&s); });
        }
        sides += !v.empty();
    }
    takenOf = version;
    return sides;
}

// Whether two sides have shots in the scene's lists (removed ones included): else the shots meet
// no shot of another side.
bool ShotsOfTwoSides(cGameScene& scene) {
    i32 sides = 0;
    for (i32 i = 0; i < kSideCount; ++i) sides += !scene.SideList(i).empty();
    return sides >= 2;
}

// The item a shot carries, given to the player.
u32 GiveShotItem(cGameScene& scene, const cShot& s) {
    const i64 kind = ShotSettings::Get(s.m_Def, eShot::ItemKind);
    if (kind == 0) return 0;
    const cEdItem* def = GetEdItem(static_cast<i8>(kind), static_cast<i16>(ShotSettings::Get(s.m_Def, eShot::ItemNumber)));
    cPlayer* p = scene.Player0();
    if (!def || !p) return 0;
    cItem item;
    item.m_pScene = &scene;
    item.Init(1, *def, 0);
    return ApplyItem(scene, &item, *p);
}

// One shot against the characters of one side: the pass's result (non-zero ends it).
i32 ShotAgainstSide(cGameScene& scene, cShot& s, const SIDE& side, bool& end) {
    const bool onScreenOnly = OnScreenOnly();
    const HITRECT shotBox = s.m_rcHit.rc;
    for (std::size_t k = 0; k < side.chara.size(); ++k) {
        if (!IsHitRect(side.damage[k], shotBox)) continue;
        cChara& c = *side.chara[k];
        cObjRegistry::Reach(c);
        if (s.IsRemoved()) return 0;
        if (!Alive(c) || !c.m_bPresent || (onScreenOnly && !c.m_bOnScreen) || c.m_nInvincibleKind == 2) continue;
        if (!IsHitRect(c.m_rcDamage.rc, s.m_rcHit.rc) || AlreadyHit(s, c)) continue;
        const bool effect = HasEffect(s);
        if (effect && c.IsInvincible()) continue;
        cChara* owner = s.m_Owner.Chara();
        RunFlows(c, TRIG_HIT_SHOT, owner, 0);
        if (owner && s.m_bOwnerReport) RunFlows(*owner, TRIG_ATTACK_HIT, &c, static_cast<i8>(s.m_byReportSubKind));
        if (!effect && SysSwitch(SW_HARMLESS_SHOTS)) continue;
        c.TakeDamageFromShot(s);
        c.RunShotDamageFlows(s);
        if (c.m_nHP < 1) {
            if (c.m_nKind == 1) PlaySE(9);
            const i32 r = CharaEndResult(c);
            if (r == 1 || r == 2) return r;
        } else {
            PlaySE(7);
            if (effect) c.SetInvincible();
        }
        if (!ShotSettings::Get(s.m_Def, eShot::HitLimit)) {
            s.m_vHit.push_back(&c);
        } else {
            const eShot pierce = c.IsBlockChara() ? eShot::PierceBlockCharas : eShot::PierceOthers;
            if (ShotSettings::Get(s.m_Def, pierce) == 1) s.m_vHit.push_back(&c);
            else end = true;
        }
        if (const u32 r = GiveShotItem(scene, s)) return static_cast<i32>(r);
    }
    return 0;
}

i32 ShotsAgainstCharas(cGameScene& scene, const std::array<SIDE, kSideCount>& charas, u32& takenOf) {
    const bool onScreenOnly = OnScreenOnly();
    TakeShotsOfSides(scene, takenOf);
    for (i32 i = 0; i < kSideCount; ++i) {
        const std::vector<cShot*>& shots = charas[static_cast<std::size_t>(i)].shots;
        if (shots.empty()) continue;
        for (i32 j = 0; j < kSideCount; ++j) {
            // A side without characters has nothing for the shots to hit.
            if (j == i || charas[static_cast<std::size_t>(j)].chara.empty()) continue;
            for (cShot* sp : shots) {
                cShot& s = *sp;
                if (s.IsRemoved() || s.m_bFinished || (onScreenOnly && !s.m_bOnScreen)) continue;
                bool end = false;
                if (const i32 r = ShotAgainstSide(scene, s, charas[static_cast<std::size_t>(j)], end)) return r;
                if (end && !s.m_bFinished && !s.IsRemoved()) scene.EraseShot(s);
            }
        }
    }
    return 0;
}

// The damage of one character by another in the second pass.
void Hurt(cChara& a, cChara& b, bool immediate) {
    a.TakeDamageFromChara(b);
    if (immediate) a.RunDamageFlows(b);
}

// After both damages: the death or the invincibility of one damaged character.
i32 AfterHurt(cChara& a, cChara& b) {
    if (a.m_nHP < 1) {
        if (a.m_nKind == 1) PlaySE(9);
        const i32 r = CharaEndResult(a);
        return r == 1 || r == 2 ? r : 0;
    }
    a.AddHitBy(b.m_nId);
    return 0;
}

// The touch trigger on a naming b (or b's parent, which then hears of the hit).
void Touch(cChara& a, cChara& b) {
    cChara* parent = b.m_bReportToParent ? b.m_Parent.Chara() : nullptr;
    if (!parent) {
        RunFlows(a, TRIG_HIT_CHARA, &b, 0);
        return;
    }
    RunFlows(a, TRIG_HIT_CHARA, parent, 0);
    RunFlows(*parent, TRIG_ATTACK_HIT, &a, static_cast<i8>(b.m_byReportSubKind));
}

bool TakesPart(const cChara& c, bool onScreenOnly) {
    return Alive(c) && c.m_bPresent && (!onScreenOnly || c.m_bOnScreen) && !c.IsBlockChara();
}

i32 CharasAgainstCharas(const std::array<SIDE, kSideCount>& charas) {
    const bool onScreenOnly = OnScreenOnly();
    const bool immediate = SysSwitch(SW_IMMEDIATE_TRIGGERS) != 0;
    for (i32 i = 0; i < kSideCount; ++i) {
        for (i32 j = i + 1; j < kSideCount; ++j) {
            const SIDE& si = charas[static_cast<std::size_t>(i)];
            const SIDE& sj = charas[static_cast<std::size_t>(j)];
            for (std::size_t ai = 0; ai < si.chara.size(); ++ai) {
                cChara& a = *si.chara[ai];
                for (std::size_t bj = 0; bj < sj.chara.size(); ++bj) {
                    if (!IsHitRect(si.body[ai], sj.body[bj])) continue;
                    cChara& b = *sj.chara[bj];
                    cObjRegistry::Reach(a);
                    cObjRegistry::Reach(b);
                    if (!TakesPart(a, onScreenOnly)) break;
                    if (!TakesPart(b, onScreenOnly) || !IsHitRect(a.m_rcBody.rc, b.m_rcBody.rc)) continue;
                    const bool aPart = !a.IsInvincibleAgainst(b.m_nId);
                    const bool bPart = !b.IsInvincibleAgainst(a.m_nId);
                    Touch(a, b);
                    Touch(b, a);
                    const bool aHurt = aPart && HasAttack(b);
                    const bool bHurt = bPart && HasAttack(a);
                    if (aHurt) Hurt(a, b, immediate);
                    if (bHurt) Hurt(b, a, immediate);
                    if (!immediate) {
                        if (aHurt) a.RunDamageFlows(b);
                        if (bHurt) b.RunDamageFlows(a);
                    }
                    if (!aHurt && !bHurt) continue;
                    PlaySE(7);
                    if (aHurt)
                        if (const i32 r = AfterHurt(a, b)) return r;
                    if (bHurt)
                        if (const i32 r = AfterHurt(b, a)) return r;
                }
            }
        }
    }
    return 0;
}

void ShotsAgainstShots(cGameScene& scene, u32& takenOf) {
    auto breakable = [](const cShot& s) { return ShotSettings::Get(s.m_Def, eShot::Breakable) != 0; };
    auto strength = [](const cShot& s) { return static_cast<i8>(ShotSettings::Get(s.m_Def, eShot::Strength)); };
    if (!ShotsOfTwoSides(scene) || TakeShotsOfSides(scene, takenOf) < 2) return;
    for (i32 i = 0; i < kSideCount; ++i) {
        const std::vector<cShot*>& as = scene.m_AttackSides[static_cast<std::size_t>(i)].shots;
        if (as.empty()) continue;
        for (i32 j = i + 1; j < kSideCount; ++j) {
            const std::vector<cShot*>& bs = scene.m_AttackSides[static_cast<std::size_t>(j)].shots;
            if (bs.empty()) continue;
            for (cShot* ap : as) {
                cShot& a = *ap;
                if (a.IsRemoved()) continue;
                bool goes = false;
                for (cShot* bp : bs) {
                    cShot& b = *bp;
                    if (b.IsRemoved()) continue;
                    const bool ba = breakable(a), bb = breakable(b);
                    if ((!ba && !bb) || !IsHitRect(a.m_rcHit.rc, b.m_rcHit.rc)) continue;
                    if (ba && !bb) {
                        goes = true;
                    } else if (bb && !ba) {
                        scene.EraseShot(b);
                    } else if (strength(b) > strength(a)) {
                        goes = true;
                    } else {
                        if (strength(b) == strength(a)) goes = true;
                        scene.EraseShot(b);
                    }
                }
                if (goes) scene.EraseShot(a);
            }
        }
    }
}

} // namespace

namespace {
void AddToSide(std::array<SIDE, kSideCount>& charas, cChara& c) {
    if (c.m_nSide < 0 || c.m_nSide >= kSideCount) return;
    SIDE& side = charas[static_cast<std::size_t>(c.m_nSide)];
    side.chara.push_back(&c);
    side.body.push_back(c.m_rcBody.rc);
    side.damage.push_back(c.m_rcDamage.rc);
}

// Each side's characters of the step-start walk with the player first, from the scene's copy of
// their sides and boxes (contiguous, kept up to date). Kept from the last step when they are the
// same characters on the same sides: then only the player's boxes are taken again and the
// characters added since the last passes are dropped.
void TakeWalkedSides(cGameScene& scene, cPlayer* p) {
    std::array<SIDE, kSideCount>& charas = scene.m_AttackSides;
    cGameScene::StepWork& w = scene.m_StepWork;
    const i32 playerSide = p && p->m_nSide >= 0 && p->m_nSide < kSideCount ? p->m_nSide : -1;
    if (w.bSidesKept && w.pSidesPlayer == p && w.nSidesPlayerSide == playerSide) {
        for (SIDE& side : charas) {
            side.chara.resize(side.nKept);
            side.body.resize(side.nKept);
            side.damage.resize(side.nKept);
        }
        if (playerSide >= 0) {
            SIDE& side = charas[static_cast<std::size_t>(playerSide)];
            side.body[0] = p->m_rcBody.rc;
            side.damage[0] = p->m_rcDamage.rc;
        }
        return;
    }
    for (SIDE& side : charas) {
        side.chara.clear();
        side.body.clear();
        side.damage.clear();
    }
    if (p) AddToSide(charas, *p);
    for (cGameScene::StepWork::Walked& e : w.walked) {
        e.keptSide = e.keptAt = -1;
        if (e.out || e.side < 0 || e.side >= kSideCount) continue;
        SIDE& side = charas[static_cast<std::size_t>(e.side)];
        e.keptSide = e.side;
        e.keptAt = static_cast<i32>(side.chara.size());
        side.chara.push_back(e.chara);
        side.body.push_back(e.body);
        side.damage.push_back(e.damage);
    }
    for (SIDE& side : charas) side.nKept = side.chara.size();
    w.bSidesKept = 1;
    w.pSidesPlayer = p;
    w.nSidesPlayerSide = playerSide;
}

i32 AttackPasses(cGameScene& scene) {
    std::array<SIDE, kSideCount>& charas = scene.m_AttackSides;
    // Each side's characters with the player first: those of the step-start walk, then those
    // added since, from themselves.
    cPlayer* p = scene.Player0();
    cGameScene::StepWork& w = scene.m_StepWork;
    int from = 0;
    if (w.Current(scene.m_lstChara)) {
        TakeWalkedSides(scene, p);
        from = w.nSize;
    } else {
        w.bSidesKept = 0;
        for (SIDE& side : charas) {
            side.chara.clear();
            side.body.clear();
            side.damage.clear();
        }
        if (p) AddToSide(charas, *p);
    }
    for (int i = from; i < scene.m_lstChara.Size(); ++i) {
        if (const cStageChara* ahead = scene.m_lstChara.Peek(i + cObjList<cStageChara>::kAhead)) PrefetchWalked(*ahead);
        if (cStageChara* c = scene.m_lstChara.Live(i)) AddToSide(charas, *c);
    }
    scene.AttackPassesBegin();
    u32 takenOf = scene.m_lstShot.Version() + 1; // no take yet
    i32 r = ShotsAgainstCharas(scene, charas, takenOf);
    if (!r) r = CharasAgainstCharas(charas);
    if (!r) ShotsAgainstShots(scene, takenOf);
    scene.AttackPassesEnd();
    return r;
}

// The shot lists are emptied, keeping their storage: no shot is pointed at once the passes end.
// The character lists stay for the next step (see TakeWalkedSides); their pointers are read only
// while the scene's copy they were made from is current.
void ClearAttackShots(cGameScene& scene) {
    for (SIDE& side : scene.m_AttackSides) side.shots.clear();
}
} // namespace

i32 ResolveAttacks(cGameScene& scene) {
    PassScope hold(scene);
    ClearAttackShots(scene);
    const i32 r = AttackPasses(scene);
    ClearAttackShots(scene);
    return r;
}
