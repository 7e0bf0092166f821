#pragma once
// Display names of enumerations stored in the game's data. Index i is value i; each table ends
// with one empty string. The orders are part of the data format.
#include <array>
#include <string>

extern const std::array<std::string, 9> g_CharaVarLabel;
extern const std::array<std::string, 8> g_CalcOpLabel;    // CALCOP
extern const std::array<std::string, 9> g_CompareOpLabel; // COMPAREOP
extern const std::array<std::string, 3> g_TestSenseLabel;
extern const std::array<std::string, 11> g_ColorLabel;
extern const std::array<std::string, 3> g_ColorModeLabel;
extern const std::array<std::string, 4> g_DepthLabel;
extern const std::array<std::string, 3> g_DepthLabelNo8;

// The comparison operators of conditions, in the order of g_CompareOpLabel.
enum eCompareOp : unsigned { CMPOP_EQ, CMPOP_NE, CMPOP_GE, CMPOP_LE, CMPOP_GT, CMPOP_LT, CMPOP_MULTIPLE, CMPOP_NOT_MULTIPLE };
// value op operand; an unknown operator is never true.
bool TestCompareOp(unsigned op, int value, int operand);
