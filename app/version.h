#pragma once

// The program's version, shown in the window title and the About dialog and
// kept in a support archive.
inline constexpr char kProgramVersion[] = "v1.5";
