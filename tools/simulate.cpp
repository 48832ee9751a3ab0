// Measures how well the program teaches: simulated learners of several families, each with its
// own parameters, review every day for two years, scheduled by the program (learning from their
// grades, and with its built-in weights alone) and by SM-2 and FSRS-6 on the same items and luck.
//
//     simulate [--days N] [--items N] [--seed N] [--learners N] [--first-draw N]
//              [--family exponential|power|fsrs|actr|hlr|all] [--user graded|sparing|pass-fail|generous|noisy|all]
//              [--scheduler learning|builtin|sm2|fsrs|all] [--tables current|e140667] [--no-reference]
//              [--weights FILE] [--what-if-repeat DAYS[:REPETITIONS]] [--details] [--check]
//
// --learners draws that many learners of each family, from draw --first-draw on (0), so that a
// choice made on some draws can be judged alone on others; --tables starts the network from the
// built-in weights of today or of commit e140667; unless --no-reference, the built-in weights of
// e140667 alone are run too, as the reference the built-in weights are held to; --weights starts
// from a weights.bin instead; --what-if-repeat reschedules every passed same-day repeat of an
// item with at least REPETITIONS (default 1) repetitions DAYS ahead, which the program does not
// do; --details adds each run's retention by grade before, the first 13 weeks' breakdown and the
// dense-grid check of the learnt weights; --check makes the exit status 1 when a goal is missed.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "reference_tables.h"
#include "sim_report.h"
#include "simulation.h"

namespace {

int usage(const char* program)
{
    std::fprintf(stderr,
        "usage: %s [--days N] [--items N] [--seed N] [--learners N] [--first-draw N] [--spread X]\n"
        "          [--family exponential|power|fsrs|actr|hlr|all] [--user graded|sparing|pass-fail|generous|noisy|all]\n"
        "          [--scheduler learning|builtin|sm2|fsrs|all] [--tables current|e140667] [--no-reference]\n"
        "          [--weights FILE] [--what-if-repeat DAYS[:REPETITIONS]] [--details] [--check]\n",
        program);
    return 2;
}

// The whole of `text` as a number: a typing slip is refused, not read as 0 or cut short.
template <class T>
bool number(std::string_view text, T& out)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

bool read_weights(const char* path, std::array<float, ann_weight_count>& weights)
{
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    const bool whole = std::fread(weights.data(), sizeof(float), weights.size(), f) == weights.size();
    std::fclose(f);
    return whole;
}

template <typename T>
bool pick(const std::string& value, const std::vector<std::pair<const char*, T>>& names, std::vector<T>& chosen)
{
    if (value == "all")
        return true;
    for (const auto& [name, v] : names)
        if (value == name) {
            chosen = {v};
            return true;
        }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    simulation_settings base;
    uint32_t learners = 2;
    uint32_t first_draw = 0;
    std::vector<learner_family> families(all_families.begin(), all_families.end());
    std::vector<grading_habit> habits = {grading_habit::graded, grading_habit::sparing_with_5, grading_habit::pass_fail,
        grading_habit::generous, grading_habit::noisy};
    std::vector<scheduler_kind> kinds = {scheduler_kind::network_learning, scheduler_kind::network_builtin, scheduler_kind::sm2,
        scheduler_kind::fsrs6};
    bool check = false, details = false, reference = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto is = [&](const char* name) { return a == name && value && ++i; };
        bool ok = true;
        if (is("--days"))
            ok = number(value, base.days);
        else if (is("--items"))
            ok = number(value, base.items);
        else if (is("--seed"))
            ok = number(value, base.seed);
        else if (is("--learners"))
            ok = number(value, learners);
        else if (is("--first-draw"))
            ok = number(value, first_draw);
        else if (is("--spread"))
            ok = number(value, base.spread);
        else if (is("--family"))
            ok = pick<learner_family>(value, {{"exponential", learner_family::exponential}, {"power", learner_family::power_law},
                {"fsrs", learner_family::fsrs6}, {"actr", learner_family::act_r}, {"hlr", learner_family::half_life_regression}},
                families);
        else if (is("--user"))
            ok = pick<grading_habit>(value, {{"graded", grading_habit::graded}, {"sparing", grading_habit::sparing_with_5},
                {"pass-fail", grading_habit::pass_fail}, {"generous", grading_habit::generous}, {"noisy", grading_habit::noisy}},
                habits);
        else if (is("--scheduler"))
            ok = pick<scheduler_kind>(value, {{"learning", scheduler_kind::network_learning}, {"builtin", scheduler_kind::network_builtin},
                {"sm2", scheduler_kind::sm2}, {"fsrs", scheduler_kind::fsrs6}}, kinds);
        else if (is("--tables")) {
            ok = std::strcmp(value, "current") == 0 || std::strcmp(value, "e140667") == 0;
            if (std::strcmp(value, "e140667") == 0)
                base.start_weights = e140667_weights;
        } else if (is("--weights")) {
            if (!read_weights(value, base.start_weights)) {
                std::fprintf(stderr, "cannot read 640 bytes of weights from %s\n", value);
                return 1;
            }
        } else if (is("--what-if-repeat")) {
            const std::string_view what(value);
            const size_t colon = what.find(':');
            ok = number(what.substr(0, colon), base.what_if_repeat_days)
                && (colon == std::string_view::npos || number(what.substr(colon + 1), base.what_if_from_repetitions));
        } else if (a == "--no-reference")
            reference = false;
        else if (a == "--details")
            details = true;
        else if (a == "--check")
            check = true;
        else
            ok = false;
        if (!ok)
            return usage(argv[0]);
    }
    if (base.days <= 0 || base.items == 0 || learners == 0 || !(base.spread >= 0))
        return usage(argv[0]);
    const bool compare = reference && base.start_weights != e140667_weights;

    std::vector<simulation_result> results;
    auto run = [&](scheduler_kind kind, simulation_settings s) {
        results.push_back(simulate(kind, s));
        const simulation_result& r = results.back();
        std::fprintf(stderr, "%s #%u, %s, %s%s: %llu reviews, retention %.3f, %.2f reviews per known item (%.0f s)\n",
            family_name(s.family), s.draw, habit_name(s.habit), scheduler_name(kind),
            s.start_weights == e140667_weights && kind == scheduler_kind::network_builtin ? " (e140667)" : "",
            static_cast<unsigned long long>(r.reviews), r.retention(), r.reviews_per_known(), r.seconds);
    };
    for (learner_family family : families)
        for (uint32_t draw = first_draw; draw < first_draw + learners; ++draw)
            for (grading_habit habit : habits) {
                simulation_settings s = base;
                s.family = family;
                s.draw = draw;
                s.habit = habit;
                for (scheduler_kind kind : kinds)
                    run(kind, s);
                if (compare && std::find(kinds.begin(), kinds.end(), scheduler_kind::network_builtin) != kinds.end()) {
                    s.start_weights = e140667_weights;
                    run(scheduler_kind::network_builtin, s);
                }
            }
    const std::vector<family_summary> rows = summarize(results, compare ? &e140667_weights : nullptr);
    std::printf("%d days, %u new items, seed %llu, %u learners per family (spread %.2g); each row the mean over a family's "
                "learners\n\n%s\n",
        base.days, base.items, static_cast<unsigned long long>(base.seed), learners, base.spread, summary_table(rows).c_str());
    if (details)
        std::printf("Retention by the grade before:\n\n%s\nThe first 13 weeks by the grade before and the spaced reviews before:\n\n%s\n"
                    "Answers below their floors on the dense grid after the run:\n\n%s\n"
                    "Cases learnt, by the grade of the review they describe: count, median target / elapsed days, and "
                    "how many ask for fewer days than had elapsed:\n\n%s\n",
            after_grade_table(results).c_str(), first_quarter_table(results).c_str(), floor_check_table(results).c_str(),
            learnt_cases_table(results).c_str());
    bool all_met = true;
    for (const goal_check& g : check_goals(rows)) {
        const bool reported = g.kind == goal_kind::fsrs_distance;
        std::printf("%s  %s\n", reported ? "report" : g.met ? "met   " : "MISSED", g.goal.c_str());
        all_met = all_met && g.met;
    }
    return check && !all_met ? 1 : 0;
}
