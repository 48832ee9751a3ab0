#include "sim_report.h"

#include <cstdio>

namespace {

std::string line(const char* format, auto... values)
{
    char text[512];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

const simulation_result* find(const std::vector<simulation_result>& results, scheduler_kind kind, forgetting truth,
    grading_habit habit)
{
    for (const simulation_result& r : results)
        if (r.scheduler == kind && r.settings.truth == truth && r.settings.habit == habit)
            return &r;
    return nullptr;
}

}  // namespace

std::string result_table(const std::vector<simulation_result>& results)
{
    std::string out =
        "| truth | user | scheduler | reviews | same-day | retention | first quarter | known | reviews/known | stuck | s |\n"
        "|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const simulation_result& r : results)
        out += line("| %s | %s | %s | %llu | %llu | %.3f | %.3f | %u of %u | %.2f | %u | %.0f |\n",
            forgetting_name(r.settings.truth), habit_name(r.settings.habit), scheduler_name(r.scheduler),
            static_cast<unsigned long long>(r.reviews), static_cast<unsigned long long>(r.same_day), r.retention(),
            r.first_quarter_retention(), r.known, r.items, r.reviews_per_known(), r.stuck_sessions, r.seconds);
    return out;
}

std::string weekly_table(const std::vector<simulation_result>& results)
{
    std::string out;
    for (const simulation_result& r : results) {
        out += line("%s, %s, %s:", forgetting_name(r.settings.truth), habit_name(r.settings.habit),
            scheduler_name(r.scheduler));
        for (const week_tally& w : r.weeks)
            out += w.spaced ? line(" %.2f", static_cast<double>(w.recalled) / w.spaced) : std::string(" -");
        out += "\n";
    }
    return out;
}

std::string after_grade_table(const std::vector<simulation_result>& results)
{
    std::string out =
        "| truth | user | scheduler | after 0 | after 1 | after 2 | after 3 | after 4 | after 5 | after a repeat |\n"
        "|---|---|---|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const simulation_result& r : results) {
        out += line("| %s | %s | %s |", forgetting_name(r.settings.truth), habit_name(r.settings.habit),
            scheduler_name(r.scheduler));
        auto cell = [](const week_tally& g) {
            return g.spaced ? line(" %.3f (%u) |", static_cast<double>(g.recalled) / g.spaced, g.spaced) : std::string(" - |");
        };
        for (const week_tally& g : r.after_grade)
            out += cell(g);
        out += cell(r.after_repeat);
        out += "\n";
    }
    return out;
}

std::vector<goal_check> check_goals(const std::vector<simulation_result>& results)
{
    std::vector<goal_check> goals;
    for (forgetting truth : {forgetting::exponential, forgetting::power_law}) {
        const char* t = forgetting_name(truth);
        const grading_habit graded = grading_habit::graded;
        if (const simulation_result* b = find(results, scheduler_kind::network_builtin, truth, graded)) {
            goals.push_back({goal_kind::builtin_retention, truth, line("%s: retention from the built-in weights %.3f within %.2f-%.2f", t, b->retention(),
                                 builtin_retention_low, builtin_retention_high),
                b->retention() >= builtin_retention_low && b->retention() <= builtin_retention_high});
        }
        const simulation_result* sm2 = find(results, scheduler_kind::sm2, truth, graded);
        if (const simulation_result* n = find(results, scheduler_kind::network_learning, truth, graded)) {
            goals.push_back({goal_kind::first_quarter_retention, truth, line("%s: first-quarter retention while learning %.3f at least %.2f", t,
                                 n->first_quarter_retention(), first_quarter_retention_floor),
                n->first_quarter_retention() >= first_quarter_retention_floor});
            if (sm2) {
                goals.push_back({goal_kind::fewer_reviews_than_sm2, truth, line("%s: reviews per known item while learning %.2f below SM-2's %.2f", t,
                                     n->reviews_per_known(), sm2->reviews_per_known()),
                    n->reviews_per_known() < sm2->reviews_per_known()});
            }
        }
        const simulation_result* pf = find(results, scheduler_kind::network_learning, truth, grading_habit::pass_fail);
        const simulation_result* pf_sm2 = find(results, scheduler_kind::sm2, truth, grading_habit::pass_fail);
        if (pf && pf_sm2) {
            goals.push_back({goal_kind::pass_fail_reviews, truth, line("%s: pass/fail user's reviews per known item %.2f at most %.0fx SM-2's %.2f", t,
                                 pf->reviews_per_known(), pass_fail_review_allowance, pf_sm2->reviews_per_known()),
                pf->reviews_per_known() <= pass_fail_review_allowance * pf_sm2->reviews_per_known()});
        }
    }
    uint32_t stuck = 0;
    bool any_network = false;
    for (const simulation_result& r : results)
        if (r.scheduler != scheduler_kind::sm2) {
            stuck += r.stuck_sessions;
            any_network = true;
        }
    if (any_network)
        goals.push_back({goal_kind::no_stuck_session, forgetting::exponential, line("no stuck session (%u)", stuck), stuck == 0});
    return goals;
}
