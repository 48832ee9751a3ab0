// make_lifetime DIRECTORY [DIVISOR]: writes a lifetime collection (1,000,000 items, 200,000
// queued, 10,000,000 log records, 200,000 cases; each divided by DIVISOR) into DIRECTORY, which
// must not hold a database yet (it is made with its parents when missing).
// make_lifetime --package DIRECTORY [DIVISOR]: writes there the package of notes an import into
// that collection is measured with, and prints its path.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "lifetime_data.h"

int main(int argc, char** argv)
{
    const bool package = argc > 1 && std::strcmp(argv[1], "--package") == 0;
    const int first = package ? 2 : 1;
    if (argc < first + 1 || argc > first + 2) {
        std::fprintf(stderr, "usage: make_lifetime [--package] DIRECTORY [DIVISOR]\n");
        return 2;
    }
    std::string path = argv[first];
    if (path.back() != '/')
        path += '/';
    const long divisor = argc == first + 2 ? std::strtol(argv[first + 1], nullptr, 10) : 1;
    if (divisor < 1) {
        std::fprintf(stderr, "make_lifetime: the divisor must be a whole number from 1\n");
        return 2;
    }
    std::error_code ignored;  // a directory that cannot be made is told by the writing that fails
    std::filesystem::create_directories(path, ignored);
    if (package) {
        const lifetime_package made = make_lifetime_package(path, static_cast<uint32_t>(divisor));
        struct stat info {};
        if (::stat(made.path.c_str(), &info) != 0) {
            std::fprintf(stderr, "make_lifetime: could not write the package into %s\n", path.c_str());
            return 1;
        }
        std::printf("%s\n", made.path.c_str());
        return 0;
    }
    struct stat info {};
    if (::stat((path + "elements.bin").c_str(), &info) == 0) {
        std::fprintf(stderr, "make_lifetime: %s already holds a database\n", path.c_str());
        return 1;
    }
    if (!make_lifetime_directory(path, lifetime_scaled(static_cast<uint32_t>(divisor)))) {
        std::fprintf(stderr, "make_lifetime: could not write %s (see its error.log)\n", path.c_str());
        return 1;
    }
    return 0;
}
