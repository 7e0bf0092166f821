#include "flow/EffectObj.h"

#include "database/Database.h"
#include "database/EffectData.h"
#include "flow/FlowEngine.h"
#include "platform/graphics/Graphics.h"
#include "play/GameScene.h"

namespace {

// The effect record of an id, or null for record 0 and ids past the list.
const cEffectData* Record(i16 id) {
    if (id <= 0 || id >= g_Database.m_vEffect.Size()) return nullptr;
    return &g_Database.m_vEffect[id];
}

// Slot k (0 plain, 1 its stretch copy) of an effect's picture pair, or null.
DDSURFACEDATA* Picture(cGameScene& scene, i16 id, int k) {
    const i64 slot = 2 * static_cast<i64>(id) - 2 + k;
    if (id <= 0 || slot >= scene.m_vEffectPicture.Size()) return nullptr;
    return &scene.m_vEffectPicture[slot];
}

} // namespace

void cEffectObj::Init(i16 id, double x, double y, i32 width, i32 height, i32 frozen) {
    const cEffectData* rec = Record(id);
    m_nId = id;
    m_dX = x;
    m_dY = y;
    m_nWidth = width;
    m_nHeight = height;
    m_bScaled = rec && width != static_cast<i32>(rec->nWidth);
    m_bFrozen = frozen;
    SetAnime(id);
}

void cEffectObj::InitAtHit(cGameScene& scene, i16 id, const HITRECT& a, const HITRECT& b, i32 scale) {
    const cEffectData* rec = Record(id);
    m_nId = id;
    const i32 fw = rec ? static_cast<i32>(rec->nWidth) : 0, fh = rec ? static_cast<i32>(rec->nHeight) : 0;
    i32 s = 1;
    if (rec && rec->bScalable && scale > 1) {
        s = scale;
        m_bScaled = 1;
    } else {
        m_bScaled = 0;
    }
    m_nWidth = fw * s;
    m_nHeight = fh * s;
    HITRECT r;
    if (IsHitRect(a, b)) {
        r.left = std::max(a.left, b.left);
        r.top = std::max(a.top, b.top);
        r.right = std::min(a.right, b.right);
        r.bottom = std::min(a.bottom, b.bottom);
    }
    m_dX = r.left + (Trunc32(r.right - r.left + 1) >> 1) - (m_nWidth >> 1);
    m_dY = r.top + (Trunc32(r.bottom - r.top + 1) >> 1) - (m_nHeight >> 1);
    m_dX += scene.RandRange(-4 * s, 4 * s);
    m_dY += scene.RandRange(-4 * s, 4 * s);
    SetAnime(id);
}

void cEffectObj::SetAnime(i16 id) {
    m_Anim = AnimState{};
    if (id < 0 || id >= g_EffectSteps.Size()) return;
    AnimeMergePatterns(m_Anim, {&g_EffectSteps[id]});
    AnimeSetPattern(m_Anim, 0, 1);
}

i32 cEffectObj::StepDraw(cGameScene& scene, DDSURFACEDATA* target, i32 advance) {
    const cEffectData* rec = Record(m_nId);
    if (!rec || rec->vFrame.empty()) return 1;
    i32 f = 0;
    if (!m_bFrozen && advance) {
        f = AnimeAdvance(m_Anim);
        if (f == ANIM_END) return 1;
    } else {
        f = AnimeCurrentValue(m_Anim);
    }
    if (f < 0) return 0;
    const i32 x = Trunc32(m_dX - scene.m_ScrollX.m_dPos);
    const i32 y = Trunc32(m_dY - scene.m_ScrollY.m_dPos);
    const i32 fw = static_cast<i32>(rec->nWidth), fh = static_cast<i32>(rec->nHeight);
    // One drawing path: the stretch also reads the plain picture, so both drawing modes show
    // the same; the blits clip a frame past the picture's edge.
    DDSURFACEDATA* pic = Picture(scene, m_nId, 0);
    if (!pic) return 0;
    if (!m_bScaled) DDBlt(target, x, y, m_nWidth, m_nHeight, pic, f * fw, 0, DDBLT_KEY);
    else D3DBltQuad(target, x, y, m_nWidth, m_nHeight, pic, f * fw, 0, fw, fh, DDBLT_KEY);
    return 0;
}

i32 EffectWaitFrames(i16 id) {
    const cEffectData* rec = Record(id);
    i64 frames = 0;
    if (rec)
        for (const cEffectFrame& f : rec->vFrame) frames += static_cast<i64>(f.nTime) * 6;
    return static_cast<i32>(std::min<i64>(frames, INT32_MAX));
}

void FlowObjDeleter::operator()(cEffectObj* p) const noexcept { delete p; }

i32 StepDrawEffectObj(cGameScene& scene, cEffectObj& obj, DDSURFACEDATA* target, i32 held) {
    return obj.StepDraw(scene, target, !held || obj.m_bAdvanceWhileHeld);
}

void StepDrawEffectObjs(cGameScene& scene, DDSURFACEDATA* target, i32 held) {
    auto& list = scene.m_lstEffectObj;
    for (std::size_t i = 0; i < list.size();) {
        if (list[i] && !StepDrawEffectObj(scene, *list[i], target, held)) ++i;
        else list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void AddHitEffect(cGameScene& scene, i16 effect, const HITRECT& a, const HITRECT& b, i32 scale) {
    if (effect <= 0 || effect >= g_Database.m_vEffect.Size()) return;
    EffectObjPtr obj(new cEffectObj);
    obj->InitAtHit(scene, effect, a, b, scale);
    scene.m_lstEffectObj.push_back(std::move(obj));
}
