#pragma once
// Opening the data directory at start: the one set, made when missing, else the default one.
#include <string>

#include "session/lifecycle.h"

// How the opening at start went; the window tells the user in this order.
struct start_directory {
    std::string path;  // the directory opened, or tried last
    bool fell_back = false;  // the directory set could neither be reached nor made: `path` is the default
    bool opened = false;  // the database is open (perhaps read-only, perhaps held by another copy)
    bool gave_up = false;  // not opened even after the directory was made: "I give up"
    std::string set_path;  // the directory set, when the default replaced it
    init_status init_result = init_status::from_bin;  // how the last opening went, for what must follow a start

    // Opened, but nothing can be saved there.
    bool read_only() const { return holds_any(init_result, init_status::read_only); }
    // Opened, but its file system keeps no locks: a second copy is not kept out.
    bool no_locks() const { return holds_any(init_result, init_status::no_locks); }
    // Another copy of the program holds the database: do not go on.
    bool held_by_other() const { return holds_any(init_result, init_status::held_by_other); }
};

// Opens `set_path` (made with its parents when missing), falling back on `default_path`.
// `close` closes a failed opening before the next try, which would otherwise lock against it.
start_directory open_start_directory(const std::string& set_path, const std::string& default_path,
    deinit_result (*close)(close_mode mode), network_start network = network_start::later);
