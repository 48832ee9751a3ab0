// The learner behind the built-in cases.
//
// Each item has a stability S, the days until its recall has fallen to 90 %; recall after t days
// is 0.9^(t / S). The schedule that made the histories aimed every interval at 90 %, so an item's
// stability before a review is taken to be its interval. What follows a review:
// - Recalled (grades 3-5): S grows by a factor 1 + g(S, R), where R is the recall left after the
//   elapsed days. g is 2.4 for a 10-day memory reviewed at 90 %, falls as S^-0.3 with the
//   memory's age (S^-0.2 below 10 days) and rises as exp(1.5 (1 - R)) - 1 the lower the recall
//   was: a review at 70 % teaches more than one at 95 %. A memory recalled after the elapsed days
//   held at least about that long, whatever its interval said. Hard items, those with more
//   repetitions than their interval needs, gain less (down to half), but a recalled item never
//   loses stability: grade 4 earns at least the elapsed days and grade 5 more. Grades 3 and 5
//   scale the gain, the one down (the answer came hard), the other up.
// - Forgotten (grades 0-2): S falls to 1.7 ((S + 1)^0.3 - 1) exp(2 (1 - R)) days, a day or two
//   for a young memory and a few days for an old one; grades 1 and 2 scale it. Before 8 elapsed
//   days the item comes back the next day at the earliest; from then on a blackout (grade 0) is
//   best studied again the same day.
// - A same-day repeat of a forgotten item (no interval, repetitions already counted) comes back
//   after the stability a lapse leaves to a memory of the age its repetitions suggest; a new item
//   after 2, 4 or 6 days for grades 3, 4 and 5.
// The interval that should follow a review is the new stability. Each target then scatters
// log-normally around the model (the learner's own speed of forgetting); the gain scales of grades
// 1, 2, 3 and 5 and the hardness penalty put each grade's median target/elapsed ratio where the
// table needs it, and the scatter is set so that the shipped network's error over the cases comes
// out at the required figure.
#include "ann_cases.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <tuple>

namespace {

constexpr double ln_0_9 = -0.10536051565782628;

// Growth of a recalled memory: 2.4 at S = 10 days and R = 0.9.
constexpr double gain_at_10_days = 2.4;
constexpr double gain_age_exponent = 0.3;
constexpr double young_gain_age_exponent = 0.2;  // below 10 days
constexpr double gain_recall_rise = 1.5;
// What a lapse leaves.
constexpr double lapse_scale = 1.7;
constexpr double lapse_age_exponent = 0.3;
constexpr double lapse_recall_rise = 2.0;
// From this many elapsed days on, a blackout is studied again the same day.
constexpr int relearn_today_from = 8;
// Days until the first review of a new item, by its first grade.
constexpr double new_item_days[6] = {0, 0, 0, 2, 4, 6};
// A forgotten item repeated the same day: its lapse stability, by the grade of the repeat.
constexpr double repeat_factor[6] = {0, 0, 0, 0.85, 1.0, 1.3};
// Hard items gain this much less per repetition beyond the usual, down to a floor.
constexpr double least_ease = 0.5;
constexpr double most_ease = 1.0;

// Repetitions a usual item has gathered by a given interval; more than that marks a hard item.
double usual_repetitions(double ivl) { return 1.3 * std::log(1.0 + ivl); }
// The interval by which a usual item has gathered rp repetitions.
double usual_interval(int rp) { return std::min(2048.0, std::exp(rp / 1.3) - 1.0); }

double recall_after(double days, double stability) { return std::exp(ln_0_9 * days / stability); }

double gain(double stability, double recall)
{
    const double age = stability < 10 ? young_gain_age_exponent : gain_age_exponent;
    return gain_at_10_days * std::pow(stability / 10.0, -age) *
        (std::exp(gain_recall_rise * (1.0 - recall)) - 1.0) / (std::exp(gain_recall_rise * 0.1) - 1.0);
}

double lapse(double stability, double recall)
{
    return lapse_scale * (std::pow(stability + 1.0, lapse_age_exponent) - 1.0) *
        std::exp(lapse_recall_rise * (1.0 - recall));
}

// Elapsed-day bands and how many drawn cases fall into each (the given rows fill the rest).
struct band {
    int low, high, count;
};
constexpr band bands[] = {{0, 2, 260}, {3, 7, 251}, {8, 20, 259}, {21, 1500, 186}};
// Of the same-day grades, the share of new items.
constexpr double new_item_share = 0.35;

// Per grade: how much of the gain (grades 3-5) or of the lapse stability (grades 0-2) a review
// with that grade earns.
struct grade_scales {
    double of[6] = {1, 1, 1, 1, 1, 1};
};

double model_target(const history_case& c, double hardness, const grade_scales& scales)
{
    const int g = c.grade;
    const double scale = scales.of[g];
    const bool passed = g >= 3;
    if (c.ivl == 0 && c.elapsed == 0) {
        if (!passed)
            return 0;
        if (c.rp == 0)
            return new_item_days[g];
        return std::max(1.0, lapse(usual_interval(c.rp), 0.9) * repeat_factor[g]);
    }
    // The stability before the review: the interval, or what a lapse left (no interval yet).
    double before = c.ivl > 0 ? c.ivl : c.rp == 0 ? 1.0 : lapse(usual_interval(c.rp), 0.9);
    const double recall = recall_after(c.elapsed, before);
    if (!passed) {
        if (g == 0 && c.elapsed >= relearn_today_from)
            return 0;
        // A young memory comes back the next day rather than the same day: a same-day repeat
        // would earn the interval of a new item.
        const double least = c.elapsed < relearn_today_from ? 1.0 : 0.0;
        return std::max(least, lapse(before, recall) * (g == 0 ? 1.0 : scale));
    }
    // Recalled.
    before = std::max(before, 0.6 * c.elapsed);
    const double extra = c.rp - usual_repetitions(before);
    const double ease = std::clamp(std::exp(-hardness * extra), least_ease, most_ease);
    double days = before * (1.0 + gain(before, recall_after(c.elapsed, before)) * ease * scale);
    if (g == 4)
        days = std::max(days, static_cast<double>(c.elapsed));
    if (g == 5)
        days = std::max(days, c.elapsed + 1.0);
    return std::min(2048.0, days);
}

double model_median_ratio(const std::vector<history_case>& cases, int grade, double hardness, const grade_scales& s)
{
    std::vector<double> ratios;
    for (const history_case& c : cases)
        if (c.grade == grade && c.elapsed >= 5)
            ratios.push_back(model_target(c, hardness, s) / c.elapsed);
    std::sort(ratios.begin(), ratios.end());
    return (ratios[(ratios.size() - 1) / 2] + ratios[ratios.size() / 2]) / 2;
}

bool ratio_counts(const history_case& c) { return c.elapsed >= 5 && c.fixed_position < 0; }

}  // namespace

const history_case given_rows[6] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {1, 0, 15, 4, 1, 1, 0, 1},
    {3, 3, 22, 3, 5, 5, 0, 262},
    {8, 8, 22, 4, 8, 8, 0, 514},
    {19, 21, 12, 4, 27, 27, 0, 774},
    {1800, 1800, 5, 5, 2048, 2048, 0, 961},
};

double uniform01(std::mt19937_64& random) { return static_cast<double>(random() >> 11) * 0x1.0p-53; }

double standard_normal(std::mt19937_64& random)
{
    // Box-Muller on our own uniform draws: the library's distributions differ between vendors.
    const double u = 1.0 - uniform01(random);
    const double v = uniform01(random);
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * std::numbers::pi * v);
}

namespace {

// The grade's target/elapsed ratios among cases with at least 5 elapsed days, in order.
std::vector<double> sorted_ratios(const std::vector<history_case>& cases, int grade)
{
    std::vector<double> ratios;
    for (const history_case& c : cases)
        if (c.grade == grade && c.elapsed >= 5)
            ratios.push_back(static_cast<double>(c.target) / c.elapsed);
    std::sort(ratios.begin(), ratios.end());
    return ratios;
}

}  // namespace

double median_ratio(const std::vector<history_case>& cases, int grade)
{
    const std::vector<double> ratios = sorted_ratios(cases, grade);
    if (ratios.empty())
        return -1;
    const size_t n = ratios.size();
    return (ratios[(n - 1) / 2] + ratios[n / 2]) / 2;
}

std::vector<history_case> draw_histories(std::mt19937_64& random)
{
    std::vector<history_case> cases;
    std::vector<double> recall_score;
    for (const band& b : bands) {
        for (int i = 0; i < b.count; ++i) {
            history_case c;
            int elapsed;
            if (b.high == 2) {
                const double u = uniform01(random);
                elapsed = u < 0.3 ? 0 : u < 0.72 ? 1 : 2;
            } else {
                // Shorter elapsed times are more common: log-uniform with a lean to the short end.
                const double u = std::pow(uniform01(random), b.high > 100 ? 2.2 : 1.2);
                elapsed = static_cast<int>(std::lround(b.low * std::pow((b.high + 0.49) / b.low, u)));
                elapsed = std::clamp(elapsed, b.low, b.high);
            }
            // Mostly on time; a fifth of the reviews come late, a few early.
            double lateness = std::exp(0.1 * standard_normal(random));
            if (uniform01(random) < 0.2)
                lateness *= 1.0 + 0.8 * uniform01(random);
            // Same-day grades: a new item or an item forgotten and repeated (no interval yet).
            const double kind = uniform01(random);
            int ivl = elapsed == 0 ? 0 : std::clamp(static_cast<int>(std::lround(elapsed / lateness)), 1, 1800);
            const double ease = std::exp(0.6 * standard_normal(random));
            // Repetitions grow with the interval; hard items pile up lapses.
            const double lapses = -std::log(1.0 - uniform01(random)) * (ease < 0.6 ? 12.0 : 4.0);
            int rp = static_cast<int>(std::lround(usual_repetitions(ivl) * std::exp(0.2 * standard_normal(random)) + lapses));
            rp = std::clamp(elapsed == 0 && kind < new_item_share ? 0 : std::max(rp, 1), 0, 110);
            const double stability = std::max(ivl, 1) / -ln_0_9 * ease;
            const double recall = std::exp(-elapsed / stability);
            recall_score.push_back(std::log(recall) + 0.12 * standard_normal(random));
            c.ivl = static_cast<uint16_t>(ivl);
            c.elapsed = static_cast<uint16_t>(elapsed);
            c.rp = static_cast<uint16_t>(rp);
            c.scatter = standard_normal(random);
            cases.push_back(c);
        }
    }
    // The heaviest item seen: the one with most repetitions reaches the table's 110.
    auto most = std::max_element(cases.begin(), cases.end(), [](const history_case& a, const history_case& b) { return a.rp < b.rp; });
    most->rp = 110;

    // Grades by rank of recall, in the table's proportions (the given rows hold the rest).
    std::vector<size_t> order(cases.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return recall_score[a] < recall_score[b]; });
    int drawn_per_grade[6];
    for (int g = 0; g < 6; ++g)
        drawn_per_grade[g] = case_counts::grades[g];
    for (const history_case& r : given_rows)
        --drawn_per_grade[r.grade];
    size_t next = 0;
    for (int g = 0; g < 6; ++g)
        for (int i = 0; i < drawn_per_grade[g]; ++i)
            cases[order[next++]].grade = static_cast<uint16_t>(g);

    // Each grade's median ratio from the model itself, before any scatter: the hardness penalty
    // is set by grade 4 (the commonest), a scale for each other grade.
    auto solve = [](double low, double high, bool rising, auto&& median, double want) {
        for (int i = 0; i < 60; ++i) {
            const double mid = (low + high) / 2;
            ((median(mid) < want) == rising ? low : high) = mid;
        }
        return (low + high) / 2;
    };
    grade_scales scales;
    const double hardness = solve(-0.5, 0.5, false, [&](double h) { return model_median_ratio(cases, 4, h, scales); },
        case_counts::median_ratio[4]);
    for (int g : {1, 2, 3, 5}) {
        scales.of[g] = solve(0.01, 10.0, true,
            [&](double k) {
                grade_scales trial = scales;
                trial.of[g] = k;
                return model_median_ratio(cases, g, hardness, trial);
            },
            case_counts::median_ratio[g]);
    }
    for (int g = 0; g < 6; ++g)
        std::fprintf(stderr, "grade %d: hardness %.4f, scale %.4f, median %.3f\n", g, hardness, scales.of[g],
            model_median_ratio(cases, g, hardness, scales));
    for (history_case& c : cases)
        c.model_days = model_target(c, hardness, scales);
    for (const history_case& r : given_rows)
        cases.push_back(r);
    return cases;
}

void scatter_targets(std::vector<history_case>& cases, double sigma)
{
    for (history_case& c : cases) {
        if (c.fixed_position >= 0)
            continue;
        const double days = std::round(c.model_days * std::exp(sigma * c.scatter));
        c.target = static_cast<uint16_t>(std::clamp(days, 0.0, 2048.0));
    }
    // Both middle ratios of each grade must round to the wanted median: move cases into the
    // window, those that change least first, until enough lie on each side.
    constexpr double half_window = 0.004;
    for (int g = 0; g < 6; ++g) {
        const double want = case_counts::median_ratio[g];
        for (int side = 0; side < 2; ++side) {
            for (;;) {
                std::vector<history_case*> members;
                for (history_case& c : cases)
                    if (c.grade == g && c.elapsed >= 5)
                        members.push_back(&c);
                const size_t n = members.size();
                const size_t allowed = side == 0 ? (n - 1) / 2 : n - 1 - n / 2;
                size_t outside = 0;
                history_case* nearest = nullptr;
                double nearest_ratio = 0;  // its change
                for (history_case* c : members) {
                    const double ratio = static_cast<double>(c->target) / c->elapsed;
                    const bool beyond = side == 0 ? ratio < want - half_window : ratio > want + half_window;
                    if (!beyond)
                        continue;
                    ++outside;
                    const double fitting = std::round(want * c->elapsed);
                    if (!ratio_counts(*c) || fitting > 2048 || std::abs(fitting / c->elapsed - want) > half_window)
                        continue;
                    // The least change to the encoded target, so the error moves smoothly.
                    const double change = std::abs(std::sqrt(fitting) - std::sqrt(static_cast<double>(c->target)));
                    if (!nearest || change < nearest_ratio) {
                        nearest = c;
                        nearest_ratio = change;
                    }
                }
                if (outside <= allowed || !nearest)
                    break;
                nearest->target = static_cast<uint16_t>(std::round(want * nearest->elapsed));
            }
        }
    }
}

std::vector<history_case> table_order(std::vector<history_case> cases)
{
    // Among equal elapsed days a given row comes first, except the last row, which ends the table.
    auto key = [](const history_case& c) {
        const int rank = c.fixed_position == 961 ? 2 : c.fixed_position >= 0 ? 0 : 1;
        return std::make_tuple(c.elapsed, rank, c.fixed_position, c.ivl, c.rp, c.grade, c.target);
    };
    std::stable_sort(cases.begin(), cases.end(), [&](const history_case& a, const history_case& b) { return key(a) < key(b); });
    return cases;
}

std::string case_table_faults(const std::vector<history_case>& table)
{
    char text[160];
    if (table.size() != 962)
        return "wrong number of cases";
    int grades[6] = {};
    for (size_t i = 0; i < table.size(); ++i) {
        const history_case& c = table[i];
        if (c.fixed_position >= 0 && static_cast<size_t>(c.fixed_position) != i) {
            std::snprintf(text, sizeof text, "given row %d landed at %zu", c.fixed_position, i);
            return text;
        }
        if (c.grade > 5 || c.rp > 110 || c.ivl > 1800 || c.elapsed > 1800 || c.target > 2048)
            return "value out of range";
        if (i > 0 && c.elapsed < table[i - 1].elapsed)
            return "not sorted";
        ++grades[c.grade];
    }
    for (int g = 0; g < 6; ++g)
        if (grades[g] != case_counts::grades[g])
            return "grade counts";
    const int firsts[3][2] = {{2, 262}, {7, 514}, {20, 774}};
    for (const auto& f : firsts) {
        size_t i = 0;
        while (i < table.size() && table[i].elapsed <= f[0])
            ++i;
        if (static_cast<int>(i) != f[1])
            return "band boundaries";
    }
    for (int g = 0; g < 6; ++g) {
        // Either middle ratio, and their mean, round to the wanted two decimals.
        const std::vector<double> ratios = sorted_ratios(table, g);
        const double m = median_ratio(table, g);
        const double low = ratios.empty() ? -1 : ratios[(ratios.size() - 1) / 2], high = ratios.empty() ? -1 : ratios[ratios.size() / 2];
        const double want = case_counts::median_ratio[g];
        if (std::abs(m - want) > 0.0045 || std::abs(low - want) > 0.005 || std::abs(high - want) > 0.005) {
            std::snprintf(text, sizeof text, "median ratio of grade %d is %.4f", g, m);
            return text;
        }
    }
    return {};
}
