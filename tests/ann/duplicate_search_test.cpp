// The duplicate search of a loading case store against the plain downward walk it replaces.
#include <algorithm>
#include <bit>
#include <cstring>
#include <random>

#include "ann/ann_files.h"
#include "ann/network.h"
#include "ann_test_support.h"

namespace {

constexpr int no_merge = -1;

uint32_t key_of(const ann_case& c) { return std::bit_cast<uint32_t>(c[0]) ^ std::bit_cast<uint32_t>(c[2]); }

uint16_t whole_days(float encoded) { return static_cast<uint16_t>(static_cast<uint32_t>(encoded * encoded * 2048.0f + 0.5f)); }

// The index merged into (its target averaged), or no_merge.
int plain_search(std::vector<ann_case>& store, const ann_case& n_case)
{
    const uint32_t key = key_of(n_case);
    const uint16_t elapsed = whole_days(n_case[1]);
    auto p = static_cast<uint32_t>(store.size());
    bool user_phase = true;
    bool jump = false;
    for (;;) {
        if (!user_phase && jump) {
            jump = false;
            if (p == 0)
                return no_merge;
            if (elapsed <= 20 && p > 774)
                p = 774;
            if (elapsed <= 7 && p > 514)
                p = 514;
            if (elapsed <= 2 && p > 262)
                p = 262;
        }
        if (p <= 1)
            return no_merge;
        const uint32_t index = --p;
        ann_case& c = store[index];
        if (key_of(c) == key) {
            if (std::memcmp(c.data(), n_case.data(), 16) == 0) {
                const uint32_t mean = (static_cast<uint32_t>(whole_days(n_case[4])) + whole_days(c[4])) / 2;
                c[4] = encode_days(static_cast<uint16_t>(std::min<uint32_t>(mean, 2048)));
                return static_cast<int>(index);
            }
            if (index <= 1)
                return no_merge;
            user_phase = index > 962;
            jump = !user_phase;
            continue;
        }
        if (index % 4 != 0)
            continue;
        if (user_phase && n_case[1] > c[1]) {
            user_phase = false;
            jump = true;
        } else if (!user_phase && c[1] < n_case[1]) {
            return no_merge;
        }
    }
}

// A learner's cases from few values, so that repeats and near-repeats (same key) of user and
// built-in cases meet often; now and then a zero or negative zero of elapsed days.
class case_source {
public:
    explicit case_source(uint32_t seed) : random_(seed) {}

    ann_case next(const std::vector<ann_case>& store)
    {
        const auto user = store.size() - builtin_case_count;
        const int kind = pick(100);
        ann_case c;
        if (kind < 32 && user > 0)
            c = store[builtin_case_count + recent(user)];
        else if (kind < 45)
            c = builtin_cases[static_cast<size_t>(pick(builtin_case_count))];
        else
            c = make_case(days(), days(), static_cast<uint16_t>(pick(12)), static_cast<uint16_t>(pick(6)), days());
        if ((kind >= 20 && kind < 32) || (kind >= 37 && kind < 45))
            vary(c);
        if (pick(100) == 0)
            c[1] = pick(2) ? 0.0f : -0.0f;
        c[4] = encode_days(days());
        return c;
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    size_t recent(size_t user)
    {
        const size_t back = pick(4) ? static_cast<size_t>(pick(300)) : static_cast<size_t>(pick(static_cast<int>(user)));
        return user - 1 - std::min(back, user - 1);
    }
    uint16_t days()
    {
        static constexpr uint16_t spread[] = {1, 1, 1, 1, 2, 2, 2, 3, 3, 4, 5, 6, 7, 8, 9, 12, 15, 20, 21, 24, 30, 40, 60, 100, 300, 2047};
        return spread[pick(static_cast<int>(std::size(spread)))];
    }
    void vary(ann_case& c)
    {
        if (pick(2))
            c[1] = encode_days(days());
        else
            c[3] = encode_grade(static_cast<uint16_t>(pick(6)));
    }
    std::mt19937 random_;
};

class DuplicateSearchTest : public AnnTest {
protected:
    void SetUp() override
    {
        AnnTest::SetUp();
        generate_ann();
    }
};

TEST_F(DuplicateSearchTest, AgreesWithThePlainWalkOnGeneratedStores)
{
    ann_state& s = ann_globals();
    uint64_t searches = 0;
    uint64_t into_builtin = 0;
    uint64_t into_user = 0;
    for (uint32_t trial = 0; searches < 300'000; ++trial) {
        reset_case_store();
        std::vector<ann_case> mirror(builtin_cases.begin(), builtin_cases.end());
        case_source source(trial);
        // Mostly small stores, and now and then one deep enough for every level of the index.
        const int length = trial % 25 == 24 ? 30'000 : 50 + static_cast<int>(trial * 7919 % 3000);
        for (int i = 0; i < length; ++i) {
            const ann_case c = source.next(mirror);
            const int expected = plain_search(mirror, c);
            ++searches;
            const bool merged = merge_duplicate_case(c);
            ASSERT_EQ(merged, expected != no_merge) << "trial " << trial << ", case " << i;
            if (merged) {
                (expected < builtin_case_count ? into_builtin : into_user) += 1;
                ASSERT_EQ(*s.case_store[static_cast<size_t>(expected)], mirror[static_cast<size_t>(expected)])
                    << "trial " << trial << ", case " << i << ": merged elsewhere";
            } else {
                mirror.push_back(c);
                ASSERT_NE(append_case(c), nullptr);
            }
        }
        ASSERT_EQ(s.case_count, mirror.size());
        for (uint32_t k = 0; k < s.case_count; ++k)
            ASSERT_EQ(*case_at(k), mirror[k]) << "trial " << trial << ", case " << k;
    }
    EXPECT_GT(into_builtin, searches / 100);
    EXPECT_GT(into_user, searches / 100);
    EXPECT_LT(into_builtin + into_user, searches * 9 / 10);
}

}  // namespace
