#include "platform_choice.h"

// Qt's GDI font engine leaves the text of edit boxes and spin boxes blank
// under Wine (labels still draw), so the "保存位置", day count and date boxes
// looked empty. The FreeType engine, built into Qt, draws every control and
// matches what the program looks like elsewhere.
const char* const* DefaultPlatformArgs(bool)
{
    static const char* const FreeType[] = {"-platform", "windows:fontengine=freetype", nullptr};
    return FreeType;
}
