#pragma once
// Per-player input records, filled once per frame from the keyboard and the joysticks, with
// their histories (for the flows' key conditions) and key repeat (for menus).
//
// The keyboard and joysticks are read from snapshots: the window thread, which alone pumps SDL
// events, keeps them up to date (KeyStateSet, JoyStateSet), and the game thread reads them here;
// a key tapped between two frames still counts as down for the frame after it.
// Tests and scripted runs feed the same snapshots, so they drive exactly what the player would.
#include <array>
#include <string>
#include <vector>

#include "platform/system/Types.h"

// One entry of a per-state press history, newest first.
struct KEYHISTORY {
    u32 pressed = 0;
    i32 frames = 0;
};
using cKeyHistory = std::vector<KEYHISTORY>;

struct INPUTRING {
    u16 value = 0;
    u32 hold = 0;
};

class cInput {
public:
    cInput();

    u16 wDirection = 0; // 1 left, 2 right, 4 up, 8 down
    u16 wButtons = 0;   // bit i = button i + 1
    u32 dwRepeat = 0;   // (previous << 4) | direction
    std::array<std::array<INPUTRING, 32>, 2> aRing{};
    std::array<u32, 2> anRingIndex{};
    std::vector<cKeyHistory> vDirState;    // 10 direction states
    std::vector<cKeyHistory> vButtonState; // 9 button states
    i32 nNumpad = 5;
    u32 nRepeatX = 0;
    u32 nRepeatY = 0;
    u32 nRepeatDelay = 0;
    u32 nRepeatInterval = 0;
    std::array<u16, 8> awJoyMask{};
    u32 bJoyOk = 0;
    i32 nJoySkip = 0;
    // Buttons latched by InputLatchButtons: removed from wButtons while they stay held.
    u16 wLatched = 0;
};

// Element 0 is player 1.
extern std::vector<cInput> g_vInput;

struct KEYCONFIGENTRY {
    u32 dwDevice = 8; // 8 = keyboard, else joystick number
    u16 wCode = 0;    // virtual-key code, or joystick axis code / button mask
    u16 wUnused = 0;
};

struct KEYCONFIG {
    KEYCONFIGENTRY aEntry[12];
    u32 nCount = 12;
    u32 nJoyCount = 1;
    u32 bMultiJoy = 0;
};
static_assert(sizeof(KEYCONFIG) == 108, "KeyConfig.dat is read as this record");

extern KEYCONFIG g_KeyConfig;
// The last two fields of the configuration, as the rest of the program reads them.
extern u32 g_nJoyCount;
extern u32 g_bMultiJoy;

constexpr u32 kMaxJoysticks = 16;

// The key configuration from its file (a Shift-JIS game path): 1 when a whole 108-byte record
// was read; 0 leaves the record as it was, with a report line unless the file is missing.
// Counts out of range are clamped into 4..12 entries and 0..16 joysticks, so that nothing
// indexes past the tables.
int KeyConfigLoad(const std::string& path, KEYCONFIG& config);
void KeyConfigDefault(KEYCONFIG& config);
// Makes g_nJoyCount and g_bMultiJoy follow the global configuration.
void KeyConfigApply();

// One joystick as read: axes as unsigned 0..65535 (SDL's value + 32768), 32 button bits.
struct JOYSTATE {
    u32 dwXpos = 32768;
    u32 dwYpos = 32768;
    u32 dwButtons = 0;
};

int PollJoystick(cInput& input, int joystick, int flags, int retry);
int PollInput(std::vector<cInput>& inputs, int players, int retry);
int JoyAxisTest(const JOYSTATE& joy, u32 code);
i32 DirToNumpad(const cInput& input);
void JoyButtonMaskInit(cInput& input);

void InputHistoryClear(cInput& input);
void InputHistoryPush(cInput& input);
u16 InputHistoryGet(const cInput& input, int ring, int framesAgo);
void InputKeyHistoryUpdate(cInput& input);
void KeyHistoryPush(cKeyHistory& history, u16 word, u16 mask, int mode);
i32 FirstPressedKey(const cInput& input);

void InputReset(cInput& input);
void InputClearButtons(cInput& input);
void InputSetRepeat(cInput& input, u32 delay, u32 interval);
void InputRepeat(cInput& input);
// Each press of a button in mask acts once: while a latched button stays held it is removed from
// the current buttons; releasing it frees the latch.
void InputLatchButtons(cInput& input, u16 mask);

// ---- Snapshots fed by the window thread (or a script or a test) ----

// Virtual-key codes of the keys the runtime knows (the codes KeyConfig.dat stores).
constexpr u32 VK_LBUTTON = 0x01;
constexpr u32 VK_RBUTTON = 0x02;
constexpr u32 VK_BACK = 0x08;
constexpr u32 VK_TAB = 0x09;
constexpr u32 VK_RETURN = 0x0D;
constexpr u32 VK_SHIFT = 0x10;
constexpr u32 VK_CONTROL = 0x11;
constexpr u32 VK_ESCAPE = 0x1B;
constexpr u32 VK_SPACE = 0x20;
constexpr u32 VK_PRIOR = 0x21;
constexpr u32 VK_NEXT = 0x22;
constexpr u32 VK_END = 0x23;
constexpr u32 VK_HOME = 0x24;
constexpr u32 VK_LEFT = 0x25;
constexpr u32 VK_UP = 0x26;
constexpr u32 VK_RIGHT = 0x27;
constexpr u32 VK_DOWN = 0x28;
constexpr u32 VK_DELETE = 0x2E;

// A key's press is remembered until the next frame begins, so that the frame sees it however
// short it was: a read once a frame misses a tap that falls between two reads (a few
// milliseconds down, or a long frame on a busy machine).
void KeyStateSet(u32 vk, bool down);
// The press just set was a dialog's: the key stays held while it is, but once released it is no
// tap for the game (a name typed into a dialog the game waited for would act in play after it).
void KeyStateTaken(u32 vk);
void KeyStateClearAll();
// Begins the game's next frame for the keyboard: a key that went down since the last call
// counts as down for every read until the next call, then it is up again unless it is held.
// GamePollInput calls it once a frame, before the poll reads the keys.
void KeyStateNextFrame();
// The game thread's read within a frame: negative (high bit set) while the key is down, or
// when it went down since the frame before this one, as the program has always tested it. A
// press that a read sees held has counted for this frame; it is no tap for the next one.
i16 GetAsyncKeyState(u32 vk);
// The key as the window thread's events have left it, for the dialogs, which handle those events
// on that thread: a tap the game's frame still counts is no held key for them (the frame lasts
// as long as a dialog the game waits for).
i16 GetKeyState(u32 vk);

// Joystick n's state; absent joysticks (never attached, or unplugged) fail to read.
void JoyStateSet(u32 n, const JOYSTATE* state);
bool JoyStateGet(u32 n, JOYSTATE& state);

// ---- Scripted input ----
// A script of key changes by poll number: "frame:vk+" presses, "frame:vk-" releases, entries
// separated by commas or blanks (for example "30:40+,32:40-,60:90+,62:90-"). Each PollInput /
// PollJoystick on player 1's record counts one poll and applies the entries due first.
// False for a malformed script (nothing is loaded).
bool InputScriptLoad(const std::string& script);
void InputScriptStep();
u32 InputPollCount();
void InputScriptReset();
