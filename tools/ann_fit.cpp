// Two stages. First gradient descent (Adam) in double precision on the network's forward pass,
// with penalties that pull each of the eighteen answers into the inner half of the band of
// outputs that decode to it, push apart pairs of grid histories that would break the order, lift
// the answer after the longest absence (grades 4 and 5) clear of the answer after none, and lift
// the passing grades' answers to their floors (ann_rules.h).
// Then the answers are placed exactly: the output sum is linear in the output weights, so with
// the hidden units left as they are, a least-change correction of the free output weights that
// puts every answer in the middle of its band while keeping the order is a small linear problem.
// It is solved, checked in single precision with the program's own code, and repeated with the
// pairs and floors it broke added, until everything holds; the floors last on the dense grid.
#include "ann_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include "ann_cases.h"
#include "ann_rules.h"
#include "ann/network.h"

namespace {

using weights = std::array<double, ann_weight_count>;

struct run {
    double h[ann_hidden];
    double s, y;
};

double logistic(double s) { return 1.0 / (1.0 + std::exp(-s)); }
double logit(double y) { return std::log(y / (1.0 - y)); }

void forward(const weights& w, const std::array<double, 4>& x, run& r)
{
    r.s = 0;
    for (int j = 0; j < ann_hidden; ++j) {
        const double* u = &w[4 * j];
        r.h[j] = logistic(u[0] * x[0] + u[1] * x[1] + u[2] * x[2] + u[3] * x[3]);
        r.s += w[ann_output_weights + j] * r.h[j];
    }
    r.y = logistic(r.s);
}

void backward(const weights& w, const std::array<double, 4>& x, const run& r, double d_s, weights& grad)
{
    for (int j = 0; j < ann_hidden; ++j) {
        grad[ann_output_weights + j] += d_s * r.h[j];
        const double d_a = d_s * w[ann_output_weights + j] * r.h[j] * (1.0 - r.h[j]);
        for (int i = 0; i < 4; ++i)
            grad[4 * j + i] += d_a * x[i];
    }
}


std::array<float, ann_weight_count> to_float(const weights& w)
{
    std::array<float, ann_weight_count> f;
    for (int i = 0; i < ann_weight_count; ++i)
        f[i] = static_cast<float>(w[i]);
    for (const given_unit& g : given_units) {
        for (int i = 0; i < 4; ++i)
            f[4 * g.unit + i] = g.weights[i];
        f[ann_output_weights + g.unit] = g.weights[4];
    }
    return f;
}

// Solves the square system in place by Gaussian elimination with partial pivoting; the
// solution replaces the right-hand side.
void solve(std::vector<std::vector<double>>& m, std::vector<double>& rhs)
{
    const size_t n = rhs.size();
    for (size_t c = 0; c < n; ++c) {
        size_t pivot = c;
        for (size_t k = c + 1; k < n; ++k)
            if (std::fabs(m[k][c]) > std::fabs(m[pivot][c]))
                pivot = k;
        std::swap(m[c], m[pivot]);
        std::swap(rhs[c], rhs[pivot]);
        if (m[c][c] == 0)
            continue;
        for (size_t k = c + 1; k < n; ++k) {
            const double f = m[k][c] / m[c][c];
            if (f == 0)
                continue;
            for (size_t j = c; j < n; ++j)
                m[k][j] -= f * m[c][j];
            rhs[k] -= f * rhs[c];
        }
    }
    for (size_t c = n; c-- > 0;) {
        double sum = rhs[c];
        for (size_t j = c + 1; j < n; ++j)
            sum -= m[c][j] * rhs[j];
        rhs[c] = m[c][c] == 0 ? 0 : sum / m[c][c];
    }
}

struct answer_target {
    std::array<double, 4> x;
    ann_case query;
    double mid_s;  // the logit of the middle of the outputs that decode to the answer
    double low_s, high_s;  // the inner half of that band; a zero answer has no lower end
    bool zero;
};

// Outputs below this logit decode to 0 days.
const double zero_s = logit(std::sqrt(0.5 / 2048.0));

std::vector<answer_target> answer_targets()
{
    std::vector<answer_target> answers;
    for (const raw_answer& a : raw_answers) {
        answer_target t;
        t.x = network_inputs(a.ivl, a.elapsed, a.rp, a.grade);
        t.query = make_case(a.ivl, a.elapsed, a.rp, a.grade, 0);
        // Outputs from sqrt((d - 0.5) / 2048) up to sqrt((d + 0.5) / 2048) decode to d days.
        const double low = a.days == 0 ? 0.0 : std::sqrt((a.days - 0.5) / 2048.0);
        const double high = std::sqrt((a.days + 0.5) / 2048.0);
        t.zero = a.days == 0;
        t.mid_s = logit(t.zero ? 0.6 * high : (low + high) / 2);
        t.low_s = t.zero ? -1e9 : logit(low + 0.25 * (high - low));
        t.high_s = logit(low + 0.75 * (high - low));
        answers.push_back(t);
    }
    return answers;
}

struct ordered_pair {
    int lower, upper;  // grid point indexes: the output at `upper` must not be below `lower`'s
};

// Histories for every interval and repetition count of the grid over the given elapsed days, and
// the pairs whose order must hold: next grade up, and for grades 4 and 5 next elapsed day up.
struct history_grid {
    std::vector<ann_case> queries;
    std::vector<std::array<double, 4>> inputs;
    std::vector<ordered_pair> pairs;
};

history_grid make_grid(bool dense)
{
    const std::vector<uint16_t> elapsed = elapsed_days(dense);
    history_grid g;
    for (uint16_t ivl : grid_days)
        for (uint16_t rp : grid_repetitions)
            for (size_t e = 0; e < elapsed.size(); ++e)
                for (uint16_t grade = 0; grade < 6; ++grade) {
                    const int here = static_cast<int>(g.queries.size());
                    g.queries.push_back(make_case(ivl, elapsed[e], rp, grade, 0));
                    g.inputs.push_back(network_inputs(ivl, elapsed[e], rp, grade));
                    if (grade > 0)
                        g.pairs.push_back({here - 1, here});
                    if (grade >= 4 && e > 0)
                        g.pairs.push_back({here - 6, here});
                }
    return g;
}

// For grades 4 and 5 the longest elapsed time must earn a longer answer than none at all, at
// every interval and repetition count of the grid. Without this the fit lets well-repeated items
// sink to 0 days throughout, since few cases reach such counts.
struct growth_point {
    std::array<double, 4> at_first, at_last;  // elapsed 0 and 2048
};

std::vector<growth_point> growth_points()
{
    std::vector<growth_point> points;
    for (uint16_t ivl : grid_days)
        for (uint16_t rp : grid_repetitions)
            for (uint16_t grade : {4, 5})
                points.push_back({network_inputs(ivl, 0, rp, grade), network_inputs(ivl, 2048, rp, grade)});
    return points;
}

// The last answer's logit must lie this far above the first's and at least at the floor (about
// three days): well clear of a day's rounding, yet small beside what the data ask elsewhere.
const double growth_gap = 0.6;
const double growth_floor_s = logit(std::sqrt(3.0 / 2048.0));

// A history whose passing-grade answer has a floor, with the logit at which the output decodes
// to exactly that many days.
struct floor_point {
    std::array<double, 4> x;
    ann_case query;
    uint16_t days;
    double s;
};

// Outputs from this logit up decode to at least `days`.
double floor_logit(uint16_t days) { return logit(std::sqrt((days - 0.5) / 2048.0)); }

std::vector<floor_point> floor_points(bool dense, uint16_t up_to_rp)
{
    std::vector<floor_point> points;
    every_floor_point(
        dense,
        [&](uint16_t ivl, uint16_t e, uint16_t rp, uint16_t g) {
            if (const uint16_t days = answer_floor(e, rp, g))
                points.push_back({network_inputs(ivl, e, rp, g), make_case(ivl, e, rp, g, 0), days, floor_logit(days)});
            return true;
        },
        up_to_rp);
    return points;
}

// The floor points whose answer, in the program's own single precision, falls short of the
// floor or lies within `margin` of it in the output's logit.
std::vector<floor_point> floors_near(const std::vector<floor_point>& points, double margin)
{
    std::vector<floor_point> near;
    for (const floor_point& f : points) {
        const float y = *ann_step(f.query, ANN_QUERY);
        if (decode_days(y) < f.days || logit(y) < f.s + margin)
            near.push_back(f);
    }
    return near;
}

}  // namespace

void use_weights(const std::array<float, ann_weight_count>& w) { ann_globals().ann_weights = w; }

std::array<float, ann_weight_count> fit_weights(const std::vector<fit_sample>& samples, std::mt19937_64& random,
    fit_terms terms, int iterations, const std::array<float, ann_weight_count>* start, uint16_t floors_up_to_rp)
{
    const bool with_answers = terms == fit_terms::answers_and_rules || terms == fit_terms::answers_and_order;
    const bool rules = terms != fit_terms::model_only, with_floors = rules && terms != fit_terms::answers_and_order;
    weights w{};
    std::array<bool, ann_weight_count> fixed{};
    for (int j = 0; j < ann_hidden; ++j) {
        for (int i = 0; i < 4; ++i)
            w[4 * j + i] = 1.5 * standard_normal(random);
        w[ann_output_weights + j] = 0.5 * standard_normal(random);
    }
    if (start)
        std::copy(start->begin(), start->end(), w.begin());
    for (const given_unit& g : given_units) {
        for (int i = 0; i < 5; ++i) {
            const int index = i < 4 ? 4 * g.unit + i : ann_output_weights + g.unit;
            w[index] = g.weights[i];
            fixed[index] = true;
        }
    }
    const std::vector<answer_target> answers = with_answers ? answer_targets() : std::vector<answer_target>{};
    const history_grid grid = rules ? make_grid(false) : history_grid{};
    const std::vector<growth_point> growth = rules ? growth_points() : std::vector<growth_point>{};
    const std::vector<floor_point> floors = with_floors ? floor_points(false, floors_up_to_rp) : std::vector<floor_point>{};
    std::vector<int> near_floor;
    const double floor_margin = 0.05;  // in the output's logit

    weights m{}, v{}, grad{};
    std::vector<run> grid_runs(grid.inputs.size());
    std::vector<double> grid_ds(grid.inputs.size());
    std::vector<int> active_points;
    std::vector<ordered_pair> active;
    const double margin = 0.002;  // in the output's logit
    const double order_weight = 50.0, answer_weight = 400.0;
    for (int it = 0; it < iterations; ++it) {
        if (it % 40 == 0) {
            // Only pairs close to breaking the order take part until the next look.
            active.clear();
            for (size_t p = 0; p < grid.inputs.size(); ++p)
                forward(w, grid.inputs[p], grid_runs[p]);
            for (const ordered_pair& p : grid.pairs)
                if (grid_runs[p.upper].s - grid_runs[p.lower].s < 0.1)
                    active.push_back(p);
            active_points.clear();
            for (const ordered_pair& p : active) {
                active_points.push_back(p.lower);
                active_points.push_back(p.upper);
            }
            std::sort(active_points.begin(), active_points.end());
            active_points.erase(std::unique(active_points.begin(), active_points.end()), active_points.end());
            near_floor.clear();
            run f;
            for (size_t p = 0; p < floors.size(); ++p) {
                forward(w, floors[p].x, f);
                if (f.s < floors[p].s + 4 * floor_margin)
                    near_floor.push_back(static_cast<int>(p));
            }
        }
        grad.fill(0.0);
        run r;
        double fit_error = 0;
        for (const fit_sample& s : samples) {
            forward(w, s.x, r);
            fit_error += s.weight * 0.5 * (r.y - s.t) * (r.y - s.t);
            backward(w, s.x, r, s.weight * (r.y - s.t) * r.y * (1.0 - r.y), grad);
        }
        // Answers outside the inner half of their band are pulled back into it.
        for (const answer_target& a : answers) {
            forward(w, a.x, r);
            const double off = r.s - std::clamp(r.s, a.low_s, a.high_s);
            if (off != 0)
                backward(w, a.x, r, answer_weight * off, grad);
        }
        if (it % 1000 == 0 || it == iterations - 1)
            std::fprintf(stderr, "  step %d: model error %.4f, %zu pairs near\n", it, fit_error, active.size());
        for (int p : active_points) {
            forward(w, grid.inputs[p], grid_runs[p]);
            grid_ds[p] = 0;
        }
        // The order joins in gently once the fit has found its shape.
        const double ramp = std::clamp((it - iterations / 4.0) / (iterations * 5.0 / 12.0), 0.0, 1.0);
        for (const ordered_pair& p : active) {
            const double gap = grid_runs[p.lower].s + margin - grid_runs[p.upper].s;
            if (gap > 0) {
                grid_ds[p.lower] += 2.0 * order_weight * ramp * gap;
                grid_ds[p.upper] -= 2.0 * order_weight * ramp * gap;
            }
        }
        for (int p : active_points)
            if (grid_ds[p] != 0)
                backward(w, grid.inputs[p], grid_runs[p], grid_ds[p], grad);
        for (const growth_point& g : growth) {
            run first, last;
            forward(w, g.at_first, first);
            forward(w, g.at_last, last);
            const double short_by = std::max(first.s + growth_gap, growth_floor_s) + margin - last.s;
            if (short_by <= 0)
                continue;
            backward(w, g.at_last, last, -2.0 * order_weight * ramp * short_by, grad);
            if (first.s + growth_gap > growth_floor_s)
                backward(w, g.at_first, first, 2.0 * order_weight * ramp * short_by, grad);
        }
        // Passing grades are lifted to their floors.
        for (int p : near_floor) {
            const floor_point& f = floors[p];
            forward(w, f.x, r);
            const double short_by = f.s + floor_margin - r.s;
            if (short_by > 0)
                backward(w, f.x, r, -2.0 * order_weight * ramp * short_by, grad);
        }

        // Steady for the first half, then a cosine decay to a fiftieth.
        const double progress = static_cast<double>(it) / iterations;
        const double rate = 0.01 * (progress < 0.5 ? 1.0 : 0.02 + 0.98 * 0.5 * (1 + std::cos(std::numbers::pi * 2 * (progress - 0.5))));
        const double t = it + 1.0;
        for (int i = 0; i < ann_weight_count; ++i) {
            if (fixed[i])
                continue;
            m[i] = 0.9 * m[i] + 0.1 * grad[i];
            v[i] = 0.999 * v[i] + 0.001 * grad[i] * grad[i];
            const double m_hat = m[i] / (1 - std::pow(0.9, t));
            const double v_hat = v[i] / (1 - std::pow(0.999, t));
            w[i] -= rate * m_hat / (std::sqrt(v_hat) + 1e-9);
            w[i] = std::clamp(w[i], -0.999 * weight_bound, 0.999 * weight_bound);
        }
    }
    return to_float(w);
}

bool place_answers(std::array<float, ann_weight_count>& w, const std::vector<fit_sample>& samples, bool floors_held,
    uint16_t floors_up_to_rp)
{
    std::vector<int> free;
    for (int i = 0; i < ann_weight_count; ++i) {
        const int unit = i < ann_output_weights ? i / 4 : i - ann_output_weights;
        if (std::none_of(std::begin(given_units), std::end(given_units), [unit](const given_unit& g) { return g.unit == unit; }))
            free.push_back(i);
    }
    const size_t n = free.size();
    const std::vector<answer_target> answers = answer_targets();
    const history_grid grid = make_grid(true);
    const std::vector<growth_point> growth = growth_points();
    const std::vector<floor_point> floors = floors_held ? floor_points(false, floors_up_to_rp) : std::vector<floor_point>{};
    std::vector<floor_point> held_floors;  // from the dense check

    // A pair whose answers fall is held apart from then on by this much in the output's logit:
    // far more than single precision blurs, far less than a day's difference.
    const double held_gap = 2e-4, answer_weight = 1e2, pair_weight = answer_weight / (held_gap * held_gap), max_step = 0.2;
    const double growth_weight = answer_weight / (0.05 * 0.05);
    std::vector<int> held;  // indexes into grid.pairs
    std::vector<char> is_held(grid.pairs.size(), 0);
    std::vector<uint16_t> grid_days_now(grid.queries.size());
    double damping = 1.0;
    for (int round = 0; round < 100; ++round) {
        use_weights(w);
        for (size_t p = 0; p < grid.queries.size(); ++p)
            grid_days_now[p] = decode_days(*ann_step(grid.queries[p], ANN_QUERY));
        size_t added = 0;
        for (size_t k = 0; k < grid.pairs.size(); ++k) {
            const ordered_pair& p = grid.pairs[k];
            if (grid_days_now[p.upper] < grid_days_now[p.lower] && !is_held[k]) {
                is_held[k] = 1;
                held.push_back(static_cast<int>(k));
                ++added;
            }
        }
        const int exact = exact_answers();
        const bool ordered = answers_ordered(true) && answers_grow();
        const bool floored = !floors_held || answers_hold_floors(false, floors_up_to_rp);
        std::fprintf(stderr, "  placing, round %d: %d of 18 answers exact, order %s, floors %s, %zu pairs held (%zu new):",
            round, exact, ordered ? "kept" : "broken", floored ? "kept" : "broken", held.size(), added);
        for (const raw_answer& a : raw_answers)
            std::fprintf(stderr, " %u", ann_interval(a.ivl, a.elapsed, a.rp, a.grade));
        std::fprintf(stderr, "\n");
        if (exact == 18 && ordered && floored) {
            // The dense check is slow: only once all else holds, its breaks held from then on.
            const std::vector<floor_point> broken =
                floors_held ? floors_near(floor_points(true, floors_up_to_rp), 0.0) : std::vector<floor_point>{};
            std::fprintf(stderr, "  placing: %zu floors broken on the dense grid\n", broken.size());
            if (broken.empty())
                return true;
            held_floors.insert(held_floors.end(), broken.begin(), broken.end());
        }

        // One Gauss-Newton step: least change to the fit's outputs, the answers and the held
        // pairs as heavy penalties, damped and cut short so that the linearisation holds.
        weights wd;
        for (int i = 0; i < ann_weight_count; ++i)
            wd[i] = w[i];
        std::vector<std::vector<double>> normal(n, std::vector<double>(n, 0.0));
        std::vector<double> rhs(n, 0.0);
        auto add_row = [&](const weights& row, double residual, double weight) {
            for (size_t a = 0; a < n; ++a) {
                const double ra = row[free[a]];
                if (ra == 0)
                    continue;
                rhs[a] -= weight * ra * residual;
                for (size_t b = 0; b < n; ++b)
                    normal[a][b] += weight * ra * row[free[b]];
            }
        };
        run r, q;
        for (const fit_sample& s : samples) {
            forward(wd, s.x, r);
            weights row{};
            backward(wd, s.x, r, r.y * (1 - r.y), row);
            add_row(row, 0.0, s.weight);
        }
        for (int k : held) {
            const ordered_pair& p = grid.pairs[k];
            forward(wd, grid.inputs[p.upper], r);
            forward(wd, grid.inputs[p.lower], q);
            const double gap = r.s - q.s;
            if (gap >= 2 * held_gap)
                continue;
            weights row{}, lower{};
            backward(wd, grid.inputs[p.upper], r, 1.0, row);
            backward(wd, grid.inputs[p.lower], q, 1.0, lower);
            for (int i = 0; i < ann_weight_count; ++i)
                row[i] -= lower[i];
            add_row(row, gap - 2 * held_gap, pair_weight);
        }
        // Growth that comes within 0.1 of its bounds (in the logit) is pushed back to 0.2 beyond.
        for (const growth_point& g : growth) {
            forward(wd, g.at_first, q);
            forward(wd, g.at_last, r);
            weights last{}, first{};
            backward(wd, g.at_last, r, 1.0, last);
            const double over_floor = r.s - growth_floor_s;
            if (over_floor < 0.1)
                add_row(last, over_floor - 0.2, growth_weight);
            const double over_gap = r.s - q.s - growth_gap;
            if (over_gap < 0.1) {
                backward(wd, g.at_first, q, 1.0, first);
                for (int i = 0; i < ann_weight_count; ++i)
                    last[i] -= first[i];
                add_row(last, over_gap - 0.2, growth_weight);
            }
        }
        // Floors that come within 0.05 of their bound (in the logit) are pushed to 0.1 beyond.
        std::vector<floor_point> pressed = floors_near(floors, 0.05);
        pressed.insert(pressed.end(), held_floors.begin(), held_floors.end());
        for (const floor_point& f : pressed) {
            forward(wd, f.x, r);
            const double over = r.s - f.s;
            if (over >= 0.05)
                continue;
            weights row{};
            backward(wd, f.x, r, 1.0, row);
            add_row(row, over - 0.1, growth_weight);
        }
        // Each answer counts by its distance from its mark in half-widths of its band.
        for (const answer_target& a : answers) {
            forward(wd, a.x, r);
            if (a.zero && r.s <= a.high_s)
                continue;
            weights row{};
            backward(wd, a.x, r, 1.0, row);
            const double half = a.high_s - a.mid_s;
            add_row(row, r.s - a.mid_s, answer_weight / (half * half));
        }
        // Levenberg-Marquardt: damp until the step is short enough for the linearisation.
        std::vector<double> step;
        for (damping /= 4;; damping *= 4) {
            std::vector<std::vector<double>> m = normal;
            step = rhs;
            for (size_t a = 0; a < n; ++a)
                m[a][a] += damping;
            solve(m, step);
            double length = 0;
            for (double d : step)
                length += d * d;
            if (std::sqrt(length) <= max_step)
                break;
        }
        for (size_t a = 0; a < n; ++a)
            w[free[a]] = static_cast<float>(std::clamp(wd[free[a]] + step[a], -0.999 * weight_bound, 0.999 * weight_bound));
    }
    use_weights(w);
    return exact_answers() == 18 && answers_ordered(true) && answers_grow()
        && (!floors_held || answers_hold_floors(true, floors_up_to_rp));
}

