#include "services/log.h"

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <string>

#include "services/services_state.h"

namespace {
// Written by the main thread as a database opens and closes, read by the threads that read
// beside the start.
std::atomic<bool> log_on{false};
std::mutex log_lines;  // one line at a time in the file
}  // namespace

void set_log_on(bool on) { log_on = on; }
bool log_is_on() { return log_on; }

void write_log(const char* format, ...)
{
    const services_state& s = services();
    if (!log_on || s.data_dir.empty())
        return;
    const std::lock_guard<std::mutex> one_line(log_lines);
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
