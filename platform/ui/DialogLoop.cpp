// How a dialog runs: modally, in a nested event loop on the window thread over the last game
// frame, or modeless beside the game, where the open dialogs share one event hook and one
// overlay and the active one takes the keys.
#include <SDL.h>
#include <algorithm>

#include "platform/system/AppWindow.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/DialogKit.h"

using namespace dlgkit;

namespace {

bool g_bDlgInteractive = false;

// The modeless dialogs, the active one, and the hook and overlay they share (window thread).
std::vector<DLG_CLASS*> g_vModeless;
DLG_CLASS* g_pActive = nullptr;
int g_nModalDepth = 0;
AppEventHook g_outerHook;
bool g_bModelessText = false;

void Deactivate() {
    g_pActive = nullptr;
    if (g_bModelessText) AppTextInput(false);
    g_bModelessText = false;
}

void ActivateModeless(DLG_CLASS* d, bool hasEdit) {
    if (g_pActive == d) return;
    Deactivate();
    g_pActive = d;
    if (hasEdit) {
        AppTextInput(true);
        g_bModelessText = true;
    }
}

bool PassOn(const APPEVENT& e) { return g_outerHook && g_outerHook(e); }

bool ModelessHook(const APPEVENT& e) {
    const std::vector<DLG_CLASS*> open = g_vModeless; // a dialog may close while it handles
    bool used = false;
    switch (e.kind) {
    case APPEVENT::Close:
        for (DLG_CLASS* d : open) d->HandleEvent(e);
        PassOn(e);
        break;
    case APPEVENT::MouseMove:
        for (DLG_CLASS* d : open) used = d->HandleEvent(e) || used; // hover and thumb drags
        if (!used) used = PassOn(e);
        break;
    case APPEVENT::MouseDown:
    case APPEVENT::MouseUp:
    case APPEVENT::Wheel: {
        DLG_CLASS* hit = nullptr;
        for (auto it = open.rbegin(); it != open.rend() && !hit; ++it)
            if ((*it)->Contains(e.x, e.y) || (*it == g_pActive && e.kind != APPEVENT::MouseDown)) hit = *it;
        if (!hit) {
            if (e.kind == APPEVENT::MouseDown) Deactivate();
            return PassOn(e);
        }
        if (e.kind == APPEVENT::MouseDown) ActivateModeless(hit, hit->HasEditControl());
        hit->HandleEvent(e);
        used = true;
        break;
    }
    default:
        if (!g_pActive) return PassOn(e);
        g_pActive->HandleEvent(e);
        used = true;
        break;
    }
    AppPresent(true);
    return used;
}

void ModelessAdd(DLG_CLASS* d) {
    if (g_vModeless.empty()) {
        g_outerHook = SetAppEventHook(ModelessHook);
        SetAppOverlay([](std::vector<u32>& f) {
            if (g_nModalDepth == 0) DlgDrawModeless(f);
        });
    }
    g_vModeless.push_back(d);
}

} // namespace

namespace dlgkit {

void ModelessRemove(DLG_CLASS* d) {
    const auto it = std::find(g_vModeless.begin(), g_vModeless.end(), d);
    if (it == g_vModeless.end()) return;
    g_vModeless.erase(it);
    if (g_pActive == d) Deactivate();
    if (g_vModeless.empty()) {
        SetAppEventHook(std::move(g_outerHook));
        g_outerHook = nullptr;
        SetAppOverlay(nullptr);
    }
    AppPresent(true);
}

} // namespace dlgkit

void DlgDrawModeless(std::vector<u32>& frame) {
    for (DLG_CLASS* d : g_vModeless) d->Draw(frame);
}

DLG_CLASS::~DLG_CLASS() {
    if (m_bModeless) ModelessRemove(this);
}

bool DLG_CLASS::DlgCreate() {
    if (m_bOpen) return false;
    Open();
    m_bModeless = true;
    ModelessAdd(this);
    ActivateModeless(this, HasEditControl());
    AppPresent(true);
    return true;
}

int DLG_CLASS::DlgDoModal() {
    if (m_bOpen) return 0;
    m_bModeless = false;
    Open();
    APPEVENT close;
    close.kind = APPEVENT::Close;
    if (AppCloseAsked()) {
        // The program is closing (a signal, the window or its display lost): the dialog ends
        // unseen as its close button ends it. Showing the window now would ask a display that
        // may be gone.
        HandleEvent(close);
        if (!m_bEnded) DlgEnd(0);
        Close();
        return m_nEndCode;
    }
    if (!AppWindowExists() || (AppIsHeadless() && !g_bDlgInteractive)) {
        // Nobody can see or operate it: it answers as a message box would.
        OnUnattended();
        if (!m_bEnded) DlgEnd(0);
        Close();
        return m_nEndCode;
    }
    AppWindowShow(false);
    std::vector<u32> back;
    if (!AppLastFrame(back) || back.size() != static_cast<std::size_t>(kW) * kH)
        back.assign(static_cast<std::size_t>(kW) * kH, 0xFF000000u);
    // Modeless dialogs stay in view under the modal one, but do not take its events.
    DlgDrawModeless(back);
    ++g_nModalDepth;
    // A dialog opened from another one (the overwrite question of the save dialog) hands the
    // events and the text input back to it when it ends.
    AppEventHook outer = SetAppEventHook([this](const APPEVENT& e) { return HandleEvent(e); });
    const bool outerText = SDL_IsTextInputActive() == SDL_TRUE;
    AppTextInput(HasEditControl());
    bool closeSeen = false;
    while (!m_bEnded) {
        if (!closeSeen && AppCloseAsked()) {
            // Closing from outside while it is open: the dialog ends as its close button ends
            // it, also the one under a nested dialog, which the pump's one close did not reach.
            closeSeen = true;
            HandleEvent(close);
            if (m_bEnded) break;
        }
        std::vector<u32> frame = back;
        Draw(frame);
        AppSubmitFrame(frame.data(), kW);
        AppPresent(false);
        // The events after the one that ends the dialog belong to what is open then: the
        // dialog that asked this question, or the main window.
        AppPumpEvents(15, [this] { return m_bEnded; });
    }
    SetAppEventHook(std::move(outer));
    AppTextInput(outerText);
    --g_nModalDepth;
    AppSubmitFrame(back.data(), kW);
    AppPresent(false);
    Close();
    return m_nEndCode;
}

void DLG_CLASS::OnUnattended() {
    for (auto& c : m_vControl)
        if (c.nKind == DLG_BUTTON && c.bDefault && !m_bEnded) Command(c.nId);
}

void DlgSetInteractiveForTests(bool on) { g_bDlgInteractive = on; }
