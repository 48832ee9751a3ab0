#pragma once
// The version text the program shows in its status text and its About dialog.

inline constexpr char version_text[] = "PPC_1.3.9";
