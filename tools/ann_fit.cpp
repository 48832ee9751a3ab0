// Two stages. First gradient descent (Adam) in double precision on the network's forward pass,
// with penalties that pull each of the eighteen answers into the inner half of the band of
// outputs that decode to it, push apart pairs of grid histories that would break the order, and
// lift the answer after the longest absence (grades 4 and 5) clear of the answer after none.
// Then the answers are placed exactly: the output sum is linear in the output weights, so with
// the hidden units left as they are, a least-change correction of the free output weights that
// puts every answer in the middle of its band while keeping the order is a small linear problem.
// It is solved, checked in single precision with the program's own code, and repeated with the
// pairs it broke added, until everything holds.
#include "ann_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include "ann_cases.h"
#include "ann/network.h"

const raw_answer raw_answers[18] = {
    {0, 0, 0, 0, 0}, {0, 0, 0, 1, 0}, {0, 0, 0, 2, 0}, {0, 0, 0, 3, 2}, {0, 0, 0, 4, 4}, {0, 0, 0, 5, 6},
    {10, 10, 3, 0, 0}, {10, 10, 3, 1, 0}, {10, 10, 3, 2, 3}, {10, 10, 3, 3, 14}, {10, 10, 3, 4, 34}, {10, 10, 3, 5, 46},
    {100, 100, 6, 0, 0}, {100, 100, 6, 1, 2}, {100, 100, 6, 2, 27}, {100, 100, 6, 3, 120}, {100, 100, 6, 4, 220},
    {100, 100, 6, 5, 240},
};

const given_unit given_units[4] = {
    {0, {-0.971140027f, -1.353634f, 0.343623012f, -0.220980003f, 0.173454002f}},
    {1, {1.15720904f, 0.757073998f, -0.44869101f, -1.52861798f, 1.13797104f}},
    {24, {-13.6539421f, -11.907609f, -5.68901014f, 0.566134989f, -2.34161496f}},
    {31, {-5.52599001f, -5.19374418f, -0.888418972f, 3.69168591f, -1.59754395f}},
};

const std::vector<uint16_t> grid_days = {0, 1, 2, 4, 7, 12, 20, 35, 60, 100, 170, 300, 500, 850, 1400, 2048};
const std::vector<uint16_t> grid_repetitions = {0, 1, 3, 6, 12, 25, 50, 80, 110, 128};

std::array<double, 4> network_inputs(uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t grade)
{
    const float raw[4] = {encode_days(ivl), encode_days(elapsed), encode_repetitions(rp), encode_grade(grade)};
    std::array<double, 4> x;
    for (int i = 0; i < 4; ++i)
        x[i] = std::max(raw[i], ann_input_floor);
    return x;
}

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

std::vector<uint16_t> elapsed_days(bool dense)
{
    if (!dense)
        return grid_days;
    std::vector<uint16_t> days;
    for (int e = 0; e <= 2048; e += e < 400 ? 1 : 5)
        days.push_back(static_cast<uint16_t>(e));
    days.push_back(2048);
    return days;
}

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

void use_weights(const std::array<float, ann_weight_count>& w) { ann_globals().ann_weights = w; }

}  // namespace

std::array<float, ann_weight_count> fit_weights(const std::vector<fit_sample>& samples, std::mt19937_64& random)
{
    weights w{};
    std::array<bool, ann_weight_count> fixed{};
    for (int j = 0; j < ann_hidden; ++j) {
        for (int i = 0; i < 4; ++i)
            w[4 * j + i] = 1.5 * standard_normal(random);
        w[ann_output_weights + j] = 0.5 * standard_normal(random);
    }
    for (const given_unit& g : given_units) {
        for (int i = 0; i < 5; ++i) {
            const int index = i < 4 ? 4 * g.unit + i : ann_output_weights + g.unit;
            w[index] = g.weights[i];
            fixed[index] = true;
        }
    }
    const std::vector<answer_target> answers = answer_targets();
    const history_grid grid = make_grid(false);
    const std::vector<growth_point> growth = growth_points();

    weights m{}, v{}, grad{};
    std::vector<run> grid_runs(grid.inputs.size());
    std::vector<double> grid_ds(grid.inputs.size());
    std::vector<int> active_points;
    std::vector<ordered_pair> active;
    const double margin = 0.002;  // in the output's logit
    const double order_weight = 50.0, answer_weight = 400.0;
    const int iterations = 6000;
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
        const double ramp = std::clamp((it - 1500) / 2500.0, 0.0, 1.0);
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

bool place_answers(std::array<float, ann_weight_count>& w, const std::vector<fit_sample>& samples)
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
        std::fprintf(stderr, "  placing, round %d: %d of 18 answers exact, order %s, %zu pairs held (%zu new):", round,
            exact, ordered ? "kept" : "broken", held.size(), added);
        for (const raw_answer& a : raw_answers)
            std::fprintf(stderr, " %u", ann_interval(a.ivl, a.elapsed, a.rp, a.grade));
        std::fprintf(stderr, "\n");
        if (exact == 18 && ordered)
            return true;

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
    return exact_answers() == 18 && answers_ordered(true) && answers_grow();
}

int exact_answers()
{
    int exact = 0;
    for (const raw_answer& a : raw_answers)
        exact += ann_interval(a.ivl, a.elapsed, a.rp, a.grade) == a.days;
    return exact;
}

bool answers_ordered(bool dense)
{
    const std::vector<uint16_t> elapsed = elapsed_days(dense);
    for (uint16_t ivl : grid_days)
        for (uint16_t rp : grid_repetitions) {
            uint16_t last[6] = {};
            for (size_t k = 0; k < elapsed.size(); ++k) {
                uint16_t previous = 0;
                for (uint16_t g = 0; g < 6; ++g) {
                    const uint16_t days = ann_interval(ivl, elapsed[k], rp, g);
                    if (days < previous || (g >= 4 && k > 0 && days < last[g]))
                        return false;
                    previous = days;
                    last[g] = days;
                }
            }
        }
    return true;
}

bool answers_grow()
{
    for (uint16_t ivl : grid_days)
        for (uint16_t rp : grid_repetitions)
            for (uint16_t g : {4, 5})
                if (ann_interval(ivl, 2048, rp, g) <= ann_interval(ivl, 0, rp, g))
                    return false;
    return true;
}
