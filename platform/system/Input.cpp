#include "platform/system/Input.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/system/WindowMessages.h"

std::vector<cInput> g_vInput(1);
KEYCONFIG g_KeyConfig;
u32 g_nJoyCount = 1;
u32 g_bMultiJoy = 0;

namespace {

constexpr u32 kAxisLow = 10001;
constexpr u32 kAxisHigh = 55535;
constexpr u32 kHoldMax = 0x7fffffff;

// Per key: held now; went down since the current frame began; went down between the start of
// the frame before and this one's (the frame's reads count it as down even once released).
// One atomic per key, so that a press and the start of a frame never split between two stores.
constexpr u8 kKeyHeld = 1;
constexpr u8 kKeyWentDown = 2;
constexpr u8 kKeyFrameTap = 4;
std::array<std::atomic<u8>, 256> g_keyDown{};

std::mutex g_joyMutex;
std::array<std::optional<JOYSTATE>, kMaxJoysticks> g_joy;

struct ScriptEntry {
    u32 frame;
    u32 vk;
    bool down;
};
std::mutex g_scriptMutex;
std::vector<ScriptEntry> g_script;
std::size_t g_scriptNext = 0;
std::atomic<u32> g_pollCount{0};

void ApplyAxis(const JOYSTATE& js, u16& dir, i32& numpad) {
    if (js.dwXpos < kAxisLow) {
        dir |= 1;
        numpad -= 1;
    } else if (js.dwXpos >= kAxisHigh) {
        dir |= 2;
        numpad += 1;
    }
    if (js.dwYpos < kAxisLow) {
        dir |= 4;
        numpad -= 3;
    } else if (js.dwYpos >= kAxisHigh) {
        dir |= 8;
        numpad += 3;
    }
}

// One read under the skip rule shared by both polls: after a failure the next 2 x retry polls
// do not touch the device.
bool ReadJoystick(cInput& input, u32 n, int retry, JOYSTATE& js) {
    if (!input.bJoyOk && input.nJoySkip > 0) {
        --input.nJoySkip;
        return false;
    }
    if (JoyStateGet(n, js)) {
        input.bJoyOk = 1;
        return true;
    }
    input.bJoyOk = 0;
    input.nJoySkip = 2 * std::max(retry, 0);
    return false;
}

} // namespace

cInput::cInput() : vDirState(10), vButtonState(9) {}

void KeyConfigDefault(KEYCONFIG& config) {
    static const u16 codes[12] = {37, 39, 38, 40, 90, 88, 67, 86, 65, 83, 68, 70};
    for (int i = 0; i < 12; ++i) config.aEntry[i] = KEYCONFIGENTRY{8, codes[i], 0};
    config.nCount = 12;
    config.nJoyCount = 1;
    config.bMultiJoy = 0;
}

int KeyConfigLoad(const std::string& path, KEYCONFIG& config) {
    KEYCONFIG loaded;
    const std::string shown = ToDisplayText(path);
    // Read no further than one configuration: a longer file, however long, is damaged.
    std::vector<u8> bytes;
    const FileRead read = ReadWholeFile(path, bytes, sizeof loaded);
    if (read == FileRead::Missing) return 0;
    if (read == FileRead::Unreadable) {
        WriteFailureReport("%s の読み込みに失敗しました！", shown.c_str());
        return 0;
    }
    // A file of another size is damaged, not a configuration: the caller keeps its defaults.
    if (read == FileRead::TooLarge || bytes.size() != sizeof loaded) {
        WriteReport("%s が破損しています！", shown.c_str());
        return 0;
    }
    std::memcpy(&loaded, bytes.data(), sizeof loaded);
    // Values outside their range are set right, each with a report line.
    auto repair = [&](const char* field, u32& value, u32 now) {
        WriteReport("%s の %s (%u) が範囲外のため %u にしました。", shown.c_str(), field, value, now);
        value = now;
    };
    if (loaded.nCount < 4 || loaded.nCount > 12) repair("nCount", loaded.nCount, std::clamp<u32>(loaded.nCount, 4, 12));
    if (loaded.nJoyCount > kMaxJoysticks) repair("nJoyCount", loaded.nJoyCount, kMaxJoysticks);
    if (loaded.bMultiJoy > 1) repair("bMultiJoy", loaded.bMultiJoy, 1);
    KEYCONFIG defaults;
    KeyConfigDefault(defaults);
    for (int i = 0; i < 12; ++i) {
        KEYCONFIGENTRY& e = loaded.aEntry[i];
        // Device 8 is the keyboard, whose codes are virtual keys below 256; any other device is
        // a joystick the program can read. The entry takes its default whole.
        char field[32];
        if (e.dwDevice == 8) {
            if (e.wCode < 256) continue;
            std::snprintf(field, sizeof field, "aEntry[%d].wCode", i);
            u32 code = e.wCode;
            repair(field, code, defaults.aEntry[i].wCode);
        } else {
            if (e.dwDevice < kMaxJoysticks) continue;
            std::snprintf(field, sizeof field, "aEntry[%d]", i);
            u32 device = e.dwDevice;
            repair(field, device, defaults.aEntry[i].dwDevice);
        }
        e = defaults.aEntry[i];
    }
    config = loaded;
    return 1;
}

void KeyConfigApply() {
    g_nJoyCount = g_KeyConfig.nJoyCount;
    g_bMultiJoy = g_KeyConfig.bMultiJoy;
}

int JoyAxisTest(const JOYSTATE& joy, u32 code) {
    switch (code) {
    case 256: return joy.dwXpos < kAxisLow;
    case 512: return joy.dwXpos >= kAxisHigh;
    case 1024: return joy.dwYpos < kAxisLow;
    case 2048: return joy.dwYpos >= kAxisHigh;
    default: return 0;
    }
}

int PollJoystick(cInput& input, int joystick, int flags, int retry) {
    bool joyDirection = false;
    bool joyButtons = false;
    if ((flags & 1) && !g_bMultiJoy && joystick >= 0) {
        JOYSTATE js;
        if (ReadJoystick(input, static_cast<u32>(joystick), retry, js)) {
            u16 dir = 0;
            i32 numpad = 5;
            ApplyAxis(js, dir, numpad);
            input.wDirection = dir;
            input.nNumpad = numpad;
            joyDirection = dir != 0;
            u16 buttons = 0;
            for (int i = 0; i < 8; ++i)
                if (js.dwButtons & input.awJoyMask[i]) buttons |= static_cast<u16>(1u << i);
            input.wButtons = buttons;
            joyButtons = buttons != 0;
        }
    }
    if (flags & 2) {
        if (!joyDirection) {
            u16 dir = 0;
            i32 numpad = 5;
            // Opposite keys may both be down; their numpad steps cancel.
            if (GetAsyncKeyState(VK_LEFT) < 0) dir |= 1, numpad -= 1;
            if (GetAsyncKeyState(VK_RIGHT) < 0) dir |= 2, numpad += 1;
            if (GetAsyncKeyState(VK_UP) < 0) dir |= 4, numpad -= 3;
            if (GetAsyncKeyState(VK_DOWN) < 0) dir |= 8, numpad += 3;
            input.wDirection = dir;
            input.nNumpad = numpad;
        }
        if (!joyButtons) {
            static const u32 keys[8] = {'Z', 'X', 'C', 'V', 'A', 'S', 'D', 'F'};
            u16 buttons = 0;
            for (int i = 0; i < 8; ++i)
                if (GetAsyncKeyState(keys[i]) < 0) buttons |= static_cast<u16>(1u << i);
            input.wButtons = buttons;
        }
    }
    return g_bMultiJoy ? 0 : 1;
}

int PollInput(std::vector<cInput>& inputs, int players, int retry) {
    if (!g_bMultiJoy) return 0;
    if (inputs.empty() || players < 1) return 1;
    cInput& input = inputs[0];
    const u32 joyCount = std::min(g_KeyConfig.nJoyCount, kMaxJoysticks);
    std::array<JOYSTATE, kMaxJoysticks> js{};
    std::array<bool, kMaxJoysticks> ok{};
    for (u32 j = 0; j < joyCount; ++j) ok[j] = ReadJoystick(input, j, retry, js[j]);

    const KEYCONFIG& cfg = g_KeyConfig;
    auto pressed = [&](u32 e) {
        const KEYCONFIGENTRY& entry = cfg.aEntry[e];
        if (entry.dwDevice == 8) return GetAsyncKeyState(entry.wCode) < 0;
        // A device the configuration does not count is never pressed.
        if (entry.dwDevice >= joyCount || !ok[entry.dwDevice]) return false;
        const JOYSTATE& j = js[entry.dwDevice];
        return JoyAxisTest(j, entry.wCode) != 0 || (entry.wCode & j.dwButtons) != 0;
    };
    // Only the first player has a configuration.
    u16 dir = 0;
    i32 numpad = 5;
    if (pressed(0)) dir |= 1, numpad -= 1;
    else if (pressed(1)) dir |= 2, numpad += 1;
    if (pressed(2)) dir |= 4, numpad -= 3;
    else if (pressed(3)) dir |= 8, numpad += 3;
    u16 buttons = 0;
    const u32 count = std::clamp<u32>(cfg.nCount, 4, 12);
    for (u32 e = 4; e < count; ++e)
        if (pressed(e)) buttons |= static_cast<u16>(1u << (e - 4));
    input.wDirection = dir;
    input.nNumpad = numpad;
    input.wButtons = buttons;
    return 1;
}

i32 DirToNumpad(const cInput& input) {
    i32 n = 5;
    if (input.wDirection & 1) n -= 1;
    else if (input.wDirection & 2) n += 1;
    if (input.wDirection & 4) n -= 3;
    else if (input.wDirection & 8) n += 3;
    return n;
}

void JoyButtonMaskInit(cInput& input) {
    for (int i = 0; i < 8; ++i) input.awJoyMask[i] = static_cast<u16>(1u << i);
}

void InputHistoryClear(cInput& input) {
    input.aRing = {};
    input.anRingIndex = {};
}

void InputHistoryPush(cInput& input) {
    const u16 words[2] = {input.wDirection, input.wButtons};
    for (int r = 0; r < 2; ++r) {
        u32& idx = input.anRingIndex[r];
        idx %= 32;
        auto& ring = input.aRing[r];
        if (ring[idx].value != words[r]) {
            idx = (idx + 1) % 32;
            ring[idx] = INPUTRING{words[r], 1};
        } else if (ring[idx].hold != kHoldMax) {
            ++ring[idx].hold;
        }
    }
}

u16 InputHistoryGet(const cInput& input, int ring, int framesAgo) {
    if (ring < 0 || ring > 1) return 0;
    const auto& r = input.aRing[ring];
    u32 i = input.anRingIndex[ring] % 32;
    long long k = static_cast<long long>(framesAgo) + 1;
    for (int step = 0; step < 32; ++step) {
        if (k > static_cast<long long>(r[i].hold)) {
            k -= r[i].hold; // the hold of the entry being left
            i = (i + 31) % 32;
        }
    }
    return r[i].value;
}

void KeyHistoryPush(cKeyHistory& history, u16 word, u16 mask, int mode) {
    if (history.empty()) return;
    const u32 pressed = mode == 0 ? (word == mask) : ((word & mask) != 0);
    if (history.front().pressed == pressed) {
        if (history.front().frames < static_cast<i32>(kHoldMax)) ++history.front().frames;
        return;
    }
    history.pop_back();
    history.insert(history.begin(), KEYHISTORY{pressed, 1});
}

void InputKeyHistoryUpdate(cInput& input) {
    static const u16 dirMasks[9] = {0, 1, 2, 4, 8, 5, 9, 6, 10};
    input.vDirState.resize(10);
    input.vButtonState.resize(9);
    for (int s = 0; s < 9; ++s) KeyHistoryPush(input.vDirState[s], input.wDirection, dirMasks[s], 0);
    KeyHistoryPush(input.vDirState[9], input.wDirection, 15, 1);
    KeyHistoryPush(input.vButtonState[0], input.wButtons, 0, 0);
    for (int s = 1; s < 9; ++s)
        KeyHistoryPush(input.vButtonState[s], input.wButtons, static_cast<u16>(1u << (s - 1)), 1);
}

i32 FirstPressedKey(const cInput& input) {
    for (int s = 0; s < 10 && s < static_cast<int>(input.vDirState.size()); ++s) {
        const cKeyHistory& h = input.vDirState[s];
        if (!h.empty() && h.front().pressed) return s;
    }
    return 0;
}

void InputReset(cInput& input) {
    input.wDirection = 0;
    input.nNumpad = 5;
}

void InputClearButtons(cInput& input) { input.wButtons = 0; }

void InputSetRepeat(cInput& input, u32 delay, u32 interval) {
    input.nRepeatDelay = delay;
    input.nRepeatInterval = interval;
}

void InputRepeat(cInput& input) {
    input.dwRepeat = (input.dwRepeat << 4) | (input.wDirection & 0xF);
    const u32 now = input.dwRepeat & 0xF;
    const u32 before = (input.dwRepeat >> 4) & 0xF;
    const u32 interval = input.nRepeatInterval ? input.nRepeatInterval : 1;
    auto axis = [&](u32 bits, u32& counter) {
        if ((now & bits) == (before & bits)) {
            ++counter;
            if (!(counter >= input.nRepeatDelay && counter % interval == 0))
                input.wDirection &= static_cast<u16>(~bits);
        } else {
            counter = 0;
        }
    };
    axis(3, input.nRepeatX);
    axis(12, input.nRepeatY);
}

void InputLatchButtons(cInput& input, u16 mask) {
    input.wLatched &= input.wButtons; // a released button frees its latch
    const u16 held = input.wButtons & mask;
    const u16 already = held & input.wLatched;
    input.wLatched |= held;
    input.wButtons &= static_cast<u16>(~already);
}

void KeyStateSet(u32 vk, bool down) {
    if (vk >= g_keyDown.size()) return;
    std::atomic<u8>& key = g_keyDown[vk];
    if (!down) {
        key.fetch_and(static_cast<u8>(~kKeyHeld), std::memory_order_relaxed);
        return;
    }
    // Only a press marks the key: the system's repeats of a held key are no new press.
    u8 old = key.load(std::memory_order_relaxed);
    while (!key.compare_exchange_weak(old, static_cast<u8>(old | kKeyHeld | ((old & kKeyHeld) ? 0 : kKeyWentDown)),
                                      std::memory_order_relaxed)) {
    }
}

void KeyStateTaken(u32 vk) {
    if (vk < g_keyDown.size()) g_keyDown[vk].fetch_and(static_cast<u8>(~kKeyWentDown), std::memory_order_relaxed);
}

void KeyStateClearAll() {
    for (auto& k : g_keyDown) k.store(0, std::memory_order_relaxed);
}

void KeyStateNextFrame() {
    for (auto& key : g_keyDown) {
        u8 old = key.load(std::memory_order_relaxed);
        while (!key.compare_exchange_weak(old, static_cast<u8>((old & kKeyHeld) | ((old & kKeyWentDown) ? kKeyFrameTap : 0)),
                                          std::memory_order_relaxed)) {
        }
    }
}

i16 GetAsyncKeyState(u32 vk) {
    if (vk >= g_keyDown.size()) return 0;
    std::atomic<u8>& key = g_keyDown[vk];
    u8 now = key.load(std::memory_order_relaxed);
    // A press this frame saw held has counted: it must not count again in the next frame as a
    // tap once released (a frame that waited on a dialog the press opened would open it again).
    // The frame's other reads still see it held while it is.
    if ((now & kKeyHeld) && (now & kKeyWentDown))
        key.compare_exchange_strong(now, static_cast<u8>(now & ~kKeyWentDown), std::memory_order_relaxed);
    return (now & (kKeyHeld | kKeyFrameTap)) ? static_cast<i16>(-32768) : 0;
}

i16 GetKeyState(u32 vk) {
    if (vk >= g_keyDown.size()) return 0;
    return (g_keyDown[vk].load(std::memory_order_relaxed) & kKeyHeld) ? static_cast<i16>(-32768) : 0;
}

void JoyStateSet(u32 n, const JOYSTATE* state) {
    if (n >= kMaxJoysticks) return;
    std::lock_guard lock(g_joyMutex);
    if (state) g_joy[n] = *state;
    else g_joy[n].reset();
}

bool JoyStateGet(u32 n, JOYSTATE& state) {
    if (n >= kMaxJoysticks) return false;
    std::lock_guard lock(g_joyMutex);
    if (!g_joy[n]) return false;
    state = *g_joy[n];
    return true;
}

bool InputScriptLoad(const std::string& script) {
    std::vector<ScriptEntry> entries;
    std::size_t i = 0;
    auto skipSeparators = [&] {
        while (i < script.size() && (script[i] == ',' || std::isspace(static_cast<unsigned char>(script[i])))) ++i;
    };
    auto number = [&](u32& out) {
        const std::size_t start = i;
        unsigned long long v = 0;
        while (i < script.size() && std::isdigit(static_cast<unsigned char>(script[i])) && v < 0xFFFFFFFFull)
            v = v * 10 + static_cast<unsigned>(script[i++] - '0');
        out = static_cast<u32>(std::min<unsigned long long>(v, 0xFFFFFFFFull));
        return i > start;
    };
    skipSeparators();
    while (i < script.size()) {
        ScriptEntry e{};
        if (!number(e.frame) || i >= script.size() || script[i++] != ':') return false;
        if (!number(e.vk) || e.vk > 255 || i >= script.size()) return false;
        const char sign = script[i++];
        if (sign != '+' && sign != '-') return false;
        e.down = sign == '+';
        entries.push_back(e);
        skipSeparators();
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ScriptEntry& a, const ScriptEntry& b) { return a.frame < b.frame; });
    std::lock_guard lock(g_scriptMutex);
    g_script = std::move(entries);
    g_scriptNext = 0;
    g_pollCount.store(0);
    return true;
}

void InputScriptStep() {
    const u32 poll = g_pollCount.fetch_add(1) + 1;
    std::lock_guard lock(g_scriptMutex);
    while (g_scriptNext < g_script.size() && g_script[g_scriptNext].frame <= poll) {
        const ScriptEntry& e = g_script[g_scriptNext];
        KeyStateSet(e.vk, e.down);
        // A scripted press reaches the main window as a real one does (Escape closes).
        if (e.down) PostMessage(g_hWnd, WM_KEYDOWN, e.vk, 0);
        ++g_scriptNext;
    }
}

u32 InputPollCount() { return g_pollCount.load(); }

void InputScriptReset() {
    std::lock_guard lock(g_scriptMutex);
    g_script.clear();
    g_scriptNext = 0;
    g_pollCount.store(0);
}
