#pragma once
// The program's version, set here only: the build reads it for the package, and the changelog's
// and the metainfo's newest release must name it (the build stops when they do not).
#define CARDWRIGHT_VERSION "1.3.9"

// The number alone, as `cardwright --version` prints it.
inline constexpr char version_number[] = CARDWRIGHT_VERSION;
// The version text the program shows in its status text and its About dialog.
inline constexpr char version_text[] = "PPC_" CARDWRIGHT_VERSION;
