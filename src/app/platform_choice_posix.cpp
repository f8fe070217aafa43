#include "platform_choice.h"

// A scheduled run usually has no display to connect to, and it never shows a
// window anyway: it draws off screen.
const char* const* DefaultPlatformArgs(bool AutoMode)
{
    static const char* const Offscreen[] = {"-platform", "offscreen", nullptr};
    return AutoMode ? Offscreen : nullptr;
}
