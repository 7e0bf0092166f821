#include "flow/CodeLang.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "flow/TextLimit.h"
#include "platform/system/Containers.h"
#include "platform/system/Format.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"

namespace {

// The vocabulary; each list ends with an empty entry.
const char* const kCodeFuncNames[] = {"rand", ""}; // g_CodeFuncNames
const char* const kCodeOperators[] = {"=", "+", "-", "*", "/", "%", ""}; // g_CodeOperators
const int kCodeOpLevel[] = {2, 1, 1, 0, 0, 0}; // g_CodeOpLevel
const char* const kCodeObjects[] = {"my", "tg", "tg1", "tg2", "tg3", "tg4", "pl", "sys", ""}; // g_CodeObjects
const char* const kCodeStatusNames[] = {"v1",  "v2",  "v3",    "v4",    "v5",   "v6",  "v7",  "v8",
                                        "hp",  "sp",  "mhp",   "msp",   "cid",  "z",   "mark", "sight",
                                        "power", "imp", "def", "impd", "stop", "getsc", ""}; // g_CodeStatusNames
const char* const kCodeSysNames[] = {"time", "scrlx", "scrly", "score", "life", ""}; // g_CodeSysNames

enum { OP_ASSIGN, OP_ADD, OP_SUB, OP_MUL, OP_DIV, OP_MOD };

struct RANGE {
    i32 min, max;
};
constexpr i32 kValueMax = 999999;
constexpr RANGE kValueRange = {-kValueMax, kValueMax};
// Assignment ranges; hp and sp take their maximum from mhp and msp when read.
const RANGE kStatusRange[CODE_STATUS_COUNT] = {
    kValueRange, kValueRange, kValueRange, kValueRange, kValueRange, kValueRange, kValueRange, kValueRange,
    {0, 0},        {0, 0},        {1, kValueMax}, {1, kValueMax}, {0, 99},     {0, 7},  {0, 119}, {0, 40},
    kValueRange,   {-20, 20},     {0, kValueMax}, {0, 20},        {0, 200},    kValueRange,
};
const RANGE kSysRange[CODE_SYS_COUNT] = {{0, 999}, {-480, 480}, {-480, 480}, {0, kValueMax}, {0, 99}};
constexpr i32 kUnlimitedLives = 999999;

static_assert(std::size(kCodeStatusNames) == CODE_STATUS_COUNT + 1);
static_assert(std::size(kCodeSysNames) == CODE_SYS_COUNT + 1);
static_assert(std::size(kCodeObjects) == CODE_OBJECT_COUNT + 1);
static_assert(std::size(kCodeOpLevel) + 1 == std::size(kCodeOperators));

enum eTokenKind { TOKEN_NUMBER, TOKEN_VARIABLE, TOKEN_STATUS, TOKEN_SYSTEM, TOKEN_OPERATOR };

// One classified word of a statement.
struct CODETOKEN {
    int kind = TOKEN_NUMBER;
    i32 value = 0;
    i32* storage = nullptr; // a variable
    int op = 0;
    i32 min = -kValueMax;
    i32 max = kValueMax;
    int status = -1;
    int sys = -1;
    CodeObj object = nullptr;
};

int Lookup(const char* const* table, const std::string& word) {
    for (int i = 0; table[i][0]; ++i)
        if (word == table[i]) return i;
    return -1;
}

i32 Clamp(i32 v, i32 lo, i32 hi) {
    if (v > hi) v = hi;
    if (v < lo) v = lo;
    return v;
}

// atoi, but a number too large for 32 bits is held at the nearest bound instead of being
// undefined.
i32 ToInt(const char* s) {
    errno = 0;
    const long long v = std::strtoll(s, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<i32>(v);
}

i32 Fail(cCodeHost& host) {
    host.CodeError() = 1;
    return 0;
}

i32 FailBox(cCodeHost& host, const std::string& text) {
    ErrorBox("%s", text.c_str());
    return Fail(host);
}

i32 Wrap(i64 v) { return static_cast<i32>(static_cast<u32>(static_cast<u64>(v))); }

// Classifies one completed word for the given object; false when the statement fails.
bool Classify(const std::string& word, int object, cCodeHost& host, CODETOKEN& t) {
    const int op = Lookup(kCodeOperators, word);
    if (op >= 0) {
        t.kind = TOKEN_OPERATOR;
        t.op = op;
        return true;
    }
    CodeObj obj = nullptr;
    if (object != CODE_SYS) {
        obj = host.Object(object);
        if (!obj) {
            // An empty target slot fails quietly; a missing player is a damaged play state.
            if (object == CODE_PL) WriteReport("コードの実行: 主人公がいないため pl を使えません。");
            Fail(host);
            return false;
        }
    }
    if (word[0] == 'C' || word[0] == 'S') {
        const std::span<i32> vars = word[0] == 'C' ? host.CommonVars() : host.StageVars();
        const i32 n = ToInt(word.c_str() + 1);
        std::size_t at = static_cast<std::size_t>(n);
        if (n < 0 || at >= vars.size()) {
            // A variable past its vector is a bad index as anywhere else: reported, the program
            // closed in order, element 0 used meanwhile.
            ReportBadIndex('V', n, vars.size(), sizeof(i32));
            if (vars.empty()) {
                Fail(host);
                return false;
            }
            at = 0;
        }
        t.kind = TOKEN_VARIABLE;
        t.storage = &vars[at];
        t.value = vars[at];
        return true;
    }
    const int status = Lookup(kCodeStatusNames, word);
    if (status >= 0) {
        if (!obj || !host.ReadStatus(obj, status, t.value)) {
            FailBox(host, "ステータスの識別エラー（未定義？）");
            return false;
        }
        t.kind = TOKEN_STATUS;
        t.status = status;
        t.object = obj;
        t.min = kStatusRange[status].min;
        t.max = kStatusRange[status].max;
        if (status == CODE_HP || status == CODE_SP) {
            t.max = 0;
            host.ReadStatus(obj, status == CODE_HP ? CODE_MHP : CODE_MSP, t.max);
        }
        return true;
    }
    const int sys = Lookup(kCodeSysNames, word);
    if (sys >= 0) {
        t.kind = TOKEN_SYSTEM;
        t.sys = sys;
        t.value = host.SysValue(sys);
        t.min = kSysRange[sys].min;
        t.max = kSysRange[sys].max;
        if (sys == CODE_LIFE && t.value == kUnlimitedLives) {
            // Unlimited lives stay unlimited whatever is assigned.
            t.value = host.UnlimitedLivesReadZero() ? 0 : 100;
            t.min = t.max = kUnlimitedLives;
        }
        return true;
    }
    t.kind = TOKEN_NUMBER;
    t.value = ToInt(word.c_str());
    return true;
}

// Stores v into the token's storage and applies what the assignment sets off.
void Assign(const CODETOKEN& t, i32 v, cCodeHost& host) {
    if (t.kind == TOKEN_SYSTEM) {
        host.SetSysValue(t.sys, v);
        return;
    }
    if (t.kind == TOKEN_VARIABLE) {
        *t.storage = v;
        return;
    }
    host.WriteStatus(t.object, t.status, v);
    switch (t.status) {
    case CODE_HP:
        if (v <= 0 && t.object != host.Object(CODE_MY)) host.RequestDeathCheck();
        break;
    case CODE_MHP:
    case CODE_MSP: {
        const int held = t.status == CODE_MHP ? CODE_HP : CODE_SP;
        i32 now = 0;
        if (host.ReadStatus(t.object, held, now)) host.WriteStatus(t.object, held, Clamp(now, 1, v));
        break;
    }
    case CODE_SIGHT:
        host.SightChanged(t.object, v);
        break;
    default:
        break;
    }
}

// Applies the operator at toks[k] to its neighbours; false when the statement fails.
bool Apply(std::vector<CODETOKEN>& toks, std::size_t k, const std::string& text, cCodeHost& host, i32& result) {
    const int op = toks[k].op;
    // An operator without a neighbour reads past the words: a bad index, reported (the program
    // closes in order) with the first word in the missing neighbour's place meanwhile.
    const bool hasLeft = k > 0, hasRight = k + 1 < toks.size();
    if (!hasLeft) ReportBadIndex('V', static_cast<long long>(k) - 1, toks.size(), sizeof(CODETOKEN));
    if (!hasRight) ReportBadIndex('V', static_cast<long long>(k) + 1, toks.size(), sizeof(CODETOKEN));
    const CODETOKEN l = toks[hasLeft ? k - 1 : 0];
    const i32 a = l.value, b = toks[hasRight ? k + 1 : 0].value;
    switch (op) {
    case OP_ASSIGN:
        if (l.kind != TOKEN_VARIABLE && l.kind != TOKEN_STATUS && l.kind != TOKEN_SYSTEM) {
            FailBox(host, "代入先が不正です！");
            return false;
        }
        result = Clamp(b, l.min, l.max);
        Assign(l, result, host);
        break;
    case OP_ADD: result = Wrap(static_cast<i64>(a) + b); break;
    case OP_SUB: result = Wrap(static_cast<i64>(a) - b); break;
    case OP_MUL: result = Wrap(static_cast<i64>(a) * b); break;
    case OP_DIV:
    case OP_MOD:
        if (b == 0) {
            FailBox(host, Format("0除算が行われました！(%s)", ToDisplayText(text).c_str()));
            return false;
        }
        // INT_MIN / -1 does not fit: it wraps to INT_MIN, and its remainder is 0.
        if (b == -1) result = op == OP_DIV ? Wrap(-static_cast<i64>(a)) : 0;
        else result = op == OP_DIV ? a / b : a % b;
        break;
    default:
        break;
    }
    CODETOKEN n;
    n.value = result;
    // The result takes the place of the operator and of the neighbours it has.
    const std::size_t from = hasLeft ? k - 1 : k, to = hasRight ? k + 2 : k + 1;
    toks[from] = n;
    toks.erase(toks.begin() + static_cast<std::ptrdiff_t>(from) + 1, toks.begin() + static_cast<std::ptrdiff_t>(to));
    return true;
}

std::string Replace(const std::string& t, std::size_t from, std::size_t to, i32 value) {
    return StrMid(t, 0, static_cast<long long>(from)) + std::to_string(value) + StrMid(t, static_cast<long long>(to), -1);
}

} // namespace

i32 CodeEvalAssign(const std::string& text, cCodeHost& host) {
    std::vector<CODETOKEN> toks;
    int object = CODE_MY;
    int wordsSinceDot = 0; // words completed since the start or the last "."
    std::string word;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : ' ';
        if (c == '.') {
            const int o = Lookup(kCodeObjects, word);
            if (o >= 0) {
                object = o;
            } else if (wordsSinceDot == 0) {
                return FailBox(host, Format("オブジェクト \"%s.\" が認識できません！", ToDisplayText(word).c_str()));
            }
            word.clear();
            wordsSinceDot = 0;
            continue;
        }
        if (c != ' ') {
            word += c;
            continue;
        }
        if (word.empty()) continue;
        CODETOKEN t;
        if (!Classify(word, object, host, t)) return 0;
        toks.push_back(t);
        word.clear();
        ++wordsSinceDot;
        object = CODE_MY;
    }

    // With no operator the statement's value is its last word's.
    i32 result = toks.empty() ? 0 : toks.back().value;
    for (int level = 0; level <= 2; ++level) {
        for (;;) {
            std::size_t k = 0;
            while (k < toks.size() && !(toks[k].kind == TOKEN_OPERATOR && kCodeOpLevel[toks[k].op] == level)) ++k;
            if (k == toks.size()) break;
            if (!Apply(toks, k, text, host, result)) return 0;
        }
    }
    return result;
}

i32 CodeSubstFuncs(const std::string& text, cCodeHost& host) {
    std::string t = text;
    std::size_t w = 0; // start of the current word
    for (std::size_t i = 0; i < t.size();) {
        if (t[i] == ' ') {
            w = ++i;
            continue;
        }
        if (t[i] != '(') {
            ++i;
            continue;
        }
        std::size_t close = std::string::npos;
        for (std::size_t j = i + 1, depth = 0; j < t.size(); ++j) {
            if (t[j] == '(') {
                ++depth;
            } else if (t[j] == ')') {
                if (depth == 0) {
                    close = j;
                    break;
                }
                --depth;
            }
        }
        if (close == std::string::npos) return FailBox(host, "\")\"が見つかりません！");

        if (i == w) {
            // A group: its value takes its place.
            const i32 v = CodeSubstFuncs(StrMid(t, static_cast<long long>(i) + 1, static_cast<long long>(close - i) - 1), host);
            t = Replace(t, w, close + 1, v);
            i = w;
            continue;
        }
        const std::string name = StrMid(t, static_cast<long long>(w), static_cast<long long>(i - w));
        if (Lookup(kCodeFuncNames, name) < 0) {
            ++i;
            continue;
        }
        std::vector<i32> args;
        std::string arg;
        std::size_t j = i + 1;
        int depth = 0;
        for (; j < t.size(); ++j) {
            const char c = t[j];
            if (depth == 0 && (c == ',' || c == ')')) {
                if (!arg.empty()) args.push_back(CodeSubstFuncs(arg, host));
                arg.clear();
                if (c == ')') break;
                continue;
            }
            if (c == '(') ++depth;
            else if (c == ')') --depth;
            arg += c;
        }
        if (j >= t.size())
            return FailBox(host, Format("関数 %s で\")\"が見つかりません！", ToDisplayText(name).c_str()));
        if (args.size() != 2) return FailBox(host, Format("関数 %s の引数が不正です！", ToDisplayText(name).c_str()));
        t = Replace(t, w, j + 1, RandRange(host.Random(), args[0], args[1]));
        i = w;
    }
    return CodeEvalAssign(t, host);
}

i32 ExecCodeText(const std::string& text, cCodeHost& host) {
    host.CodeError() = 0;
    CodeObj me = host.Object(CODE_MY);
    i32 hp0 = 0, sp0 = 0;
    const bool hasHp = host.ReadStatus(me, CODE_HP, hp0), hasSp = host.ReadStatus(me, CODE_SP, sp0);
    CodeSubstFuncs(StrCopyVia(text), host);
    if (host.CodeError()) return 0;
    i32 hp = hp0, sp = sp0;
    if (hasHp && host.ReadStatus(me, CODE_HP, hp) && hp != hp0) host.StartHpGauge(Wrap(static_cast<i64>(hp) - hp0));
    if (hasSp && host.ReadStatus(me, CODE_SP, sp) && sp != sp0) host.StartSpGauge(Wrap(static_cast<i64>(sp) - sp0));
    return 1;
}
