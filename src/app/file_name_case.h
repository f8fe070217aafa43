#pragma once

#include <Qt>

// Whether this system's file names heed letter case: they do here, not on
// Windows (file_name_case_posix.cpp, file_name_case_win.cpp).
Qt::CaseSensitivity FileNameCase();
