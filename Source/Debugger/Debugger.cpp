// Debugger link (placeholder: messages are dropped until the link lands).
#include "Debugger/Debugger.h"
#include "MVE.h"

extern "C" int MVE_SendDebuggerMessage(int, const void *) { return 0; }
extern "C" int MVE_DebugText(int, const char *) { return 0; }
extern "C" int MVE_ConnectDebugger(void) { return 0; }
