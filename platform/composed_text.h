#pragma once
// Texts in Unicode's composed form (NFC). Some systems export "ä" as "a" and a combining
// diaeresis, and Korean syllables as their letters; without composing, such an item would not be
// found as the duplicate of one typed here, and would show twice.
#include <string>

// Composes `text` in place when it holds a character composing changes (a combining mark, a
// Hangul letter, a character such as the Angstrom sign that stands for another); a text that is
// not UTF-8 stays as it is, for the check that names it.
void compose_canonically(std::string& text);
// The same for a text typed or pasted, already checked against its length limit: it stays as it
// is where composing would lengthen it (a few rare characters decompose).
std::string composed_as_typed(std::string text);
