// Fuzzes the code command's language with any statement text. Besides not crashing (and no
// undefined behaviour), every value a statement assigned stays in its range.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "flow/CodeLang.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"

namespace {

struct Chara {
    i32 v[9] = {0, 1, -1, 999999, -999999, 7, 0, 0, 1};
    i32 hp = 50, sp = 5, mhp = 100, msp = 10;
    i8 small[6] = {1, 2, 3, 4, 5, 6};
    i16 mark = 3, stop = 4;
    i32 power = 1, def = 2, getsc = 3;
};

class Host : public cCodeHost {
public:
    Chara chara[3];
    std::vector<i32> common = std::vector<i32>(1001, 5), stage = std::vector<i32>(1000, -5);
    i32 sys[CODE_SYS_COUNT] = {100, 0, 0, 500, 999999};
    cCrtRandom random{7};
    i32 error = 0;

    CodeObj Object(int o) override {
        if (o == CODE_MY) return &chara[0];
        if (o == CODE_TG || o == CODE_TG1) return &chara[1];
        if (o == CODE_PL) return &chara[2];
        return nullptr;
    }
    struct FIELD {
        void* p;
        int bytes;
    };
    bool ReadStatus(CodeObj obj, int s, i32& v) override {
        const FIELD f = Field(obj, s);
        if (f.bytes == 4) v = *static_cast<i32*>(f.p);
        else if (f.bytes == 2) v = *static_cast<i16*>(f.p);
        else v = *static_cast<i8*>(f.p);
        return true;
    }
    void WriteStatus(CodeObj obj, int s, i32 v) override {
        const FIELD f = Field(obj, s);
        if (f.bytes == 4) *static_cast<i32*>(f.p) = v;
        else if (f.bytes == 2) *static_cast<i16*>(f.p) = static_cast<i16>(v);
        else *static_cast<i8*>(f.p) = static_cast<i8>(v);
    }
    static FIELD Field(CodeObj obj, int s) {
        Chara& c = *static_cast<Chara*>(obj);
        if (s < CODE_HP) return {&c.v[s + 1], 4};
        switch (s) {
        case CODE_HP: return {&c.hp, 4};
        case CODE_SP: return {&c.sp, 4};
        case CODE_MHP: return {&c.mhp, 4};
        case CODE_MSP: return {&c.msp, 4};
        case CODE_CID: return {&c.small[0], 1};
        case CODE_Z: return {&c.small[1], 1};
        case CODE_SIGHT: return {&c.small[2], 1};
        case CODE_IMP: return {&c.small[3], 1};
        case CODE_IMPD: return {&c.small[4], 1};
        case CODE_MARK: return {&c.mark, 2};
        case CODE_STOP: return {&c.stop, 2};
        case CODE_POWER: return {&c.power, 4};
        case CODE_DEF: return {&c.def, 4};
        default: return {&c.getsc, 4};
        }
    }
    std::span<i32> CommonVars() override { return common; }
    std::span<i32> StageVars() override { return stage; }
    i32 SysValue(int s) override { return sys[s]; }
    void SetSysValue(int s, i32 v) override { sys[s] = v; }
    bool UnlimitedLivesReadZero() override { return false; }
    void RequestDeathCheck() override {}
    void SightChanged(CodeObj, i32) override {}
    void StartHpGauge(i32) override {}
    void StartSpGauge(i32) override {}
    cCrtRandom& Random() override { return random; }
    i32& CodeError() override { return error; }
};

bool InRange(i32 v, i32 lo, i32 hi) { return v >= lo && v <= hi; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        SetReportFile("/dev/null");
        SetMessageBoxSink([](const std::string&, const std::string&, u32 type) { return DefaultButton(type); });
        return true;
    }();
    (void)quiet;
    Host host;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const i32 ok = ExecCodeText(text, host);
    if (ok != 0 && ok != 1) __builtin_trap();
    for (std::size_t i = 0; i < host.common.size(); ++i)
        if (host.common[i] != 5 && !InRange(host.common[i], -999999, 999999)) __builtin_trap();
    for (std::size_t i = 0; i < host.stage.size(); ++i)
        if (host.stage[i] != -5 && !InRange(host.stage[i], -999999, 999999)) __builtin_trap();
    for (const Chara& c : host.chara) {
        if (!InRange(c.mhp, 1, 999999) && c.mhp != 100) __builtin_trap();
        if (!InRange(c.hp, 0, 999999) && c.hp != 50) __builtin_trap();
        if (!InRange(c.small[1], 0, 7)) __builtin_trap();
    }
    if (!InRange(host.sys[CODE_TIME], 0, 999) || !InRange(host.sys[CODE_SCRLX], -480, 480) ||
        host.sys[CODE_LIFE] != 999999)
        __builtin_trap();
    return 0;
}
