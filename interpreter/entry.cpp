// The process entry. The Windows program has no C runtime, so the linker is
// pointed straight here: nothing runs before RunCommandLine and nothing
// after ExitProcess.
#include "interpreter/interpreter.h"
#include "platform/platform.h"

extern "C" [[noreturn]] void ColortextEntry() {
    platform::ExitProcess(static_cast<unsigned>(RunCommandLine()));
}
