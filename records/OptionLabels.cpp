#include "records/OptionLabels.h"

#include <array>

const char* const g_OptOnOff[3] = {"OFF", "ON", ""};
const char* const g_OptOnOff2[3] = {"OFF", "ON", ""};
const char* const g_OptPaletteSource[3] = {"ステージパレット", "コモンパレット", ""};
const char* const g_OptInherit3[4] = {"継承しない", "コモンパレット", "ステージパレット", ""};
const char* const g_OptInheritCommon[3] = {"継承しない", "コモンパレット", ""};
const char* const g_OptInheritStage[3] = {"継承しない", "ステージパレット", ""};
const char* const g_OptNoInherit[2] = {"継承しない", ""};
const char* const g_OptGraphicSource[6] = {"ブロック", "キャラ", "アイテム", "ショット", "専用bmp", ""};
const char* const g_OptGraphicSource2[6] = {"ブロック", "キャラ", "アイテム", "ショット", "専用bmp", ""};
const char* const g_OptShow[4] = {"表示しない", "表示する", "エディターでのみ表示", ""};
const char* const g_OptHit[4] = {"当たらない", "当たる", "主人公が当たると即死", ""};
const char* const g_OptMark[10] = {"なし", "0", "1", "2", "3", "4", "5", "6", "7", ""};
const char* const g_OptBlockEffect[7] = {"なし",         "ジャンプ X=高さ(hbl)", "ジャンプ禁止",     "移動速度変更 X=％",
                                         "左移動 X=移動速度", "右移動 X=移動速度", ""};
const char* const g_OptPalette3[4] = {"なし", "コモンパレット", "ステージパレット", ""};
const char* const g_OptPalette2[3] = {"なし", "コモンパレット", ""};

namespace {

constexpr std::array<const char* const*, 15> kLists = {
    g_OptOnOff,  g_OptOnOff2, g_OptPaletteSource, g_OptInherit3,   g_OptInheritCommon,
    g_OptInheritStage, g_OptNoInherit, g_OptGraphicSource, g_OptGraphicSource2, g_OptShow,
    g_OptHit,    g_OptMark,   g_OptBlockEffect,   g_OptPalette3,   g_OptPalette2,
};

} // namespace

std::span<const char* const* const> OptionLabelLists() { return kLists; }

int OptionLabelCount(const char* const* list) {
    int n = 0;
    while (list && list[n] && list[n][0] != '\0') ++n;
    return n;
}
