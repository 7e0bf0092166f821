// The player's settings files as start-up reads them, then used as the runtime uses them. The
// first byte picks the file: Option.dat, Window.dat, Boot.dat, KeyConfig.dat, System.ini.
#include <climits>
#include <cstddef>
#include <cstdint>

#include "FuzzGame.h"
#include "app/SystemIni.h"
#include "database/OptionData.h"
#include "platform/system/Input.h"
#include "records/DataFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    fuzzgame::Enter();
    const std::uint8_t* file = data + 1;
    const std::size_t bytes = size - 1;
    switch (data[0] % 5) {
    case 0: {
        fuzzgame::Put("user_data\\Option.dat", file, bytes);
        cOptionData option;
        if (LoadUserFile(option, "user_data\\Option.dat") == LoadResult::Loaded) {
            (void)SeVolumeGain(option.nSeVolume);
            SaveToFile(option, "user_data\\Option.dat");
        }
        break;
    }
    case 1: {
        fuzzgame::Put("user_data\\Window.dat", file, bytes);
        SetWindowDataLimits(1920, 1080);
        cWindowData window;
        if (LoadUserFile(window, "user_data\\Window.dat") == LoadResult::Loaded &&
            (window.nX < 0 || window.nX > 1920 || window.nY < 0 || window.nY > 1080))
            __builtin_trap(); // the place is clamped into the desktop
        break;
    }
    case 2: {
        fuzzgame::Put("user_data\\Boot.dat", file, bytes);
        cBootData boot;
        LoadUserFile(boot, "user_data\\Boot.dat");
        break;
    }
    case 3: {
        fuzzgame::Put("user_data\\KeyConfig.dat", file, bytes);
        KEYCONFIG config;
        KeyConfigDefault(config);
        if (KeyConfigLoad("user_data\\KeyConfig.dat", config)) {
            g_KeyConfig = config;
            KeyConfigApply();
            // The multi-joystick poll indexes the configuration's entries and devices.
            g_bMultiJoy = 1;
            PollInput(g_vInput, 1, 0);
        }
        break;
    }
    default: {
        fuzzgame::Put("System.ini", file, bytes);
        const std::vector<INIKEYDEF> keys = DefaultIniKeys();
        SYSTEMINI ini;
        SetSystemIniDefaults(ini, keys);
        ReadSystemIni("System.ini", ini, keys);
        // The free stage is a path: never longer than the system takes one.
        if (ini.FreeStage.size() >= PATH_MAX) __builtin_trap();
        break;
    }
    }
    return 0;
}
