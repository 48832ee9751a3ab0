#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "database/database.h"
#include "fuzz/fuzz_import.h"
#include "fuzz/fuzz_open.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

struct harness {
    std::string folder;
    std::string file_name;
};

// fuzz/harnesses.txt: "name file" a line, the list the build and the Makefile use too.
std::vector<harness> harnesses_of(const fs::path& source)
{
    std::vector<harness> list;
    std::ifstream in(source / "fuzz" / "harnesses.txt");
    harness h;
    while (in >> h.folder >> h.file_name)
        list.push_back(h);
    return list;
}

}  // namespace

// Every seed and every input a fuzzer once broke the program with opens and closes cleanly.
TEST(FuzzReplay, SeedsAndEarlierFindingsOpenAndClose)
{
    const char* source = std::getenv("CARDWRIGHT_TEST_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    int replayed = 0;
    const std::vector<harness> harnesses = harnesses_of(source);
    ASSERT_GE(harnesses.size(), 6u);
    for (const harness& h : harnesses) {
        for (const char* kind : {"seeds", "regressions"}) {
            const fs::path folder = fs::path(source) / "fuzz" / kind / h.folder;
            if (!fs::exists(folder))
                continue;
            for (const auto& entry : fs::directory_iterator(folder)) {
                if (!entry.is_regular_file() || entry.path().filename().string().starts_with("."))
                    continue;
                const std::string bytes = read_file(entry.path().string());
                SCOPED_TRACE(entry.path().string());
                const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
                if (is_import_file(h.file_name))
                    fuzz_import_file(h.file_name.c_str(), data, bytes.size());
                else
                    fuzz_open_with_file(h.file_name.c_str(), data, bytes.size());
                EXPECT_EQ(db().db_state, 0);
                ++replayed;
            }
        }
    }
    EXPECT_GE(replayed, 6);
}
