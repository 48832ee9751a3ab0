// The duplicate search of a loading case store, against the plain downward walk that it
// replaces: the same merges, into the same cases, with the same targets, for stores full of
// repeats and near-repeats of user and built-in cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ann/ann_files.h"
#include "ann/network.h"
#include "ann_test_support.h"
#include "database/database.h"
#include "session/lifecycle.h"

namespace {

constexpr int no_merge = -1;

// How often the walk took each of its turns, so that the comparison is known to cover them.
struct walk_turns {
    uint64_t user_cut_off = 0;         // fewer elapsed days at a multiple of 4: on to the table
    uint64_t table_cut_off = 0;        // the same in the built-in phase: no match
    uint64_t passed_over_above = 0;    // the key with other inputs, above the table
    uint64_t restart_below = 0;        // the key with other inputs, in or into the built-in phase
    uint64_t back_to_user_phase = 0;   // the built-in phase meeting such a case above the table
};

uint32_t key_of(const ann_case& c) { return std::bit_cast<uint32_t>(c[0]) ^ std::bit_cast<uint32_t>(c[2]); }

uint16_t whole_days(float encoded) { return static_cast<uint16_t>(static_cast<uint32_t>(encoded * encoded * 2048.0f + 0.5f)); }

// The search as a walk over every examined index, on a copy of the store: the index merged
// into (its target averaged), or no_merge.
int plain_search(std::vector<ann_case>& store, const ann_case& n_case, walk_turns& turns)
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
            if (index > 962)
                ++(user_phase ? turns.passed_over_above : turns.back_to_user_phase);
            else
                ++turns.restart_below;
            user_phase = index > 962;
            jump = !user_phase;
            continue;
        }
        if (index % 4 != 0)
            continue;
        if (user_phase && n_case[1] > c[1]) {
            ++turns.user_cut_off;
            user_phase = false;
            jump = true;
        } else if (!user_phase && c[1] < n_case[1]) {
            ++turns.table_cut_off;
            return no_merge;
        }
    }
}

// Cases such as a learner's history holds, drawn from few values so that they meet often:
// exact repeats and near-repeats (same key, other elapsed days or grade) of earlier user cases
// and of built-in ones, and now and then a zero or a negative zero of elapsed days.
class case_source {
public:
    explicit case_source(uint32_t seed) : random_(seed) {}

    ann_case next(const std::vector<ann_case>& store)
    {
        const auto user = store.size() - builtin_case_count;
        const int kind = pick(100);
        ann_case c;
        if (kind < 20 && user > 0) {
            c = store[builtin_case_count + recent(user)];
        } else if (kind < 32 && user > 0) {
            c = store[builtin_case_count + recent(user)];
            vary(c);
        } else if (kind < 37) {
            c = builtin_cases[static_cast<size_t>(pick(builtin_case_count))];
        } else if (kind < 45) {
            c = builtin_cases[static_cast<size_t>(pick(builtin_case_count))];
            vary(c);
        } else {
            c = make_case(days(), days(), static_cast<uint16_t>(pick(12)), static_cast<uint16_t>(pick(6)), days());
        }
        if (pick(100) == 0)
            c[1] = pick(2) ? 0.0f : -0.0f;
        c[4] = encode_days(days());
        return c;
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    // Mostly among the last few hundred cases, sometimes anywhere.
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

// Over 100,000 cases, each searched for in a store built the way a load builds it.
TEST_F(DuplicateSearchTest, AgreesWithThePlainWalkOnGeneratedStores)
{
    ann_state& s = ann_globals();
    uint64_t searches = 0;
    uint64_t into_builtin = 0;
    uint64_t into_user = 0;
    walk_turns turns;
    for (uint32_t trial = 0; searches < 300'000; ++trial) {
        reset_case_store();
        std::vector<ann_case> mirror(builtin_cases.begin(), builtin_cases.end());
        case_source source(trial);
        // Mostly small stores, and now and then one deep enough for every level of the index.
        const int length = trial % 25 == 24 ? 30'000 : 50 + static_cast<int>(trial * 7919 % 3000);
        for (int i = 0; i < length; ++i) {
            const ann_case c = source.next(mirror);
            const int expected = plain_search(mirror, c, turns);
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
    // Every turn of the walk was taken many times, and both kinds of merge as well as cases
    // that stayed were met often.
    EXPECT_GT(turns.user_cut_off, searches / 10);
    EXPECT_GT(turns.table_cut_off, searches / 10);
    EXPECT_GT(turns.passed_over_above, searches / 10);
    EXPECT_GT(turns.restart_below, searches / 100);
    EXPECT_GT(turns.back_to_user_phase, searches / 1000);
    EXPECT_GT(into_builtin, searches / 100);
    EXPECT_GT(into_user, searches / 100);
    EXPECT_LT(into_builtin + into_user, searches * 9 / 10);
}

// Each question to the index, against a scan of the same store: keys and inputs from few values,
// so that chains are long, and bounds at every distance.
TEST(CaseIndex, AnswersAsAScanDoes)
{
    std::mt19937 random(99);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    std::vector<ann_case> cases;
    std::vector<ann_case*> store;
    case_index index(1000);  // bounds up to 1000 start from each key's answer for 1000
    for (int i = 0; i < 20'000; ++i) {
        cases.push_back({static_cast<float>(pick(3)) / 4, static_cast<float>(pick(50)) / 64,
            static_cast<float>(pick(4)) / 8, static_cast<float>(pick(2)), 0.5f});
    }
    for (ann_case& c : cases)
        store.push_back(&c);
    for (uint32_t count = 1; count <= cases.size(); count += 1 + static_cast<uint32_t>(pick(400))) {
        index.catch_up(store, count);
        ASSERT_EQ(index.indexed(), count);
        for (int q = 0; q < 30; ++q) {
            const ann_case& probe = cases[static_cast<size_t>(pick(static_cast<int>(count)))];
            // Every third bound is the index's own mark, or next to it.
            const auto end = q % 3 == 0 ? static_cast<uint32_t>(999 + pick(3))
                                        : static_cast<uint32_t>(pick(static_cast<int>(count) + 1));
            // Leaving out the probe's own key, another one's, or none that occurs.
            const int choice = pick(3);
            const uint32_t other = choice == 0 ? case_key(probe) : choice == 1 ? case_key(cases[static_cast<size_t>(pick(static_cast<int>(count)))]) : 12345u;
            uint32_t same = case_index::none, keyed = case_index::none, lower = case_index::none;
            for (uint32_t k = 0; k < count; ++k) {
                if (std::memcmp(cases[k].data(), probe.data(), 16) == 0)
                    same = k;
                if (k < end && case_key(cases[k]) == case_key(probe))
                    keyed = k;
                if (k < end && k % 4 == 0 && k > 0 && cases[k][1] < probe[1] && case_key(cases[k]) != other)
                    lower = k;
            }
            ASSERT_EQ(index.last_with_inputs(store, probe), same) << count;
            ASSERT_EQ(index.last_with_key_below(case_key(probe), end), keyed) << count << " " << end;
            ASSERT_EQ(index.last_input1_below(end, probe[1], other), lower) << count << " " << end;
        }
    }
    index.clear();
    EXPECT_EQ(index.indexed(), 0u);
    EXPECT_EQ(index.last_with_key_below(case_key(cases[0]), 10), case_index::none);
}

// A store that grew during the run (cases added by grades) is searched as a whole next time.
TEST_F(DuplicateSearchTest, CasesAppendedBetweenSearchesAreSeen)
{
    reset_case_store();
    const ann_case a = make_case(30, 30, 4, 3, 10);
    ASSERT_FALSE(merge_duplicate_case(a));
    append_case(a);
    for (int i = 0; i < 40; ++i)
        append_case(make_case(30, 31 + static_cast<uint16_t>(i), 4, 4, 10));  // the key, other inputs
    ann_case again = a;
    again[4] = encode_days(20);
    EXPECT_TRUE(merge_duplicate_case(again));
    EXPECT_EQ(days_of((*case_at(builtin_case_count))[4]), 15);
}

// The same through the file: a load of user_cases.bin ends with the store the walk builds.
TEST_F(DuplicateSearchTest, LoadingTheFileBuildsTheSameStore)
{
    temp_dir dir;
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::new_database);
    std::vector<ann_case> mirror(builtin_cases.begin(), builtin_cases.end());
    std::string bytes;
    case_source source(4242);
    for (int i = 0; i < 20'000; ++i) {
        const ann_case c = source.next(mirror);
        bytes.append(reinterpret_cast<const char*>(c.data()), sizeof c);
        walk_turns turns;
        if (plain_search(mirror, c, turns) == no_merge)
            mirror.push_back(c);
    }
    write_file(dir.file("user_cases.bin"), bytes);
    ma_nn_init();
    ASSERT_EQ(ann_globals().case_count, mirror.size());
    for (uint32_t k = 0; k < ann_globals().case_count; ++k)
        ASSERT_EQ(*case_at(k), mirror[k]) << k;
    // The search's index is not kept once the file is read.
    EXPECT_EQ(ann_globals().duplicates.indexed(), 0u);
    EXPECT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
}

}  // namespace
