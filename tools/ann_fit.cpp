// Gradient descent (Adam) in double precision on the network's own forward pass, with three
// penalties: each of the eighteen answers is pulled to the middle of the band of outputs that
// decode to it, pairs of grid histories that would break the order in grade or elapsed days are
// pushed apart, and the weights are held inside the bound. The result is judged in single
// precision by the caller, with the program's own code.
#include "ann_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include "ann_cases.h"

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
const std::vector<uint16_t> grid_repetitions = {0, 1, 3, 6, 12, 25, 50, 110, 128};

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

struct answer_target {
    std::array<double, 4> x;
    double mid_s;  // the logit of the middle of the outputs that decode to the answer
    double low_s, high_s;  // the inner half of that band; a zero answer has no lower end
    bool zero;
};

struct ordered_pair {
    int lower, upper;  // grid point indexes: the output at `upper` must not be below `lower`'s
};

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

// One damped Gauss-Newton step on the fit error (and on the grid pairs that break the order),
// constrained to put every answer on its mark: the constraints are linearised, and the step
// solves the resulting equality-constrained least squares through its KKT system.
void polish_step(weights& w, const std::vector<fit_sample>& samples, const std::vector<answer_target>& answers,
    const std::vector<std::array<double, 4>>& grid, const std::vector<ordered_pair>& pairs,
    const std::array<bool, ann_weight_count>& fixed, double damping, double order_weight, double margin, double max_step)
{
    std::vector<int> free;
    for (int i = 0; i < ann_weight_count; ++i)
        if (!fixed[i])
            free.push_back(i);
    const size_t n = free.size();
    std::vector<std::vector<double>> normal(n, std::vector<double>(n, 0.0));
    std::vector<double> gradient(n, 0.0);
    auto add_row = [&](const weights& row, double residual, double weight) {
        for (size_t a = 0; a < n; ++a) {
            const double ra = row[free[a]];
            if (ra == 0)
                continue;
            gradient[a] += weight * ra * residual;
            for (size_t b = 0; b < n; ++b)
                normal[a][b] += weight * ra * row[free[b]];
        }
    };
    run r, q;
    for (const fit_sample& s : samples) {
        forward(w, s.x, r);
        weights row{};
        backward(w, s.x, r, r.y * (1 - r.y), row);
        add_row(row, r.y - s.t, 1.0);
    }
    std::vector<run> runs(grid.size());
    for (size_t p = 0; p < grid.size(); ++p)
        forward(w, grid[p], runs[p]);
    for (const ordered_pair& p : pairs) {
        const double gap = runs[p.upper].s - runs[p.lower].s - 2 * margin;
        if (gap >= 0)
            continue;
        weights row{}, lower{};
        backward(w, grid[p.upper], runs[p.upper], 1.0, row);
        backward(w, grid[p.lower], runs[p.lower], 1.0, lower);
        for (int i = 0; i < ann_weight_count; ++i)
            row[i] -= lower[i];
        add_row(row, gap, order_weight);
    }
    std::vector<weights> constraint_rows;
    std::vector<double> wanted;
    for (const answer_target& a : answers) {
        forward(w, a.x, q);
        if (a.zero && q.s <= a.mid_s)
            continue;
        weights row{};
        backward(w, a.x, q, 1.0, row);
        constraint_rows.push_back(row);
        wanted.push_back(a.mid_s - q.s);
    }
    const size_t m = constraint_rows.size();
    std::vector<std::vector<double>> kkt(n + m, std::vector<double>(n + m, 0.0));
    std::vector<double> rhs(n + m, 0.0);
    for (size_t a = 0; a < n; ++a) {
        for (size_t b = 0; b < n; ++b)
            kkt[a][b] = normal[a][b];
        kkt[a][a] += damping * (normal[a][a] + 1e-3);
        rhs[a] = -gradient[a];
    }
    for (size_t c = 0; c < m; ++c) {
        for (size_t a = 0; a < n; ++a) {
            kkt[n + c][a] = constraint_rows[c][free[a]];
            kkt[a][n + c] = constraint_rows[c][free[a]];
        }
        rhs[n + c] = wanted[c];
    }
    solve(kkt, rhs);
    double length = 0;
    for (size_t a = 0; a < n; ++a)
        length += rhs[a] * rhs[a];
    length = std::sqrt(length);
    if (std::getenv("FIT_TRACE"))
        std::fprintf(stderr, "    polish: %zu constraints, step %.4g\n", m, length);
    const double shrink = std::min(1.0, max_step / (length + 1e-300));
    for (size_t a = 0; a < n; ++a)
        rhs[a] *= shrink;
    for (size_t a = 0; a < n; ++a)
        w[free[a]] = std::clamp(w[free[a]] + rhs[a], -0.999 * weight_bound, 0.999 * weight_bound);
}

}  // namespace

std::array<float, ann_weight_count> fit_weights(const std::vector<fit_sample>& samples, std::mt19937_64& random,
    weight_check weights_ok, bool* met)
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

    std::vector<answer_target> answers;
    for (const raw_answer& a : raw_answers) {
        answer_target t;
        t.x = network_inputs(a.ivl, a.elapsed, a.rp, a.grade);
        // Outputs from sqrt((d - 0.5) / 2048) up to sqrt((d + 0.5) / 2048) decode to d days.
        const double low = a.days == 0 ? 0.0 : std::sqrt((a.days - 0.5) / 2048.0);
        const double high = std::sqrt((a.days + 0.5) / 2048.0);
        t.zero = a.days == 0;
        t.mid_s = logit(t.zero ? 0.6 * high : (low + high) / 2);
        t.low_s = t.zero ? -1e9 : logit(low + 0.25 * (high - low));
        t.high_s = logit(low + 0.75 * (high - low));
        answers.push_back(t);
    }

    std::vector<std::array<double, 4>> grid;
    std::vector<ordered_pair> pairs;
    const int days = static_cast<int>(grid_days.size());
    const int reps = static_cast<int>(grid_repetitions.size());
    auto point = [&](int i, int e, int r, int g) { return ((i * days + e) * reps + r) * 6 + g; };
    for (int i = 0; i < days; ++i)
        for (int e = 0; e < days; ++e)
            for (int r = 0; r < reps; ++r)
                for (int g = 0; g < 6; ++g) {
                    grid.push_back(network_inputs(grid_days[i], grid_days[e], grid_repetitions[r], static_cast<uint16_t>(g)));
                    static const char* kind = std::getenv("FIT_ORDER_KIND");
                    if (g > 0 && (!kind || kind[0] == 'g'))
                        pairs.push_back({point(i, e, r, g - 1), point(i, e, r, g)});
                    if (g >= 4 && e > 0 && (!kind || kind[0] == 'e'))
                        pairs.push_back({point(i, e - 1, r, g), point(i, e, r, g)});
                }

    weights m{}, v{}, grad{};
    std::vector<run> grid_runs(grid.size());
    std::vector<double> grid_ds(grid.size());
    std::vector<int> active_points;
    std::vector<ordered_pair> active;
    const double margin = 0.002;  // in the output's logit
    double order_weight = 50.0, answer_weight = 400.0;
    const int rounds = 1;  // further rounds pressing harder only traded fit for nothing
    std::array<float, ann_weight_count> best = to_float(w);
    *met = false;
    long step = 0;
    for (int round = 0; round < rounds && !*met; ++round) {
        const int iterations = round == 0 ? 6000 : 3000;
        for (int it = 0; it < iterations; ++it, ++step) {
            if (it % 40 == 0) {
                // Only pairs close to breaking the order take part until the next look.
                active.clear();
                for (size_t p = 0; p < grid.size(); ++p)
                    forward(w, grid[p], grid_runs[p]);
                for (const ordered_pair& p : pairs)
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
                fit_error += 0.5 * (r.y - s.t) * (r.y - s.t);
                backward(w, s.x, r, (r.y - s.t) * r.y * (1.0 - r.y), grad);
            }
            static const bool no_answers = std::getenv("FIT_NO_ANSWERS") != nullptr;
            if (no_answers) {
            } else {
                // Until the fit has settled the answers are only pulled towards their marks.
                for (const answer_target& a : answers) {
                    forward(w, a.x, r);
                    if (!a.zero || r.s > a.mid_s)
                        backward(w, a.x, r, answer_weight * (r.s - a.mid_s), grad);
                }
            }
            if (it % 1000 == 0) {
                double by_grade[6] = {};
                for (const fit_sample& s : samples) {
                    forward(w, s.x, r);
                    by_grade[static_cast<int>(std::lround(s.x[3] * 5))] += 0.5 * (r.y - s.t) * (r.y - s.t);
                }
                std::fprintf(stderr, "  step %ld: model error %.4f (%.3f %.3f %.3f %.3f %.3f %.3f), %zu pairs near\n", step,
                    fit_error, by_grade[0], by_grade[1], by_grade[2], by_grade[3], by_grade[4], by_grade[5], active.size());
            }
            for (int p : active_points) {
                forward(w, grid[p], grid_runs[p]);
                grid_ds[p] = 0;
            }
            // The order joins in gently once the fit has found its shape.
            const double ramp = std::clamp((step - 1500) / 2500.0, 0.0, 1.0);
            static const bool no_order = std::getenv("FIT_NO_ORDER") != nullptr;
            for (const ordered_pair& p : no_order ? std::vector<ordered_pair>{} : active) {
                const double gap = grid_runs[p.lower].s + margin - grid_runs[p.upper].s;
                if (gap > 0) {
                    grid_ds[p.lower] += 2.0 * order_weight * ramp * gap;
                    grid_ds[p.upper] -= 2.0 * order_weight * ramp * gap;
                }
            }
            for (int p : active_points)
                if (grid_ds[p] != 0)
                    backward(w, grid[p], grid_runs[p], grid_ds[p], grad);

            const double progress = static_cast<double>(it) / iterations;

            const double rate = (round == 0 ? 0.01 : 0.002) * (progress < 0.5 ? 1.0 : 0.02 + 0.98 * 0.5 * (1 + std::cos(std::numbers::pi * 2 * (progress - 0.5))));
            const double t = static_cast<double>(step + 1);
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
        const weights before = w;
        static const bool polish = std::getenv("FIT_POLISH") != nullptr;
        for (int i = 0; polish && i < 30; ++i)
            polish_step(w, samples, answers, grid, pairs, fixed, 1.0, order_weight, margin, 0.2);
        double moved = 0, placed_error = 0;
        for (int i = 0; i < ann_weight_count; ++i)
            moved += (w[i] - before[i]) * (w[i] - before[i]);
        for (const fit_sample& s : samples) {
            run r;
            forward(w, s.x, r);
            placed_error += 0.5 * (r.y - s.t) * (r.y - s.t);
        }
        std::fprintf(stderr, "  placing the answers moved the weights by %.4f; model error %.4f\n", std::sqrt(moved), placed_error);
        best = to_float(w);
        *met = weights_ok(best);
        std::fprintf(stderr, "fit round %d done (%ld steps): %s\n", round, step, *met ? "constraints met" : "pressing on");
        answer_weight *= 4;
    }
    return best;
}
