#include "ui_hooks.h"

TUiHooks& UiHooks()
{
    static TUiHooks Hooks;
    return Hooks;
}
