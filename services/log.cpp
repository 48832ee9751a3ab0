#include "services/log.h"

#include <cstdarg>
#include <string>

#include "services/services_state.h"

void set_log_on(bool on) { services().log_on = on; }

void write_log(const char* format, ...)
{
    const services_state& s = services();
    if (!s.log_on || s.data_dir.empty())
        return;
    // Its own path, not one of data_path's buffers: a caller may hold one of those across a line.
    const std::string log_path = s.data_dir + "error.log";
    const char* path = log_path.c_str();
    FILE* log = std::fopen(path, "a");
    if (!log)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(log, format, args);
    va_end(args);
    std::fflush(log);
    if (std::fclose(log) != 0) {
        // Reported once; a failure while writing this line is not reported again.
        if (FILE* again = std::fopen(path, "a")) {
            std::fprintf(again, "Cannot close \"%s\"\n", path);
            std::fclose(again);
        }
    }
}

void fclose_logged(FILE* file, const char* path)
{
    if (std::fclose(file) != 0)
        write_log("Cannot close \"%s\"\n", path);
}
