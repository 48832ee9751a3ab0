#pragma once
// A lifetime collection: the data directory of a user after years of daily use, for measuring
// start-up, statistics and the browser at the size the program must stay quick at.
#include <cstdint>
#include <string>

struct lifetime_counts {
    uint32_t items = 1'000'000;  // in elements.bin, 20-80 bytes of UTF-8 a side
    uint32_t queued = 200'000;  // in queue.txt
    uint32_t log_records = 10'000'000;  // in reviews.log, a few of them undos
    uint32_t cases = 200'000;  // in user_cases.bin
};
// The full collection divided by `divisor` (at least one of each).
lifetime_counts lifetime_scaled(uint32_t divisor);

// Categories of the collection: 19 subjects of 18 chapters each.
constexpr uint32_t lifetime_categories = 361;
// Days the collection has been in use; grades spread over all of them.
constexpr uint16_t lifetime_days = 3000;

// Fills the existing directory `path` (ending in '/') with elements.bin, queue.txt, weights.bin,
// user_cases.bin and reviews.log, as the program writes them; the same counts and seed give the
// same collection. False when the program could not save it (error.log there says why).
bool make_lifetime_directory(const std::string& path, const lifetime_counts& counts, uint32_t seed = 1);

// The package an import into the lifetime collection is measured with: a tenth as many notes as
// the collection's items, of its text lengths, in three decks; one note in fifty repeats an
// earlier one, so that an import adds `notes - repeats` and skips `repeats` as duplicates.
struct lifetime_package {
    std::string path;  // the package, in the directory it was made in (beside its collection.db)
    uint32_t notes = 0;  // in the package
    uint32_t repeats = 0;  // of them copies of an earlier note
};
// Writes the package for the collection divided by `divisor` into the existing directory `dir`
// (ending in '/'); the same divisor gives the same package.
lifetime_package make_lifetime_package(const std::string& dir, uint32_t divisor);
