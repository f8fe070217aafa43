#include "ui_font_platform.h"

std::span<const char* const> PreferredUiFaces()
{
    static const char* const Faces[] = {"Microsoft YaHei UI", "Microsoft YaHei", "Segoe UI"};
    return Faces;
}
