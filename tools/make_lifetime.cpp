// make_lifetime DIRECTORY [DIVISOR]: writes a lifetime collection (1,000,000 items, 200,000
// queued, 10,000,000 log records, 200,000 cases; each divided by DIVISOR) into DIRECTORY, which
// must not hold a database yet.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "lifetime_data.h"

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_lifetime DIRECTORY [DIVISOR]\n");
        return 2;
    }
    std::string path = argv[1];
    if (path.back() != '/')
        path += '/';
    const long divisor = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 1;
    if (divisor < 1) {
        std::fprintf(stderr, "make_lifetime: the divisor must be a whole number from 1\n");
        return 2;
    }
    struct stat info {};
    if (::stat((path + "elements.bin").c_str(), &info) == 0) {
        std::fprintf(stderr, "make_lifetime: %s already holds a database\n", path.c_str());
        return 1;
    }
    ::mkdir(path.c_str(), 0777);
    if (!make_lifetime_directory(path, lifetime_scaled(static_cast<uint32_t>(divisor)))) {
        std::fprintf(stderr, "make_lifetime: could not write %s (see its error.log)\n", path.c_str());
        return 1;
    }
    return 0;
}
