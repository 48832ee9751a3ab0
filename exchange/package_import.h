#pragma once
// Packages of the most widely shared deck format (.apkg, .colpkg): a zip holding a SQLite
// collection of notes, cards and decks, and the media the cards name.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "exchange/import_batch.h"
#include "exchange/package_archive.h"

// Where imported pictures and sounds go, inside the data directory.
constexpr char package_media_folder[] = "media/";

struct package_import_options {
    // true: reviewed cards become items with their interval, due day and repetitions, and new
    // cards go to the queue; false: every card goes to the queue.
    bool keep_scheduling = false;
    uint16_t default_category = 0;  // for notes whose deck is unknown
    archive_limits limits;  // the bounds a package must keep
    // Bytes the media files leave free on the data directory's disk; none: 64 MiB and twice the
    // files a save rewrites, so that the save after the import still finds room.
    std::optional<uint64_t> keep_free;
    std::function<void(size_t done, size_t total)> progress;  // may be empty
};

import_summary import_package(const std::string& path, const package_import_options& options);

// A deck of a package as an import would fill it.
struct package_deck {
    std::string name;  // its path, parts joined by "::"; empty for notes of no known deck
    uint32_t notes = 0;  // notes whose first card is in it
};

// What a package holds, for showing before it is imported.
struct package_contents {
    bool read = false;  // false: `error` says why
    exchange_problem error;  // why the package was not read
    std::vector<package_deck> decks;  // sorted by name
    uint32_t notes = 0;  // every note of the package
};

// Reads the package's decks and counts its notes; nothing is written outside the temporary
// folder, no media are unpacked.
package_contents read_package_contents(const std::string& path, const archive_limits& limits = {});
