#pragma once
// The command kinds that the demo game's flows use (CMD_ of the character set, ITEM_ of the
// item set), one list for every file that builds them.
#include "platform/system/Types.h"

enum : u8 {
    CMD_WAIT = 1, CMD_LINE = 2, CMD_GROUND_TURN = 3, CMD_JUMP = 10, CMD_SHOT = 11, CMD_SWORD = 12, CMD_MESSAGE = 19,
    CMD_STATUS_OP = 22, CMD_SCREEN_EFFECT = 31, CMD_PICTURE = 32, CMD_CODE = 37,
    ITEM_STATUS_OP = 7,
};
