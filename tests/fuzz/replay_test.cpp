#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "database/database.h"
#include "fuzz/fuzz_open.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

struct harness {
    const char* folder;
    const char* file_name;
};

const harness harnesses[] = {{"elements_bin", "elements.bin"}, {"elements_xml", "elements.xml"},
    {"queue", "queue.txt"}, {"user_cases", "user_cases.bin"}, {"weights", "weights.bin"},
    {"commit_journal", "commit.journal"}};

}  // namespace

// Every seed and every input a fuzzer once broke the program with opens and closes cleanly.
TEST(FuzzReplay, SeedsAndEarlierFindingsOpenAndClose)
{
    const char* source = std::getenv("CARDWRIGHT_TEST_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    int replayed = 0;
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
                fuzz_open_with_file(h.file_name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
                EXPECT_EQ(db().db_state, 0);
                ++replayed;
            }
        }
    }
    EXPECT_GE(replayed, 6);
}
