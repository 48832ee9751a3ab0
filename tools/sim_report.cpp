#include "sim_report.h"

#include <cstdio>
#include <map>
#include <tuple>

#include "ann_rules.h"

namespace {

std::string line(const char* format, auto... values)
{
    char text[512];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

const family_summary* find(const std::vector<family_summary>& rows, learner_family family, grading_habit habit,
    scheduler_kind kind, bool reference = false)
{
    for (const family_summary& r : rows)
        if (r.family == family && r.habit == habit && r.scheduler == kind && r.reference_tables == reference)
            return &r;
    return nullptr;
}

std::string scheduler_label(const family_summary& r)
{
    return std::string(scheduler_name(r.scheduler)) + (r.reference_tables ? " (e140667)" : "");
}

std::string run_label(const simulation_result& r)
{
    return line("%s #%u | %s | %s", family_name(r.settings.family), r.settings.draw, habit_name(r.settings.habit),
        scheduler_name(r.scheduler));
}

std::string rate_cell(const week_tally& g)
{
    return g.spaced ? line(" %.3f (%u) |", static_cast<double>(g.recalled) / g.spaced, g.spaced) : std::string(" - |");
}

}  // namespace

std::vector<family_summary> summarize(const std::vector<simulation_result>& results,
    const std::array<float, ann_weight_count>* reference)
{
    std::vector<family_summary> rows;
    for (const simulation_result& r : results) {
        const bool ref = reference && r.scheduler != scheduler_kind::sm2 && r.scheduler != scheduler_kind::fsrs6 &&
            r.settings.start_weights == *reference;
        family_summary* row = nullptr;
        for (family_summary& s : rows)
            if (s.family == r.settings.family && s.habit == r.settings.habit && s.scheduler == r.scheduler && s.reference_tables == ref)
                row = &s;
        if (!row)
            row = &rows.emplace_back(family_summary{r.settings.family, r.settings.habit, r.scheduler, ref});
        ++row->learners;
        row->reviews += static_cast<double>(r.reviews);
        row->same_day += static_cast<double>(r.same_day);
        row->repeats_after_pass += static_cast<double>(r.repeats_after_pass);
        row->retention += r.retention();
        row->first_quarter += r.first_quarter_retention();
        row->known += r.known;
        row->items += r.items;
        row->reviews_per_known += r.reviews_per_known();
        row->stuck += r.stuck_sessions;
        row->seconds += r.seconds;
    }
    for (family_summary& s : rows) {
        const double n = s.learners;
        for (double* f : {&s.reviews, &s.same_day, &s.repeats_after_pass, &s.retention, &s.first_quarter, &s.known, &s.items,
                 &s.reviews_per_known, &s.stuck})
            *f /= n;
    }
    return rows;
}

std::string summary_table(const std::vector<family_summary>& rows)
{
    std::string out =
        "| family | user | scheduler | reviews | same-day (after a pass) | retention | first 13 weeks | known | reviews/known | stuck | s |\n"
        "|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const family_summary& r : rows)
        out += line("| %s | %s | %s | %.0f | %.0f (%.0f) | %.3f | %.3f | %.0f of %.0f | %.2f | %.1f | %.0f |\n",
            family_name(r.family), habit_name(r.habit), scheduler_label(r).c_str(), r.reviews, r.same_day,
            r.repeats_after_pass, r.retention, r.first_quarter, r.known, r.items, r.reviews_per_known, r.stuck, r.seconds);
    return out;
}

std::string after_grade_table(const std::vector<simulation_result>& results)
{
    std::string out =
        "| learner | user | scheduler | after 0 | after 1 | after 2 | after 3 | after 4 | after 5 | after a repeat |\n"
        "|---|---|---|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const simulation_result& r : results) {
        out += "| " + run_label(r) + " |";
        for (const week_tally& g : r.after_grade)
            out += rate_cell(g);
        out += rate_cell(r.after_repeat) + "\n";
    }
    return out;
}

std::string first_quarter_table(const std::vector<simulation_result>& results)
{
    std::string out = "| learner | user | scheduler | grade before | after 0 spaced | 1 | 2 | 3 or more |\n"
                      "|---|---|---|---|---:|---:|---:|---:|\n";
    for (const simulation_result& r : results)
        for (size_t g = 0; g < r.first_quarter_by.size(); ++g) {
            uint32_t any = 0;
            for (const week_tally& t : r.first_quarter_by[g])
                any += t.spaced;
            if (any == 0)
                continue;
            out += "| " + run_label(r) + (g == 6 ? std::string(" | a repeat |") : line(" | %zu |", g));
            for (const week_tally& t : r.first_quarter_by[g])
                out += rate_cell(t);
            out += "\n";
        }
    return out;
}

std::string floor_check_table(const std::vector<simulation_result>& results)
{
    std::string out = "| learner | user | grade 3 at 0 days | grade 4 below elapsed | grade 5 not above elapsed |\n"
                      "|---|---|---:|---:|---:|\n";
    const std::array<float, ann_weight_count> kept = ann_globals().ann_weights;
    for (const simulation_result& r : results) {
        if (r.scheduler != scheduler_kind::network_learning)
            continue;
        ann_globals().ann_weights = r.end_weights;
        const std::array<uint64_t, 3> below = answers_below_floors(true);
        out += line("| %s #%u | %s | %llu | %llu | %llu |\n", family_name(r.settings.family), r.settings.draw,
            habit_name(r.settings.habit), static_cast<unsigned long long>(below[0]), static_cast<unsigned long long>(below[1]),
            static_cast<unsigned long long>(below[2]));
    }
    ann_globals().ann_weights = kept;
    return out;
}

std::string learnt_cases_table(const std::vector<simulation_result>& results)
{
    std::string out = "| learner | user | grade 0 | 1 | 2 | 3 | 4 | 5 |\n|---|---|---:|---:|---:|---:|---:|---:|\n";
    for (const simulation_result& r : results) {
        if (r.scheduler != scheduler_kind::network_learning)
            continue;
        out += line("| %s #%u | %s |", family_name(r.settings.family), r.settings.draw, habit_name(r.settings.habit));
        for (const learnt_cases& c : r.learnt)
            out += c.count ? line(" %u: x%.2f, %u shorter |", c.count, c.median_ratio, c.shorter) : std::string(" - |");
        out += "\n";
    }
    return out;
}

std::vector<goal_check> check_goals(const std::vector<family_summary>& rows)
{
    std::vector<goal_check> goals;
    const grading_habit graded = grading_habit::graded;
    for (learner_family family : all_families) {
        const char* f = family_name(family);
        for (const family_summary& r : rows)
            if (r.family == family && r.scheduler == scheduler_kind::network_learning && !r.reference_tables)
                goals.push_back({goal_kind::no_loop, family,
                    line("%s, %s: stuck sessions %.1f, same-day repeats after a pass %.0f: none", f, habit_name(r.habit), r.stuck,
                        r.repeats_after_pass),
                    r.stuck == 0 && r.repeats_after_pass == 0});
        const family_summary* learning = find(rows, family, graded, scheduler_kind::network_learning);
        const family_summary* sm2 = find(rows, family, graded, scheduler_kind::sm2);
        if (learning && sm2) {
            goals.push_back({goal_kind::graded_reviews, family,
                line("%s, graded: reviews per known item %.2f at most SM-2's %.2f", f, learning->reviews_per_known, sm2->reviews_per_known),
                learning->reviews_per_known <= sm2->reviews_per_known});
            goals.push_back({goal_kind::first_quarter_retention, family,
                line("%s, graded: first 13 weeks' retention %.3f at least SM-2's %.3f - %.2f", f, learning->first_quarter,
                    sm2->first_quarter, first_quarter_allowance),
                learning->first_quarter >= sm2->first_quarter - first_quarter_allowance});
        }
        const family_summary* pf = find(rows, family, grading_habit::pass_fail, scheduler_kind::network_learning);
        const family_summary* pf_sm2 = find(rows, family, grading_habit::pass_fail, scheduler_kind::sm2);
        if (pf && pf_sm2)
            goals.push_back({goal_kind::pass_fail_reviews, family,
                line("%s, pass/fail: reviews per known item %.2f at most %.1fx SM-2's %.2f", f, pf->reviews_per_known,
                    pass_fail_review_allowance, pf_sm2->reviews_per_known),
                pf->reviews_per_known <= pass_fail_review_allowance * pf_sm2->reviews_per_known});
        const family_summary* builtin = find(rows, family, graded, scheduler_kind::network_builtin);
        if (builtin)
            goals.push_back({goal_kind::builtin_retention, family,
                line("%s, graded: retention from the built-in weights %.3f at least %.2f", f, builtin->retention, builtin_retention_floor),
                builtin->retention >= builtin_retention_floor});
        for (const family_summary& r : rows) {
            if (r.family != family || r.scheduler != scheduler_kind::network_builtin || r.reference_tables)
                continue;
            if (const family_summary* ref = find(rows, family, r.habit, scheduler_kind::network_builtin, true))
                goals.push_back({goal_kind::builtin_not_worse, family,
                    line("%s, %s: built-in weights' retention %.3f and items known %.0f not below e140667's %.3f and %.0f", f,
                        habit_name(r.habit), r.retention, r.known, ref->retention, ref->known),
                    r.retention >= ref->retention && r.known >= ref->known});
        }
        const family_summary* fsrs = find(rows, family, graded, scheduler_kind::fsrs6);
        if (learning && fsrs)
            goals.push_back({goal_kind::fsrs_distance, family,
                line("%s, graded: reviews per known item %.2f, FSRS-6's %.2f (%+.0f %%), SM-2's %.2f", f, learning->reviews_per_known,
                    fsrs->reviews_per_known, 100.0 * (learning->reviews_per_known / fsrs->reviews_per_known - 1.0),
                    sm2 ? sm2->reviews_per_known : 0.0),
                true});
    }
    return goals;
}
