#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <set>
#include <thread>

#include "services/prepared_blocks.h"
#include "services/memory.h"

namespace {

constexpr size_t block_bytes = size_t{4} << 20;

// Polls for a ready block for up to ten seconds.
void* next_block()
{
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    void* block = nullptr;
    while (!(block = take_prepared_block(block_bytes)) && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return block;
}

}  // namespace

// Each taken block is refilled, handed out once and whole; a size it does not fit, or a
// stopped preparing, gets none.
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
