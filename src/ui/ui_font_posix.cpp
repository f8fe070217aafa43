#include "ui_font_platform.h"

std::span<const char* const> PreferredUiFaces()
{
    // The Windows faces first; Linux desktops rarely have them, so the common
    // CJK faces follow before the last resort, which fontconfig substitutes.
    static const char* const Faces[] = {"Microsoft YaHei UI", "Microsoft YaHei", "Segoe UI",
                                        "Noto Sans CJK SC",   "Source Han Sans SC", "WenQuanYi Micro Hei"};
    return Faces;
}
