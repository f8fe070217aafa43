#pragma once

#include <QtGlobal>

// Fixed texts of this build, shown in the about dialog. UTF-8; QString takes
// them as they are.
inline constexpr char kAppVersion[] = "1.1.4.2";
inline constexpr char kAppBuildDate[] = "2026-11-19";
inline constexpr char kCompanyName[] = "Marrowkin 项目组";
inline constexpr char kCompanyUrl[] = "https://marrowkin.example/";
inline constexpr char kRightsNotice[] = "© 2026 Marrowkin 项目组 保留所有权利";

// The file names of the collector and of this program as they stand in the
// folder; every text that names either file uses these, so it names the file
// the user actually has.
#ifdef Q_OS_WIN
inline constexpr char kCollectorFile[] = "Marrowkin.exe";
inline constexpr char kGuiFile[] = "MarrowkinWin.exe";
#else
inline constexpr char kCollectorFile[] = "Marrowkin";
inline constexpr char kGuiFile[] = "MarrowkinWin";
#endif
