#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "ann/ann_files.h"
#include "ann/network.h"
#include "session/choose.h"
#include "support/database_helpers.h"
#include "session/grading.h"

namespace {

// A learner who forgets exponentially: recall after t days is exp(-t / stability); a recalled
// item grows in stability, a forgotten one loses most of it.
struct learner {
    std::mt19937 random{20260115};
    std::unordered_map<std::string, double> stability;

    uint16_t grade(const item& e, uint16_t today)
    {
        double& s = stability[e.question];
        const uint16_t elapsed = static_cast<uint16_t>(e.ivl - e.tmtrpt + today);
        const double recall = std::exp(-elapsed / s);
        const double draw = std::uniform_real_distribution<>(0.0, 1.0)(random);
        if (draw > recall) {
            s = std::max(1.0, s * 0.4);
            return draw > recall + 0.3 ? 0 : 1;
        }
        s *= 1.5 + recall;
        return recall > 0.95 ? 5 : recall > 0.8 ? 4 : 3;
    }
};

struct item_snapshot {
    std::string question, answer;
    uint32_t id;
    uint16_t tmtrpt, stmtrpt, ctgr, livl, rllivl, ivl, rp, gr;
    bool operator==(const item_snapshot&) const = default;
};

std::vector<item_snapshot> snapshot()
{
    std::vector<item_snapshot> out;
    for (const item* e = db().head; e; e = e->next)
        out.push_back({e->question, e->answer, e->id, e->tmtrpt, e->stmtrpt, e->ctgr, e->livl, e->rllivl, e->ivl, e->rp,
            e->gr});
    return out;
}

class SimulationTest : public open_database_test {};

}  // namespace

TEST_F(SimulationTest, AYearOfDailyReviewsKeepsEverythingConsistent)
{
    ma_nn_init();
    learner person;
    const std::string cases_file = dir.file("user_cases.bin");
    uint32_t created = 0;
    for (uint16_t today = 0; today < 365; ++today) {
        go_to_day(today);
        ASSERT_EQ(day_number(0), today);
        for (int i = 0; i < 10 && created < 300; ++i, ++created) {
            const std::string q = "item " + std::to_string(created);
            person.stability[q] = 2.0 + created % 5;
            create_item(static_cast<uint16_t>(3 + created % 3), q.c_str(), "answer", 0);
        }

        std::set<const item*> due;
        for (const item* e = db().head; e && e->tmtrpt <= today; e = e->next)
            due.insert(e);
        const auto file_before = read_file(cases_file).size();
        const uint32_t cases_before = ann_globals().case_count;
        std::set<const item*> offered;
        int shown = 0;
        while (item* e = choose_next_item(nullptr, 0)) {
            ASSERT_LT(++shown, 5000) << "day " << today << " never ends";
            offered.insert(e);
            const uint16_t interval = grade_item(e, person.grade(*e, today));
            ASSERT_LE(interval, 2047);
            ASSERT_EQ(e->tmtrpt, static_cast<uint16_t>(today + interval));
        }
        for (const item* e : due)
            ASSERT_TRUE(offered.count(e)) << "a due item was never offered on day " << today;
        ASSERT_EQ(count_due(0, nullptr), 0u);
        EXPECT_EQ(read_file(cases_file).size() - file_before, 20u * (ann_globals().case_count - cases_before));
        if (today % 7 == 6) {
            ASSERT_TRUE(std::isfinite(compute_test_error()));
        }

        if (today == 180) {
            // Closing and opening again in the middle of the run loses nothing.
            const auto items = snapshot();
            const auto weights = ann_globals().ann_weights;
            const std::string cases = read_file(cases_file);
            ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
            const std::string saved_weights = read_file(dir.file("weights.bin"));
            ASSERT_EQ(saved_weights.size(), 640u);
            EXPECT_EQ(std::memcmp(saved_weights.data(), weights.data(), 640), 0);
            ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
            ma_nn_init();
            EXPECT_EQ(snapshot(), items);
            EXPECT_EQ(ann_globals().ann_weights, weights);
            EXPECT_EQ(read_file(cases_file), cases);
        }
    }
    EXPECT_EQ(db().item_count, 300u);
    uint32_t counted = 0;
    for (const item* e = db().head; e; e = e->next, ++counted) {
        EXPECT_LE(e->ivl, 2047);
        EXPECT_LE(e->rp, 127);
        if (e->next) {
            EXPECT_LE(e->tmtrpt, e->next->tmtrpt);
        }
    }
    EXPECT_EQ(counted, 300u);
    // The person's grades taught the network something.
    EXPECT_GT(read_file(cases_file).size(), 0u);
}
