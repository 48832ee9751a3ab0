// A file may include its own folder and those below it, never one above or beside it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Bottom to top. Folders of one rank stand side by side and may not include each other.
const std::map<std::string, int> rank_of = {
    {"platform", 0}, {"calendar", 1}, {"services", 2}, {"database", 3}, {"formats", 4}, {"ann", 4},
    {"session", 5}, {"resources", 5}, {"exchange", 6}, {"settings", 7}, {"ui", 8}};

struct violation {
    std::string file;
    std::string included;
};

std::vector<violation> violations_in(const fs::path& source)
{
    const std::regex include(R"(^\s*#\s*include\s*"([a-z_]+)/[^"]+")");
    std::vector<violation> found;
    for (const auto& [folder, rank] : rank_of) {
        if (!fs::exists(source / folder))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(source / folder)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".cpp" && ext != ".h")
                continue;
            std::ifstream in(entry.path());
            std::string line;
            std::smatch match;
            while (std::getline(in, line)) {
                if (!std::regex_search(line, match, include))
                    continue;
                const auto target = rank_of.find(match[1].str());
                if (target == rank_of.end() || target->first == folder)
                    continue;
                if (target->second >= rank)
                    found.push_back({fs::relative(entry.path(), source).string(), match[1].str()});
            }
        }
    }
    return found;
}

}  // namespace

TEST(Layers, NoFileIncludesALayerAboveOrBesideItsOwn)
{
    const char* source = std::getenv("CARDWRIGHT_TEST_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    const std::vector<violation> found = violations_in(source);
    for (const violation& v : found)
        ADD_FAILURE() << v.file << " includes " << v.included << "/, which is not below it";
    EXPECT_TRUE(found.empty());

    // The check itself sees a wrong include: a file of a scratch tree that reaches upward.
    const fs::path scratch = fs::temp_directory_path() / "cardwright-layers-check";
    fs::remove_all(scratch);
    fs::create_directories(scratch / "database");
    std::ofstream(scratch / "database" / "wrong.cpp") << "#include \"session/lifecycle.h\"\n#include \"platform/files.h\"\n";
    const std::vector<violation> seeded = violations_in(scratch);
    fs::remove_all(scratch);
    ASSERT_EQ(seeded.size(), 1u);
    EXPECT_EQ(seeded[0].included, "session");
}
