#include "services/paths.h"

#include <cstring>
#include <string>

#include "platform/utf.h"
#include "services/log.h"
#include "services/services_state.h"

namespace {

constexpr size_t max_data_dir = 256;  // bytes, with the final separator

}  // namespace

data_dir_status set_data_dir(const char* path)
{
    services_state& s = services();
    if (!path || path[0] == '\0') {
        s.data_dir = "data/";
        return data_dir_status::set;
    }
    std::string dir(path);
    if (dir.size() >= max_data_dir) {
        s.data_dir.clear();
        write_log("FATAL ERROR: set_data_dir(): path_to_data_dir too long\n");
        return data_dir_status::too_long;
    }
    for (char& c : dir)
        if (c == '\\')
            c = '/';
    if (dir.back() != '/')
        dir.push_back('/');
    s.data_dir = std::move(dir);
    return data_dir_status::set;
}

const char* data_path(const char* name)
{
    services_state& s = services();
    s.path_index = (s.path_index + 1) % 3;
    char* buffer = s.path_buffers[s.path_index];
    const size_t dir_length = s.data_dir.size();
    const size_t name_length = std::strlen(name);
    if (dir_length == 0 || dir_length + name_length >= sizeof s.path_buffers[0]) {
        buffer[0] = '\0';
        return buffer;
    }
    std::memcpy(buffer, s.data_dir.data(), dir_length);
    std::memcpy(buffer + dir_length, name, name_length + 1);
    return buffer;
}

const char16_t* utf8_to_wide(const char* text)
{
    services_state& s = services();
    std::u16string wide;
    utf8_to_utf16(text, &wide);
    if (wide.size() + 1 > sizeof s.wide_path / sizeof s.wide_path[0])
        return nullptr;
    std::char_traits<char16_t>::copy(s.wide_path, wide.c_str(), wide.size() + 1);
    return s.wide_path;
}
