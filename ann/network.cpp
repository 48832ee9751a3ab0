#include "ann/network.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <future>
#include <new>
#include <system_error>

#include "services/log.h"
#include "services/memory.h"
#include "services/random.h"

ann_state& ann_globals()
{
    static ann_state state;
    return state;
}

namespace {

std::future<std::function<void()>>& pending_fill()
{
    static std::future<std::function<void()>> fill;
    return fill;
}
thread_local bool fills_case_store = false;

}  // namespace

void fill_case_store_beside(std::function<std::function<void()>()> fill)
{
    wait_for_case_store();
    try {
        pending_fill() = std::async(std::launch::async, [fill] {
            fills_case_store = true;
            return fill();
        });
        return;
    } catch (const std::system_error&) {
    }
    fill()();  // no thread to be had: filled here, as before
}

void wait_for_case_store()
{
    if (!fills_case_store && pending_fill().valid())
        pending_fill().get()();
}

const std::array<float, 6> grade_input_table = {0.0f, 0.2f, 0.4f, 0.6f, 0.8f, 1.0f};

float encode_days(uint16_t days)
{
    const float scaled = static_cast<float>(std::min<uint16_t>(days, 2048)) * 0.00048828125f;
    return static_cast<float>(std::sqrt(static_cast<double>(scaled)));
}

uint16_t decode_days(float y)
{
    const float days = y * y * 2048.0f + 0.5f;
    if (!(days >= 0.0f))
        return 0;
    // Past the 16-bit day range the wrapped value would mean nothing; it is simply the longest.
    if (days >= 65536.0f)
        return 2047;
    const auto whole = static_cast<uint16_t>(static_cast<uint32_t>(days));
    return whole >= 2048 ? 2047 : whole;
}

float encode_repetitions(uint16_t repetitions)
{
    return static_cast<float>(std::min<uint16_t>(repetitions, 128)) * 0.0078125f;
}

float encode_grade(uint16_t grade) { return grade > 5 ? 1.0f : grade_input_table[grade]; }

ann_case make_case(uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t grade, uint16_t target)
{
    return {encode_days(ivl), encode_days(elapsed), encode_repetitions(rp), encode_grade(grade),
        encode_days(target)};
}

namespace {

float sigmoid(float s) { return 1.0f / (static_cast<float>(std::exp(-static_cast<double>(s))) + 1.0f); }

// A NaN counts as below the floor too, so that a damaged case cannot poison the weights.
float floored(float value) { return value >= ann_input_floor ? value : ann_input_floor; }

ann& network()
{
    ann_state& s = ann_globals();
    if (!s.network)
        s.network = std::make_unique<ann>();
    return *s.network;
}

}  // namespace

const float* ann_step(const ann_case& c, ann_mode mode)
{
    ann_state& s = ann_globals();
    ann& net = network();
    float* w = s.ann_weights.data();
    const float x[ann_inputs] = {floored(c[0]), floored(c[1]), floored(c[2]), floored(c[3])};

    float* h = net.hidden.out;
    for (int j = 0; j < ann_hidden; ++j) {
        const float* u = w + ann_inputs * j;
        const float sum = ((u[0] * x[0] + u[1] * x[1]) + u[2] * x[2]) + u[3] * x[3];
        h[j] = sigmoid(sum);
    }
    float sum = 0.0f;
    for (int j = 0; j < ann_hidden; ++j)
        sum = w[ann_output_weights + j] * h[j] + sum;
    const float y = sigmoid(sum);
    net.output.out[0] = y;
    if (mode <= ANN_QUERY)
        return net.output.out;

    const float error = floored(c[4]) - y;
    const float delta_out = ((1.0f - y) * y) * error;
    net.output.delta[0] = delta_out;
    s.last_error = (error * error) * 0.5f;
    if (mode == ANN_EVALUATE)
        return nullptr;

    // Every hidden error term uses the output weights from before this step.
    float* delta = net.hidden.delta;
    for (int j = 0; j < ann_hidden; ++j)
        delta[j] = ((w[ann_output_weights + j] * delta_out) * (1.0f - h[j])) * h[j];
    for (int j = 0; j < ann_hidden; ++j) {
        const float g = delta[j] * s.learning_rate;
        float* u = w + ann_inputs * j;
        for (int i = 0; i < ann_inputs; ++i)
            u[i] = g * x[i] + u[i];
    }
    const float g = delta_out * s.learning_rate;
    for (int j = 0; j < ann_hidden; ++j)
        w[ann_output_weights + j] = h[j] * g + w[ann_output_weights + j];
    return nullptr;
}

uint16_t ann_interval(uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t grade)
{
    const ann_case query = {encode_days(ivl), encode_days(elapsed), encode_repetitions(rp), encode_grade(grade), 0.0f};
    return decode_days(*ann_step(query, ANN_QUERY));
}

float compute_test_error()
{
    wait_for_case_store();
    ann_state& s = ann_globals();
    // Nothing to sample before the store is filled; drawing below 0 would divide by zero.
    if (s.case_count == 0 || s.case_store.size() < s.case_count)
        return s.test_error;
    const int draws = std::max((builtin_case_count - 1) / 64, 1);
    float sum = 0.0f;
    for (int i = 0; i < draws; ++i) {
        const unsigned k = rand_below(s.case_count);
        ann_step(*s.case_store[k], ANN_EVALUATE);
        sum = s.last_error + sum;
    }
    const float estimate = sum * 64.0f;
    s.learning_rate = estimate > 0.3f ? 0.1f : estimate * 0.333333343f;
    float previous = s.test_error;
    if (previous < 0.001f)
        previous = estimate;
    s.test_error = (previous + estimate) * 0.5f;
    if (s.test_error > 8.0f)
        write_log("WARNING: TestError = %f (enormously high!)\n", static_cast<double>(s.test_error));
    return s.test_error;
}

void generate_ann()
{
    wait_for_case_store();
    ann_state& s = ann_globals();
    try {
        s.case_store.clear();
        s.case_store.reserve(case_store_step);
        s.case_capacity = case_store_step;
    } catch (const std::bad_alloc&) {
        // Through the hook, so that the open database is saved before the end.
        fatal_out_of_memory("Out of memory\n");
    }
    try {
        s.network = std::make_unique<ann>();
    } catch (const std::bad_alloc&) {
        fatal_out_of_memory("FATAL ERROR: generate_ann(): out of memory\n");
    }
    s.learning_rate = 0.1f;
}

void free_ann()
{
    wait_for_case_store();
    ann_state& s = ann_globals();
    s.network.reset();
    s.case_store.clear();
    s.case_store.shrink_to_fit();
    s.case_capacity = 0;
    s.user_blocks.clear();
    s.duplicates.clear();
    s.builtin_copy.reset();
    s.case_count = 0;
}

void reset_case_store()
{
    wait_for_case_store();
    ann_state& s = ann_globals();
    s.user_blocks.clear();
    s.duplicates.clear();
    if (!s.builtin_copy)
        s.builtin_copy = std::make_unique<std::array<ann_case, builtin_case_count>>();
    *s.builtin_copy = builtin_cases;
    if (s.case_capacity < builtin_case_count)
        s.case_capacity = case_store_step;
    s.case_store.resize(builtin_case_count);
    for (uint32_t i = 0; i < builtin_case_count; ++i)
        s.case_store[i] = &(*s.builtin_copy)[i];
    s.case_count = builtin_case_count;
}

bool reserve_case_slot()
{
    wait_for_case_store();
    ann_state& s = ann_globals();
    const uint32_t n = s.case_count;
    if (n == UINT32_MAX)
        return false;
    // The second test only matters for a store that did not start at 1024 slots.
    if (n % case_store_step == 0 || n >= s.case_capacity)
        s.case_capacity = std::max(s.case_capacity, static_cast<size_t>(n) + case_store_step + 1);
    const uint32_t user = n - std::min<uint32_t>(n, builtin_case_count);
    try {
        // Doubling, so that a store of millions of cases is copied only a few times.
        if (s.case_store.size() == s.case_store.capacity())
            s.case_store.reserve(std::max<size_t>(2 * s.case_store.capacity(), case_store_step));
        if (n >= builtin_case_count && user / user_case_block == s.user_blocks.size())
            s.user_blocks.push_back(std::make_unique<ann_case[]>(user_case_block));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

ann_case* append_case(const ann_case& c)
{
    wait_for_case_store();
    ann_state& s = ann_globals();
    if (s.case_count < builtin_case_count || s.case_store.size() != s.case_count || !reserve_case_slot())
        return nullptr;
    const uint32_t user = s.case_count - builtin_case_count;
    ann_case* record = &s.user_blocks[user / user_case_block][user % user_case_block];
    *record = c;
    s.case_store.push_back(record);
    ++s.case_count;
    return record;
}

void drop_cases_from(uint32_t count)
{
    wait_for_case_store();
    ann_state& s = ann_globals();
    count = std::max<uint32_t>(count, builtin_case_count);
    // The blocks stay: the next appends fill the same records again.
    while (s.case_count > count && s.case_store.size() == s.case_count) {
        s.case_store.pop_back();
        --s.case_count;
    }
}

ann_case* case_at(uint32_t index)
{
    wait_for_case_store();
    ann_state& s = ann_globals();
    return index < s.case_count && index < s.case_store.size() ? s.case_store[index] : nullptr;
}

size_t case_store_capacity()
{
    wait_for_case_store();
    return ann_globals().case_capacity;
}
