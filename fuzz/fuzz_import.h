#pragma once
// Shared body of the import harnesses: an empty database in a fresh data directory, one file of
// the fuzzer's bytes beside it, imported, saved and opened again to find every counted item
// there, and its XML export read back.
#include <cstddef>
#include <cstdint>
#include <string>

// Whether a harness of fuzz/harnesses.txt with this file name imports rather than opens.
bool is_import_file(const std::string& file_name);
// "cards.csv": a text import; "deck.apkg": a whole package; "collection.anki21": the bytes are
// the SQLite collection of a package made around them; "media": a package's media list.
int fuzz_import_file(const char* file_name, const uint8_t* data, size_t size);
