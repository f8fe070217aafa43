#pragma once

// The system's half of the font choice (ui_font_posix.cpp, ui_font_win.cpp).

#include <span>

// The interface faces to look for, best first.
std::span<const char* const> PreferredUiFaces();
