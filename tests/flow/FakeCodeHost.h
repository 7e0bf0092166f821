#pragma once
// A code-language host over plain values: four characters (the runner, slot 1, slot 3 and the
// player; slots 2 and 4 are empty), the common and stage variables and the play-wide values.
// What the statements set off is written to `events`. Shared by the language's tests and its
// fuzz target.
#include <map>
#include <string>
#include <vector>

#include "flow/CodeLang.h"

struct FakeChara {
    i32 v[9] = {};
    i32 hp = 100, sp = 0, mhp = 300, msp = 50;
    i8 cid = 3, z = 1;
    i16 mark = 2;
    i8 sight = 10;
    i32 power = 7;
    i8 imp = 1;
    i32 def = 4;
    i8 impd = 2;
    i16 stop = 5;
    i32 getsc = 100;
};

class FakeHost : public cCodeHost {
public:
    FakeChara me, target, third, player;
    bool hasPlayer = true;
    std::vector<i32> common = std::vector<i32>(1001), stage = std::vector<i32>(1000);
    i32 sys[CODE_SYS_COUNT] = {120, 5, 0, 1000, 3};
    bool unlimitedReadZero = false;
    std::vector<std::string> events;
    cCrtRandom random;
    i32 error = 0;

    CodeObj Object(int o) override {
        switch (o) {
        case CODE_MY: return &me;
        case CODE_TG: case CODE_TG1: return &target;
        case CODE_TG3: return &third;
        case CODE_PL: return hasPlayer ? &player : nullptr;
        default: return nullptr; // tg2 and tg4 are empty slots
        }
    }
    struct FIELD {
        void* p;
        int bytes;
        i32 Read() const { return bytes == 4 ? *static_cast<i32*>(p) : bytes == 2 ? *static_cast<i16*>(p) : *static_cast<i8*>(p); }
    };
    bool ReadStatus(CodeObj obj, int s, i32& v) override {
        v = Field(obj, s).Read();
        return true;
    }
    void WriteStatus(CodeObj obj, int s, i32 v) override {
        const FIELD f = Field(obj, s);
        if (f.bytes == 4) *static_cast<i32*>(f.p) = v;
        else if (f.bytes == 2) *static_cast<i16*>(f.p) = static_cast<i16>(v);
        else *static_cast<i8*>(f.p) = static_cast<i8>(v);
    }
    static FIELD Field(CodeObj obj, int s) {
        FakeChara& c = *static_cast<FakeChara*>(obj);
        if (s < CODE_HP) return {&c.v[s + 1], 4};
        switch (s) {
        case CODE_HP: return {&c.hp, 4};
        case CODE_SP: return {&c.sp, 4};
        case CODE_MHP: return {&c.mhp, 4};
        case CODE_MSP: return {&c.msp, 4};
        case CODE_CID: return {&c.cid, 1};
        case CODE_Z: return {&c.z, 1};
        case CODE_MARK: return {&c.mark, 2};
        case CODE_SIGHT: return {&c.sight, 1};
        case CODE_POWER: return {&c.power, 4};
        case CODE_IMP: return {&c.imp, 1};
        case CODE_DEF: return {&c.def, 4};
        case CODE_IMPD: return {&c.impd, 1};
        case CODE_STOP: return {&c.stop, 2};
        default: return {&c.getsc, 4};
        }
    }
    std::span<i32> CommonVars() override { return common; }
    std::span<i32> StageVars() override { return stage; }
    i32 SysValue(int s) override { return sys[s]; }
    void SetSysValue(int s, i32 v) override {
        sys[s] = v;
        events.push_back("sys" + std::to_string(s) + "=" + std::to_string(v));
    }
    bool UnlimitedLivesReadZero() override { return unlimitedReadZero; }
    void RequestDeathCheck() override { events.push_back("death check"); }
    void SightChanged(CodeObj obj, i32 v) override {
        events.push_back(std::string(obj == &player ? "player" : "chara") + " sight " + std::to_string(v));
    }
    void StartHpGauge(i32 d) override { events.push_back("hp gauge " + std::to_string(d)); }
    void StartSpGauge(i32 d) override { events.push_back("sp gauge " + std::to_string(d)); }
    cCrtRandom& Random() override { return random; }
    i32& CodeError() override { return error; }

    // Every value the language can reach, by name.
    std::map<std::string, i32> Values() const {
        std::map<std::string, i32> m;
        const std::pair<const char*, const FakeChara*> charas[] = {{"my", &me}, {"tg", &target}, {"tg3", &third}, {"pl", &player}};
        static const char* const kStatus[] = {"hp", "sp", "mhp", "msp", "cid", "z", "mark", "sight", "power", "imp", "def", "impd", "stop", "getsc"};
        for (auto [name, c] : charas)
            for (int st = 0; st < CODE_STATUS_COUNT; ++st) {
                std::string key = std::string(name).append(".");
                key.append(st < CODE_HP ? std::string("v").append(std::to_string(st + 1)) : kStatus[st - CODE_HP]);
                m[key] = Field(const_cast<FakeChara*>(c), st).Read();
            }
        auto key = [](std::string k, std::size_t i) { return k.append(std::to_string(i)); };
        for (std::size_t i = 0; i < common.size(); ++i) m[key("C", i)] = common[i];
        for (std::size_t i = 0; i < stage.size(); ++i) m[key("S", i)] = stage[i];
        for (int i = 0; i < CODE_SYS_COUNT; ++i) m[key("sys", static_cast<std::size_t>(i))] = sys[i];
        return m;
    }
};
