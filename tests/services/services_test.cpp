#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/crt_rand.h"
#include "services/memory.h"
#include "services/paths.h"
#include "services/prepared_blocks.h"
#include "services/random.h"
#include "services/services_state.h"

TEST(DataDirectory, PathsAreBuiltSafely)
{
    for (const auto& [given, kept] : {std::pair<const char*, const char*>{"/home/u/cards", "/home/u/cards/"},
             {"/home/u/cards/", "/home/u/cards/"}, {"C:\\My Documents\\cards", "C:/My Documents/cards/"}, {"", "data/"},
             {nullptr, "data/"}}) {
        ASSERT_EQ(set_data_dir(given), data_dir_status::set);
        EXPECT_EQ(services().data_dir, kept);
    }
    EXPECT_EQ((std::pair{set_data_dir(std::string(255, 'd').c_str()), services().data_dir.size()}), std::pair(data_dir_status::set, size_t{256}));
    EXPECT_EQ(set_data_dir(std::string(256, 'd').c_str()), data_dir_status::too_long);

    ASSERT_EQ(set_data_dir("d/"), data_dir_status::set);
    const char* first = data_path("a");  // three paths stand at once
    const char* second = data_path("b");
    EXPECT_EQ(std::string(first) + std::string(second) + data_path("c"), "d/ad/bd/c");

    // A result that does not fit is refused whole, never cut into another valid path.
    ASSERT_EQ(set_data_dir(("/" + std::string(254, 'd')).c_str()), data_dir_status::set);
    EXPECT_STREQ(data_path(std::string(256, 'n').c_str()), "");
    EXPECT_EQ(std::strlen(data_path(std::string(250, 'n').c_str())), 255u + 1u + 250u);
}

TEST(ProcessHelpers, RandomBoundsAndWideText)
{
    crt_srand(12345);
    std::vector<int> raw;
    for (int i = 0; i < 2000; ++i)
        raw.push_back(crt_rand());
    crt_srand(12345);
    for (int r : raw)
        EXPECT_EQ(rand_below(2), r < 16384 ? 0u : 1u);
    for (int i = 0; i < 2000; ++i) {
        EXPECT_EQ(rand_below(1), 0u);
        EXPECT_LE(rand_below(20), 19u);
        EXPECT_LE(rand_below(32767), 32766u);
    }

    const char16_t* wide = utf8_to_wide("d/caf\xC3\xA9");
    EXPECT_EQ(std::u16string(wide ? wide : u""), u"d/caf\u00e9");
    EXPECT_NE(utf8_to_wide(std::string(511, 'a').c_str()), nullptr);
    EXPECT_EQ(utf8_to_wide(std::string(512, 'a').c_str()), nullptr);
}

namespace {

constexpr size_t block_bytes = size_t{4} << 20;

void* next_block()
{
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    void* block = nullptr;
    while (!(block = take_prepared_block(block_bytes)) && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return block;
}

}  // namespace

// A size it does not fit, or a stopped preparing, gets none.
TEST(PreparedBlocksTest, TakenBlocksAreRefilledAndHandedOutOnce)
{
    start_preparing_blocks(1);  // the thread sleeps after each block until it is taken
    std::set<void*> taken;
    for (int i = 0; i < 6; ++i) {
        void* block = next_block();
        ASSERT_NE(block, nullptr) << "block " << i << " never came";
        std::memset(block, 0x5A, block_bytes);
        EXPECT_TRUE(taken.insert(block).second);
    }
    EXPECT_EQ(take_prepared_block(size_t{1} << 20), nullptr);
    stop_preparing_blocks();
    EXPECT_EQ(take_prepared_block(block_bytes), nullptr);
    for (void* block : taken)
        free_block(block, block_bytes);
}
