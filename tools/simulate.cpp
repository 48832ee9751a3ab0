// Measures how well the program teaches: simulated learners review every day for a year,
// scheduled by the program (learning from their grades, and with its built-in weights alone)
// and by SM-2 on the same items and the same luck.
//
//     simulate [--days N] [--items N] [--seed N] [--truth exponential|power|both]
//              [--user graded|sparing|pass-fail|all] [--scheduler learning|builtin|sm2|all]
//              [--weights FILE] [--what-if-repeat DAYS[:REPETITIONS]] [--check]
//
// --weights starts the network from a weights.bin instead of the built-in weights (to compare
// tables); --what-if-repeat reschedules every passed same-day repeat of an item with at least
// REPETITIONS (default 1) repetitions DAYS ahead, which the program does not do: it measures what
// the network's answers for such repeats cost; --check makes the exit status 1 when a goal judged by the runs is missed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim_report.h"
#include "simulation.h"

namespace {

int usage(const char* program)
{
    std::fprintf(stderr,
        "usage: %s [--days N] [--items N] [--seed N] [--truth exponential|power|both]\n"
        "          [--user graded|sparing|pass-fail|all] [--scheduler learning|builtin|sm2|all]\n"
        "          [--weights FILE] [--what-if-repeat DAYS[:REPETITIONS]] [--check]\n",
        program);
    return 2;
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

}  // namespace

int main(int argc, char** argv)
{
    simulation_settings base;
    std::vector<forgetting> truths = {forgetting::exponential, forgetting::power_law};
    std::vector<grading_habit> habits = {grading_habit::graded, grading_habit::sparing_with_5, grading_habit::pass_fail};
    std::vector<scheduler_kind> kinds = {scheduler_kind::network_learning, scheduler_kind::network_builtin, scheduler_kind::sm2};
    bool check = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto is = [&](const char* name) { return a == name && value && ++i; };
        if (is("--days"))
            base.days = std::atoi(value);
        else if (is("--items"))
            base.items = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
        else if (is("--seed"))
            base.seed = std::strtoull(value, nullptr, 10);
        else if (is("--truth")) {
            const std::string v = value;
            truths = v == "exponential" ? std::vector{forgetting::exponential}
                : v == "power"          ? std::vector{forgetting::power_law}
                                        : truths;
        } else if (is("--user")) {
            const std::string v = value;
            habits = v == "graded"  ? std::vector{grading_habit::graded}
                : v == "sparing"    ? std::vector{grading_habit::sparing_with_5}
                : v == "pass-fail"  ? std::vector{grading_habit::pass_fail}
                                    : habits;
        } else if (is("--scheduler")) {
            const std::string v = value;
            kinds = v == "learning" ? std::vector{scheduler_kind::network_learning}
                : v == "builtin"    ? std::vector{scheduler_kind::network_builtin}
                : v == "sm2"        ? std::vector{scheduler_kind::sm2}
                                    : kinds;
        } else if (is("--weights")) {
            if (!read_weights(value, base.start_weights)) {
                std::fprintf(stderr, "cannot read 640 bytes of weights from %s\n", value);
                return 1;
            }
        } else if (is("--what-if-repeat")) {
            char* end = nullptr;
            base.what_if_repeat_days = static_cast<uint16_t>(std::strtoul(value, &end, 10));
            if (*end == ':')
                base.what_if_from_repetitions = static_cast<uint16_t>(std::strtoul(end + 1, nullptr, 10));
        } else if (a == "--check")
            check = true;
        else
            return usage(argv[0]);
    }
    if (base.days <= 0 || base.items == 0)
        return usage(argv[0]);

    std::vector<simulation_result> results;
    for (forgetting truth : truths)
        for (grading_habit habit : habits)
            for (scheduler_kind kind : kinds) {
                simulation_settings s = base;
                s.truth = truth;
                s.habit = habit;
                results.push_back(simulate(kind, s));
                const simulation_result& r = results.back();
                std::fprintf(stderr, "%s, %s, %s: %llu reviews, retention %.3f, %.2f reviews per known item (%.0f s)\n",
                    forgetting_name(truth), habit_name(habit), scheduler_name(kind),
                    static_cast<unsigned long long>(r.reviews), r.retention(), r.reviews_per_known(), r.seconds);
            }
    std::printf("%d days, %u new items, seed %llu\n\n%s\nRetention by the grade before:\n\n%s\nRetention week by week:\n%s\n",
        base.days, base.items, static_cast<unsigned long long>(base.seed), result_table(results).c_str(),
        after_grade_table(results).c_str(), weekly_table(results).c_str());
    bool all_met = true;
    for (const goal_check& g : check_goals(results)) {
        std::printf("%s  %s\n", g.met ? "met   " : "MISSED", g.goal.c_str());
        all_met = all_met && g.met;
    }
    return check && !all_met ? 1 : 0;
}
