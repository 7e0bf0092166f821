#pragma once
// The option labels of the property fields of the stage and database records: for each field
// kind, its values' labels in value order, each list ending with an empty string. They are the
// vocabulary of those fields; the play reads only the on/off list (the values of the on/off
// statuses of status operation 2).
#include <span>

extern const char* const g_OptOnOff[3];
extern const char* const g_OptOnOff2[3];
extern const char* const g_OptPaletteSource[3];
extern const char* const g_OptInherit3[4];
extern const char* const g_OptInheritCommon[3];
extern const char* const g_OptInheritStage[3];
extern const char* const g_OptNoInherit[2];
extern const char* const g_OptGraphicSource[6];
extern const char* const g_OptGraphicSource2[6];
extern const char* const g_OptShow[4];
extern const char* const g_OptHit[4];
extern const char* const g_OptMark[10];
extern const char* const g_OptBlockEffect[7];
extern const char* const g_OptPalette3[4];
extern const char* const g_OptPalette2[3];

// The fifteen lists in the order above.
std::span<const char* const* const> OptionLabelLists();
// The labels of a list before its closing empty string.
int OptionLabelCount(const char* const* list);
