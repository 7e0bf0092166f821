#include "database/Labels.h"

#include <cstdlib>

const std::array<std::string, 9> g_CharaVarLabel = {
    "1 キャラ変数-1", "2 キャラ変数-2", "3 キャラ変数-3", "4 キャラ変数-4",
    "5 キャラ変数-5", "6 キャラ変数-6", "7 キャラ変数-7", "8 キャラ変数-8", ""};
const std::array<std::string, 8> g_CalcOpLabel = {"＝", "＋", "－", "×", "÷", "÷ X の余り", "X ％", ""};
const std::array<std::string, 9> g_CompareOpLabel = {"である", "でない", "以上", "以下", "より上",
                                                     "より下", "の倍数である", "の倍数でない", ""};
const std::array<std::string, 3> g_TestSenseLabel = {"なら", "でないなら", ""};
const std::array<std::string, 11> g_ColorLabel = {"なし", "白", "黒", "赤", "緑", "青",
                                                  "黄", "赤紫", "青紫", "4色", ""};
const std::array<std::string, 3> g_ColorModeLabel = {"256色(8bit) カラーパレットあり",
                                                     "1677万色(24bit) カラーパレットなし", ""};
const std::array<std::string, 4> g_DepthLabel = {"32bit(1677万色)", "16bit(32768色)", "8bit(256色)", ""};
const std::array<std::string, 3> g_DepthLabelNo8 = {"32bit(1677万色)", "16bit(32768色)", ""};

bool TestCompareOp(unsigned op, int value, int operand) {
    switch (op) {
    case CMPOP_EQ: return value == operand;
    case CMPOP_NE: return value != operand;
    case CMPOP_GE: return value >= operand;
    case CMPOP_LE: return value <= operand;
    case CMPOP_GT: return value > operand;
    case CMPOP_LT: return value < operand;
    case CMPOP_MULTIPLE:
    case CMPOP_NOT_MULTIPLE: {
        // In 64 bits: INT_MIN % -1 would trap in 32.
        const bool multiple = operand == 0 || std::llabs(static_cast<long long>(value)) % operand == 0;
        return op == CMPOP_MULTIPLE ? multiple : !multiple;
    }
    default: return false;
    }
}
