// Fuzzes the code command's language with any statement text. Besides not crashing (and no
// undefined behaviour), every value a statement assigned stays in its range, and unlimited lives
// stay unlimited.
#include <cstdint>
#include <string>

#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"
#include "tests/flow/FakeCodeHost.h"

namespace {

bool InRange(i32 v, i32 lo, i32 hi) { return v >= lo && v <= hi; }

// Either untouched or inside the assignment range.
bool Kept(i32 v, i32 start, i32 lo, i32 hi) { return v == start || InRange(v, lo, hi); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        SetReportFile("/dev/null");
        SetMessageBoxSink([](const std::string&, const std::string&, u32 type) { return DefaultButton(type); });
        return true;
    }();
    (void)quiet;
    FakeHost host;
    host.sys[CODE_LIFE] = 999999;
    const FakeChara start;
    const i32 ok = ExecCodeText(std::string(reinterpret_cast<const char*>(data), size), host);
    if (ok != 0 && ok != 1) __builtin_trap();
    for (i32 v : host.common)
        if (!Kept(v, 0, -999999, 999999)) __builtin_trap();
    for (i32 v : host.stage)
        if (!Kept(v, 0, -999999, 999999)) __builtin_trap();
    for (const FakeChara* c : {&host.me, &host.target, &host.third, &host.player}) {
        if (!Kept(c->mhp, start.mhp, 1, 999999) || !InRange(c->hp, 0, 999999) || !InRange(c->z, 0, 7) ||
            !Kept(c->mark, start.mark, 0, 119) || !Kept(c->stop, start.stop, 0, 200))
            __builtin_trap();
        for (int i = 1; i <= 8; ++i)
            if (!Kept(c->v[i], 0, -999999, 999999)) __builtin_trap();
    }
    if (!InRange(host.sys[CODE_TIME], 0, 999) || !InRange(host.sys[CODE_SCRLX], -480, 480) ||
        !InRange(host.sys[CODE_SCRLY], -480, 480) || host.sys[CODE_LIFE] != 999999)
        __builtin_trap();
    return 0;
}
