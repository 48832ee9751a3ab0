#pragma once
// The data directory and the paths of its files.

enum class [[nodiscard]] data_dir_status : int {
    set = 0,
    too_long = 1,  // the path is too long to be a data directory
};
data_dir_status set_data_dir(const char* path);
// The data directory followed by `name`, in one of three rotating buffers. An empty text
// when the result would not fit, so that opening it fails as for an unreachable file.
const char* data_path(const char* name);
// The UTF-16 form in the wide path buffer, or null when it does not fit.
const char16_t* utf8_to_wide(const char* text);
