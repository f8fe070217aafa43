#pragma once

// Fixed texts of this build, shown in the about dialog. UTF-8; QString takes
// them as they are.
inline constexpr char kAppVersion[] = "1.1.4.2";
inline constexpr char kAppBuildDate[] = "2026-11-19";
inline constexpr char kCompanyName[] = "Marrowkin 项目组";
inline constexpr char kCompanyUrl[] = "https://marrowkin.example/";
inline constexpr char kRightsNotice[] = "© 2026 Marrowkin 项目组 保留所有权利";

// The file names of the collector and of this program as they stand in the
// folder; every text that names either file uses these, so it names the file
// the user actually has. The build gives the system's suffix for programs
// (".exe" on Windows, none elsewhere).
inline constexpr char kCollectorFile[] = "Marrowkin" MK_EXE_SUFFIX;
inline constexpr char kGuiFile[] = "MarrowkinWin" MK_EXE_SUFFIX;
