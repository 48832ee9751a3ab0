// The references scripts/time-actions.sh judges the program's actions against, in the same run:
//   timing_reference window              a minimal Qt window (a line edit), its frames logged as
//                                        the program logs its own (ui/frame_log.h)
//   timing_reference fread FILE...       one fread of each whole file; prints the milliseconds
//   timing_reference write DIR FILE...   the files' bytes written once each into DIR with fwrite,
//                                        fsync and rename, then DIR synced; prints the milliseconds
//   timing_reference sqlite DATABASE     sqlite3 reading every note's fields; prints the milliseconds
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

#include "ui/frame_log.h"

namespace {

using clock_type = std::chrono::steady_clock;

void print_since(clock_type::time_point start)
{
    std::printf("%.1f\n", std::chrono::duration<double, std::milli>(clock_type::now() - start).count());
}

std::vector<char> read_whole(const char* path)
{
    std::vector<char> bytes;
    FILE* in = std::fopen(path, "rb");
    if (!in)
        return bytes;
    std::fseek(in, 0, SEEK_END);
    bytes.resize(static_cast<size_t>(std::ftell(in)));
    std::fseek(in, 0, SEEK_SET);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in));
    std::fclose(in);
    return bytes;
}

int fread_files(int count, char** paths)
{
    const auto start = clock_type::now();
    for (int i = 0; i < count; ++i)
        if (read_whole(paths[i]).empty())
            return 1;
    print_since(start);
    return 0;
}

int write_files(const std::string& dir, int count, char** paths)
{
    std::vector<std::vector<char>> contents;
    for (int i = 0; i < count; ++i)
        contents.push_back(read_whole(paths[i]));
    const std::string temporary = dir + "/reference.tmp";
    const std::string target = dir + "/reference.bin";
    const auto start = clock_type::now();
    for (const std::vector<char>& bytes : contents) {
        FILE* out = std::fopen(temporary.c_str(), "wb");
        if (!out)
            return 1;
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() && std::fflush(out) == 0
            && ::fsync(fileno(out)) == 0;
        if (std::fclose(out) != 0 || !written || std::rename(temporary.c_str(), target.c_str()) != 0)
            return 1;
    }
    const int folder = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    print_since(start);
    ::unlink(target.c_str());
    return 0;
}

int read_notes(const char* path)
{
    const auto start = clock_type::now();
    sqlite3* database = nullptr;
    if (sqlite3_open_v2(path, &database, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(database);
        return 1;
    }
    sqlite3_stmt* select = nullptr;
    size_t bytes = 0;
    if (sqlite3_prepare_v2(database, "SELECT flds FROM notes", -1, &select, nullptr) == SQLITE_OK)
        while (sqlite3_step(select) == SQLITE_ROW)
            bytes += static_cast<size_t>(sqlite3_column_bytes(select, 0));
    sqlite3_finalize(select);
    sqlite3_close(database);
    print_since(start);
    return bytes > 0 ? 0 : 1;
}

int show_window(int argc, char** argv)
{
    frame_logging_application app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("timing reference"));
    auto* layout = new QVBoxLayout(&window);
    auto* line = new QLineEdit(&window);
    layout->addWidget(line);
    window.resize(400, 80);
    window.show();
    window.activateWindow();
    line->setFocus();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "window")
        return show_window(argc, argv);
    if (mode == "fread" && argc >= 3)
        return fread_files(argc - 2, argv + 2);
    if (mode == "write" && argc >= 4)
        return write_files(argv[2], argc - 3, argv + 3);
    if (mode == "sqlite" && argc == 3)
        return read_notes(argv[2]);
    std::fprintf(stderr, "usage: timing_reference window | fread FILE | write DIR FILE... | sqlite DATABASE\n");
    return 2;
}
