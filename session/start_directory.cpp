#include "session/start_directory.h"

#include <filesystem>
#include <system_error>

#include "session/lifecycle.h"

namespace {

bool reached(int result) { return (result & MA_INIT_DIR_NOT_ACCESSIBLE) == 0; }

int open_at(const std::string& path) { return path.empty() ? MA_INIT_DIR_NOT_ACCESSIBLE : ma_init(path.c_str()); }

// The directory with its missing parents; true when it exists afterwards.
bool make_directory(const std::string& path)
{
    if (path.empty())
        return false;
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
}

}  // namespace

start_directory open_start_directory(const std::string& set_path, const std::string& default_path,
    int (*close)(int flag))
{
    start_directory s;
    s.path = set_path;
    int result = open_at(s.path);
    if (!reached(result)) {
        if (!make_directory(s.path)) {
            s.fell_back = true;
            s.set_path = set_path;
            s.path = default_path;
        }
        close(0);
        result = open_at(s.path);
        if (!reached(result)) {
            if (!make_directory(s.path))
                return s;
            close(0);
            result = open_at(s.path);
            if (!reached(result)) {
                s.gave_up = true;
                return s;
            }
        }
    }
    s.opened = true;
    s.init_result = result;
    return s;
}
