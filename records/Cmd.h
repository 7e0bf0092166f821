#pragma once
// One entry of a menu defined by the game's data: whether it is offered and its caption.
#include <string>

#include "records/Record.h"

class cCmd : public cRecord {
public:
    void RegisterFields(u32 version) override;

    u32 enabled = 0;
    std::string text;

    static int CountEnabled(const cVector<cCmd>& list);
    // Index in list of the n-th enabled entry (counting from 0); 0 when there is none, so that
    // a menu acts on its first entry rather than outside its list.
    static int GetCmdNum(int n, const cVector<cCmd>& list);
};

// The widest text of the enabled entries in characters (a double-byte pair counts once); 0
// when none is enabled. Menus are sized by it.
int MenuTextWidth(const cVector<cCmd>& menu);
