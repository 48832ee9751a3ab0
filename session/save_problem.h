#pragma once
// Why a file of the user's could not be saved, for the message that tells the user: the
// window words it in the user's language.
#include <cstdint>
#include <string>

// What stood in the way of a save.
enum class save_obstacle : uint8_t {
    none,  // nothing failed
    system,  // the system refused: os_error says why
    read_only_directory,  // the data directory is read-only
    refused_file_not_kept,  // the file could not be read at opening, and no copy of it could be kept
    holds_database,  // the other folder already holds a database
};

struct save_problem {
    std::string path;  // the file that could not be written; empty while nothing failed
    save_obstacle obstacle = save_obstacle::none;  // what stood in the way
    int os_error = 0;  // errno, for save_obstacle::system
};
