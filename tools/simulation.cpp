#include "simulation.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <string>

#include "ann/ann_files.h"
#include "calendar/calendar.h"
#include "session/choose.h"
#include "database/database.h"
#include "session/grading.h"
#include "session/lifecycle.h"
#include "session/statistics.h"
#include "session/undo.h"
#include "platform/files.h"
#include "platform/platform_state.h"
#include "platform/timezone.h"
#include "sim_tally.h"

namespace {

// Day 0 of every run; each session is at noon in a zone without daylight saving, so day n of
// the run is the program's day number n.
constexpr time_t first_noon = 1768478400;  // 2026-01-15 12:00 UTC
constexpr int seconds_per_day = 86400;

void set_clock_to_day(int day)
{
    const time_t t = first_noon + static_cast<time_t>(day) * seconds_per_day;
    tm date{};
    gmtime_r(&t, &date);
    SYSTEMTIME st;
    st.wYear = date.tm_year + 1900;
    st.wMonth = date.tm_mon + 1;
    st.wDay = date.tm_mday;
    st.wDayOfWeek = date.tm_wday;
    st.wHour = date.tm_hour;
    platform_globals().fixed_local_time = st;
}

void fresh_process_state()
{
    platform_reset();
    TIME_ZONE_INFORMATION utc;
    tz_from_posix_rule("UTC0", &utc);
    platform_globals().zone_override = utc;
    // The files live in a throw-away folder: waiting on the disk would only slow the runs.
    platform_globals().sync_to_storage = false;
    calendar_reset();
    free_ann();
    ann_globals() = ann_state{};
}

// What the user's cases in the store teach: the grade of the review each describes, and its
// target against the days that had elapsed before that review.
std::array<learnt_cases, 6> tally_learnt_cases()
{
    std::array<std::vector<double>, 6> ratios;
    std::array<learnt_cases, 6> learnt{};
    const ann_state& ann = ann_globals();
    for (uint32_t i = builtin_case_count; i < ann.case_count; ++i) {
        const ann_case& c = *ann.case_store[i];
        const auto grade = static_cast<size_t>(std::lround(c[3] * 5.0f));
        const double elapsed = static_cast<double>(c[1]) * c[1] * 2048.0;
        const double target = static_cast<double>(c[4]) * c[4] * 2048.0;
        if (grade > 5 || elapsed < 0.5)
            continue;
        ++learnt[grade].count;
        learnt[grade].shorter += target < elapsed - 0.5;
        ratios[grade].push_back(target / elapsed);
    }
    for (size_t g = 0; g < 6; ++g) {
        std::vector<double>& r = ratios[g];
        if (r.empty())
            continue;
        std::nth_element(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(r.size() / 2), r.end());
        learnt[g].median_ratio = r[r.size() / 2];
    }
    return learnt;
}

uint32_t item_index(const item* e)
{
    const std::string_view q = e->question.view();
    uint32_t index = 0;
    std::from_chars(q.data() + 1, q.data() + q.size(), index);
    return index;
}

void run_program(simulation_result& result, learner& person, bool learning)
{
    const simulation_settings& s = result.settings;
    fresh_process_state();
    ann_globals().ann_weights = s.start_weights;
    const std::string dir = make_temp_directory("cardwright-simulate");
    review_tally count{result, person, {}, {}, {}};
    for (int day = 0; day < s.days; ++day) {
        set_clock_to_day(day);
        if (!learning) {
            // A first day for the network, every day: no case or weight from the days before.
            // The review log stays, as it does for a user whose network files are lost.
            std::filesystem::remove(dir + "user_cases.bin");
            std::filesystem::remove(dir + "weights.bin");
        }
        const init_status opened = ma_init(dir.c_str());
        if (opened != (day == 0 ? init_status::new_database : init_status::from_bin) || day_number(0) != day)
            throw std::runtime_error("the database did not open as the day before left it");
        ma_nn_init();
        statistics shown;
        compute_statistics(&shown);
        if (!learning)
            ann_globals().learning_rate = 0;  // every training step leaves the weights as they are

        for (uint32_t n = new_items_on(day, s); n > 0; --n) {
            const uint32_t index = person.add_item(day);
            const std::string question = "q" + std::to_string(index);
            const uint16_t grade = person.creation_grade(index);
            count.created(grade);
            add_reviewed(grade, question.c_str(), "a", 0);
        }
        std::vector<int> offers(person.item_count(), 0);
        while (item* e = choose_next_item(nullptr, 0)) {
            const uint32_t index = item_index(e);
            if (++offers[index] == stuck_offer) {
                ++result.stuck_sessions;
                result.left_due += count_due(0, nullptr);
                break;
            }
            const review_outcome r = person.review(index, day);
            count.review_counted(index, r, day);
            grade_reviewed(e, r.grade, review_screen::scheduled);
            if (s.what_if_repeat_days > 0 && r.elapsed_days == 0 && r.grade >= 3 && e->rp >= s.what_if_from_repetitions)
                apply_interval(e, s.what_if_repeat_days, r.grade);
        }
        if (learning && day == s.days - 1)
            result.learnt = tally_learnt_cases();
        if (!learning && ann_globals().ann_weights != s.start_weights)
            throw std::runtime_error("the network learnt although its learning rate was 0");
        if (ma_deinit(close_mode::complete) != deinit_status::done)
            throw std::runtime_error("the simulated learner's database could not be saved");
    }
    count.count_known(s.days);
    result.end_weights = ann_globals().ann_weights;
    std::filesystem::remove_all(dir);
    fresh_process_state();
}

}  // namespace

const char* scheduler_name(scheduler_kind kind)
{
    // In the order of the enumeration.
    static constexpr const char* names[] = {"network, learning", "network, built-in", "SM-2", "FSRS-6"};
    static_assert(std::size(names) == static_cast<size_t>(scheduler_kind::fsrs6) + 1);
    return names[static_cast<size_t>(kind)];
}

uint32_t new_items_on(int day, const simulation_settings& settings)
{
    const uint64_t total = settings.items;
    const auto before = static_cast<uint32_t>(total * static_cast<uint64_t>(day) / settings.days);
    const auto after = static_cast<uint32_t>(total * static_cast<uint64_t>(day + 1) / settings.days);
    return after - before;
}

double simulation_result::retention() const { return spaced ? static_cast<double>(recalled) / spaced : 0; }

double simulation_result::first_quarter_retention() const
{
    uint64_t n = 0, r = 0;
    for (size_t w = 0; w < weeks.size() && w < first_quarter_weeks; ++w) {
        n += weeks[w].spaced;
        r += weeks[w].recalled;
    }
    return n ? static_cast<double>(r) / n : 0;
}

double simulation_result::reviews_per_known() const
{
    return known ? static_cast<double>(reviews) / known : INFINITY;
}

simulation_result simulate(scheduler_kind kind, const simulation_settings& settings)
{
    const auto start = std::chrono::steady_clock::now();
    simulation_result result;
    result.scheduler = kind;
    result.settings = settings;
    result.weeks.resize(static_cast<size_t>((settings.days + days_per_week - 1) / days_per_week));
    learner person(settings.family, settings.habit, settings.seed, settings.draw, settings.spread);
    if (kind == scheduler_kind::sm2)
        run_sm2(result, person);
    else if (kind == scheduler_kind::fsrs6)
        run_fsrs6(result, person);
    else
        run_program(result, person, kind == scheduler_kind::network_learning);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}
