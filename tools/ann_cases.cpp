// The learner behind the built-in cases.
//
// Memory follows an exponential forgetting curve, recall R(t) = exp(-t / S) for an item of
// stability S days. The scheduler sets each interval so that recall would be 90 % at its end,
// i.e. S = ivl / -ln(0.9), but items are easier or harder than it believes (a log-normal ease
// factor) and the learner is sometimes late. At the review the recall left after the elapsed
// days, blurred by the learner's day-to-day form, decides the grade: the worst recalls get the
// worst grades, in the proportions of the table.
//
// The interval that should have followed is the time until recall falls back to 90 % under the
// stability after the review. For an item of usual difficulty it grows with the elapsed days
// and the grade, less than in proportion for long-held memories (knot_days below, straight in
// log-log between 0, 10 and 100 days). Hard items, those with more repetitions than their
// interval needs, gain less: the target shrinks by exp(-k * extra repetitions), one k for all
// grades. A forgotten item (grade 0) is best reviewed again the same day; only long elapsed
// times leave a trace. Each target then scatters log-normally around the model (the learner's
// own speed of forgetting). k and a scale for grades other than 4 put each grade's median
// target/elapsed ratio where the table needs it, and the scatter is set so that the shipped
// network's error over the cases comes out at the required figure.
#include "ann_cases.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <tuple>

namespace {

constexpr double ln_0_9 = -0.10536051565782628;

// The model's target in days for an item of usual difficulty, by grade, at 0, 10 and 100
// elapsed days; between and beyond, straight in log(days) over log(elapsed + 1), rising by the
// same slope for every passing grade past 100 days so that the grades keep their order.
constexpr double knot_days[6][3] = {
    {0.02, 0.05, 0.4}, {0.1, 0.45, 2.0}, {0.3, 3.0, 27.0}, {2.0, 14.0, 120.0}, {4.0, 34.0, 220.0}, {6.0, 46.0, 240.0}};
constexpr double long_slope = 0.8;

// Repetitions a usual item has gathered by a given interval; more than that marks a hard item.
double usual_repetitions(int ivl) { return 1.3 * std::log(1.0 + ivl); }

// The five rows the table must show at fixed places.
const history_case given_rows[] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {1, 0, 15, 4, 1, 1, 0, 1},
    {3, 3, 22, 3, 5, 5, 0, 262},
    {8, 8, 22, 4, 8, 8, 0, 514},
    {19, 21, 12, 4, 27, 27, 0, 774},
    {1800, 1800, 5, 5, 2048, 2048, 0, 961},
};

// Elapsed-day bands and how many drawn cases fall into each (the given rows fill the rest).
struct band {
    int low, high, count;
};
constexpr band bands[] = {{0, 2, 260}, {3, 7, 251}, {8, 20, 259}, {21, 1500, 186}};

double usual_target(int grade, int elapsed)
{
    const double u = std::log(1.0 + elapsed);
    const double u10 = std::log(11.0), u100 = std::log(101.0);
    const double* k = knot_days[grade];
    double log_days;
    if (u <= u10)
        log_days = std::log(k[0]) + (std::log(k[1]) - std::log(k[0])) * u / u10;
    else if (u <= u100)
        log_days = std::log(k[1]) + (std::log(k[2]) - std::log(k[1])) * (u - u10) / (u100 - u10);
    else
        log_days = std::log(k[2]) + (grade >= 2 ? long_slope : 1.0) * (u - u100);
    return std::exp(log_days);
}

// Hard items gain less: the target shrinks by exp(-hardness * extra repetitions).
double model_target(const history_case& c, double hardness, double scale)
{
    const double extra = std::clamp(c.rp - usual_repetitions(c.ivl), -5.0, 30.0);
    return std::min(2048.0, scale * usual_target(c.grade, c.elapsed) * std::exp(-hardness * extra));
}

double model_median_ratio(const std::vector<history_case>& cases, int grade, double hardness, double scale)
{
    std::vector<double> ratios;
    for (const history_case& c : cases)
        if (c.grade == grade && c.elapsed >= 5)
            ratios.push_back(model_target(c, hardness, scale) / c.elapsed);
    std::sort(ratios.begin(), ratios.end());
    return (ratios[(ratios.size() - 1) / 2] + ratios[ratios.size() / 2]) / 2;
}

bool ratio_counts(const history_case& c) { return c.elapsed >= 5 && c.fixed_position < 0; }

}  // namespace

double uniform01(std::mt19937_64& random) { return static_cast<double>(random() >> 11) * 0x1.0p-53; }

double standard_normal(std::mt19937_64& random)
{
    // Box-Muller on our own uniform draws: the library's distributions differ between vendors.
    const double u = 1.0 - uniform01(random);
    const double v = uniform01(random);
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * std::numbers::pi * v);
}

double median_ratio(const std::vector<history_case>& cases, int grade)
{
    std::vector<double> ratios;
    for (const history_case& c : cases)
        if (c.grade == grade && c.elapsed >= 5)
            ratios.push_back(static_cast<double>(c.target) / c.elapsed);
    if (ratios.empty())
        return -1;
    std::sort(ratios.begin(), ratios.end());
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
                const double u = std::pow(uniform01(random), b.high > 100 ? 1.6 : 1.2);
                elapsed = static_cast<int>(std::lround(b.low * std::pow((b.high + 0.49) / b.low, u)));
                elapsed = std::clamp(elapsed, b.low, b.high);
            }
            // Mostly on time; a fifth of the reviews come late, a few early.
            double lateness = std::exp(0.1 * standard_normal(random));
            if (uniform01(random) < 0.2)
                lateness *= 1.0 + 0.8 * uniform01(random);
            int ivl = elapsed == 0 ? (uniform01(random) < 0.5 ? 0 : 1)
                                   : std::clamp(static_cast<int>(std::lround(elapsed / lateness)), 1, 1800);
            const double ease = std::exp(0.6 * standard_normal(random));
            // Repetitions grow with the interval; hard items pile up lapses.
            const double lapses = -std::log(1.0 - uniform01(random)) * (ease < 0.6 ? 12.0 : 4.0);
            int rp = static_cast<int>(std::lround(usual_repetitions(ivl) * std::exp(0.2 * standard_normal(random)) + lapses));
            rp = std::clamp(ivl == 0 && elapsed == 0 ? rp / 3 : std::max(rp, 1), 0, 110);
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

    // Each grade's median ratio from the model itself, before any scatter: one hardness
    // penalty for all grades, set by grade 4 (the commonest), and a scale for each other grade.
    auto solve = [](double low, double high, bool rising, auto&& median, double want) {
        for (int i = 0; i < 60; ++i) {
            const double mid = (low + high) / 2;
            ((median(mid) < want) == rising ? low : high) = mid;
        }
        return (low + high) / 2;
    };
    const double hardness = solve(-0.5, 0.5, false, [&](double h) { return model_median_ratio(cases, 4, h, 1); },
        case_counts::median_ratio[4]);
    for (int g = 0; g < 6; ++g) {
        const double scale = g == 0 || g == 4 ? 1.0
            : solve(0.1, 10.0, true, [&](double c) { return model_median_ratio(cases, g, hardness, c); },
                case_counts::median_ratio[g]);
        std::fprintf(stderr, "grade %d: hardness %.4f, scale %.4f\n", g, hardness, scale);
        for (history_case& c : cases)
            if (c.grade == g)
                c.model_days = model_target(c, hardness, scale);
    }
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
        const double m = median_ratio(table, g);
        if (std::abs(m - case_counts::median_ratio[g]) > 0.0045) {
            std::snprintf(text, sizeof text, "median ratio of grade %d is %.4f", g, m);
            return text;
        }
    }
    return {};
}
