#include "flow/MessageWnd.h"

#include "flow/FlowEngine.h"

void FlowObjDeleter::operator()(cMessageWnd* p) const noexcept { delete p; }

i32 LayoutMessageText(cGameScene&, cMessageWnd&, i32, i32, i32, i32) { return 0; }
