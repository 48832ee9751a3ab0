#include <cstdio>
#include <string>
#include <string_view>

#include "resources/version.h"
#include "ui/program.h"

namespace {

// A text that could not be written (stdout closed, a full disk) ends with a failure.
int print(const std::string& text) { return std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1; }

}  // namespace

int main(int argc, char** argv)
{
    // Answered before the window system is reached, so that they work without a display.
    if (argc == 2 && std::string_view(argv[1]) == "--version")
        return print(std::string("cardwright ") + version_number + "\n");
    if (argc == 2 && std::string_view(argv[1]) == "--help")
        return print("Usage: cardwright [Qt options]\n"
                     "A flash-card trainer whose schedule learns from your grades.\n\n"
                     "  --version  print the version and exit\n"
                     "  --help     print this text and exit\n");
    return run_program(argc, argv);
}
