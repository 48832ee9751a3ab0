#include "session/start_directory.h"

#include <filesystem>
#include <system_error>

#include "session/lifecycle.h"

namespace {

bool reached(init_status result) { return !holds_any(result, init_status::dir_not_accessible); }

init_status open_at(const std::string& path, network_start network)
{
    return path.empty() ? init_status::dir_not_accessible : ma_init(path.c_str(), network);
}

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
    deinit_result (*close)(close_mode mode), network_start network)
{
    start_directory s;
    s.path = set_path;
    init_status result = open_at(s.path, network);
    if (!reached(result)) {
        if (!make_directory(s.path)) {
            s.fell_back = true;
            s.set_path = set_path;
            s.path = default_path;
        }
        static_cast<void>(close(close_mode::complete));  // a failed opening has nothing to save
        result = open_at(s.path, network);
        if (!reached(result)) {
            if (!make_directory(s.path))
                return s;
            static_cast<void>(close(close_mode::complete));
            result = open_at(s.path, network);
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
