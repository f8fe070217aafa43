#pragma once

// The Qt platform switches ("-platform", its value) the program starts with
// when neither QT_QPA_PLATFORM nor a -platform argument chooses one; empty to
// leave Qt's own default.
const char* const* DefaultPlatformArgs(bool AutoMode);
