#include "platform/platform_state.h"

platform_state& platform_globals()
{
    static platform_state state;
    return state;
}

void platform_reset() { platform_globals() = platform_state{}; }
