#include "session/retention_control.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <future>
#include <new>
#include <optional>
#include <system_error>
#include <unordered_map>

#include "formats/le_fields.h"
#include "platform/files.h"
#include "services/log.h"
#include "session/review_log_passes.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

// Moves in log units per due review, times how far its outcome (1 recalled, 0 forgotten) lies
// from the target: small enough that a few dozen reviews make a trend, not one lapse.
constexpr float growth_step = 0.02f;
constexpr float repeat_step = 0.05f;
// The guard moves ten times slower: at a user's usual retention a run of lapses must not shorten
// every pass.
constexpr float guard_step = 0.005f;
constexpr uint16_t max_interval = 2047;
constexpr uint16_t lowest_pass = 3;

// Beside the review log, the figures with the log's size they were left at: a lifetime's log is
// hundreds of megabytes, too much to fold at every start. A file that does not match the log's
// size (a crash, another copy of the program) only costs the fold.
constexpr char kept_magic[8] = {'C', 'W', 'R', 'E', 'T', 'A', 'I', 'N'};
constexpr size_t kept_size = sizeof kept_magic + 8 + 4 + 4 + 4 + 4 + 4 + 4 + 4;

std::string kept_path(const std::string& log_path) { return log_path + ".retention"; }

uint32_t float_bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

float bits_float(uint64_t u)
{
    const auto bits = static_cast<uint32_t>(u);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool read_kept(const std::string& log_path, std::uintmax_t log_size, retention_control* out)
{
    std::string bytes;
    if (!read_whole_file(kept_path(log_path), &bytes) || bytes.size() != kept_size
        || std::memcmp(bytes.data(), kept_magic, sizeof kept_magic) != 0
        || le_reader(std::string_view(bytes).substr(kept_size - 4)).number(4) != XXH32(bytes.data(), kept_size - 4, 0))
        return false;
    le_reader in(std::string_view(bytes).substr(sizeof kept_magic));
    if (in.number(8) != log_size)
        return false;
    out->growth_log = bits_float(in.number(4));
    out->repeat_log = bits_float(in.number(4));
    out->young_log = bits_float(in.number(4));
    out->hard_log = bits_float(in.number(4));
    out->guard_log = bits_float(in.number(4));
    out->young_due = static_cast<uint32_t>(in.number(4));
    return true;
}

void write_kept(const std::string& log_path, std::uintmax_t log_size, const retention_control& c)
{
    std::string bytes(kept_magic, sizeof kept_magic);
    put_le(bytes, log_size, 8);
    put_le(bytes, float_bits(c.growth_log), 4);
    put_le(bytes, float_bits(c.repeat_log), 4);
    put_le(bytes, float_bits(c.young_log), 4);
    put_le(bytes, float_bits(c.hard_log), 4);
    put_le(bytes, float_bits(c.guard_log), 4);
    put_le(bytes, c.young_due, 4);
    put_le(bytes, XXH32(bytes.data(), bytes.size(), 0), 4);
    const std::string temp = kept_path(log_path) + ".new";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
        return;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) == 0 && written)
        std::rename(temp.c_str(), kept_path(log_path).c_str());
    else
        std::remove(temp.c_str());
}

// A fold of the log the opening started and nobody has waited for yet.
std::future<std::optional<retention_control>>& pending_fold()
{
    static std::future<std::optional<retention_control>> fold;
    return fold;
}

// None when the fold's memory could not be had: it is freed again, and only the figures are lost.
std::optional<retention_control> fold_log(const std::string& log_path, uint64_t records)
{
    try {
        return read_retention_control(log_path, records);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// The session's figures are not the log's, so the close keeps none: the next start folds again.
bool fold_lost = false;

void take_fold(retention_control& c, const std::optional<retention_control>& folded)
{
    fold_lost = !folded;
    c = folded.value_or(retention_control {});
    if (fold_lost)
        write_log("WARNING: out of memory while reading the retention figures from reviews.log; this session "
                  "grades without them\n");
}

}  // namespace

retention_control& retention_control_state()
{
    static retention_control c;
    if (pending_fold().valid())
        take_fold(c, pending_fold().get());
    return c;
}

double guard_share(const retention_control& c) { return std::exp(static_cast<double>(c.guard_log)); }

// A dip of a few per cent comes and goes with a run of lapses; a tenth is a trend.
bool guard_worth_telling(const retention_control& c) { return guard_share(c) <= 0.9; }

void note_due_review(retention_control& c, uint16_t grade, interval_origin origin, uint16_t elapsed, uint16_t interval)
{
    // Twice the interval and a day: a review a few days late still tests it, one after a holiday does not.
    const bool overdue = elapsed > 2u * interval + 1u;
    const float recalled = grade >= lowest_pass ? 1.0f : 0.0f;
    const float outcome = recalled - static_cast<float>(target_retention);
    const auto least_share = static_cast<float>(std::log(least_repeat_share));
    c.growth_log = std::clamp(c.growth_log + growth_step * (recalled - static_cast<float>(growth_target_retention)), 0.0f,
        static_cast<float>(std::log(most_growth)));
    if (origin == interval_origin::repeat) {
        c.repeat_log = std::clamp(c.repeat_log + repeat_step * outcome, least_share, 0.0f);
    } else if (origin == interval_origin::young) {
        const double aim = target_retention + young_early_margin * std::exp(-static_cast<double>(c.young_due) / young_settling);
        c.young_due = c.young_due == UINT32_MAX ? c.young_due : c.young_due + 1;
        c.young_log = std::clamp(c.young_log + repeat_step * (recalled - static_cast<float>(aim)), least_share,
            static_cast<float>(std::log(most_young_share)));
    } else if (origin == interval_origin::hard)
        // Only ever longer: shortening what a 3 gets at a usual retention cost more reviews than
        // the lapses it saved; the guard below shortens it when far too little is recalled.
        c.hard_log = std::clamp(c.hard_log + repeat_step * outcome, 0.0f, static_cast<float>(std::log(most_young_share)));
    if (!overdue && (origin == interval_origin::hard || origin == interval_origin::grade))
        c.guard_log = std::clamp(c.guard_log + guard_step * (recalled - static_cast<float>(least_held_retention)), least_share, 0.0f);
}

interval_origin origin_of_grade(bool repeat, uint16_t rp_after, uint16_t grade)
{
    return repeat                        ? interval_origin::repeat
        : rp_after < young_repetitions ? interval_origin::young
        : grade == lowest_pass         ? interval_origin::hard
                                       : interval_origin::grade;
}

interval_origin origin_of(const item& e)
{
    return origin_of_grade(e.gr >= lowest_pass && e.livl == 0 && e.rllivl == 0 && e.rp > 0, e.rp, e.gr);
}

uint16_t controlled_interval(const retention_control& c, uint16_t interval, uint16_t elapsed, uint16_t grade, interval_origin origin)
{
    if (grade < lowest_pass)
        return interval;
    if (origin != interval_origin::grade) {
        // What was just relearnt is not yet what the item had been, a young item's answer is the
        // given one, and a hard recall means more or less for each user; at least a day, as for
        // any pass.
        const float share = origin == interval_origin::repeat ? c.repeat_log
            : origin == interval_origin::young                ? c.young_log
                                                              : c.hard_log;
        const double kept = std::round(interval * std::exp(static_cast<double>(share)));
        interval = static_cast<uint16_t>(std::clamp(kept, 1.0, static_cast<double>(max_interval)));
        if (origin == interval_origin::repeat)
            return interval;
    }
    if (origin != interval_origin::young && c.guard_log < 0) {
        const double kept = std::round(interval * guard_share(c));
        interval = static_cast<uint16_t>(std::clamp(kept, 1.0, static_cast<double>(max_interval)));
    }
    if (grade == lowest_pass || elapsed == 0)
        return interval;
    // A 4 or a 5 is held to grow at least as the user's measured retention allows.
    const double grown = std::floor(elapsed * std::exp(static_cast<double>(c.growth_log))) + (grade == 5 ? 1 : 0);
    return static_cast<uint16_t>(std::max<double>(interval, std::min<double>(grown, max_interval)));
}

// The fold, one standing grade at a time in file order.
class retention_fold {
public:
    void add(const review_record& r)
    {
        if (r.event != review_event::grade)
            return;
        const bool repeat = r.grade >= lowest_pass && r.interval_before == 0 && r.elapsed == 0 && r.rp_after > 0;
        const interval_origin set = origin_of_grade(repeat, r.rp_after, r.grade);
        // Most grades neither follow nor set a repeat or a 3: the marks are looked into only when they can matter.
        const bool due = is_due_review(r);
        const bool marked = set == interval_origin::repeat || set == interval_origin::hard;
        if (!due && !marked && marks_.empty())
            return;
        // The mark the item's previous grade left, found by the interval it set.
        interval_origin before = interval_origin::grade;
        for (interval_origin o : {interval_origin::repeat, interval_origin::hard})
            if (const auto found = marks_.find(mark(r.item_id, r.interval_before, o)); found != marks_.end()) {
                before = o;
                if (--found->second == 0)
                    marks_.erase(found);
                break;
            }
        if (due)
            // A due review counts a repetition: the item was young if it has no more than that.
            note_due_review(control, r.grade,
                before != interval_origin::grade   ? before
                    : r.rp_after <= young_repetitions ? interval_origin::young
                                                      : interval_origin::grade,
                r.elapsed, r.interval_before);
        if (marked)
            ++marks_[mark(r.item_id, r.interval_after, set)];
    }
    retention_control control;

private:
    // Items made in the same second share their id: a mark holds the interval and the origin too,
    // and counts the items that left it.
    static uint64_t mark(uint32_t id, uint16_t interval, interval_origin o)
    {
        return static_cast<uint64_t>(id) << 24 | static_cast<uint64_t>(interval) << 8 | static_cast<uint64_t>(o);
    }
    // The marks of the items whose latest grade was a passed same-day repeat or a 3 past their youth.
    std::unordered_map<uint64_t, uint32_t> marks_;
};

retention_control retention_control_of(const std::vector<review_record>& standing)
{
    retention_fold fold;
    for (const review_record& r : standing)
        fold.add(r);
    return fold.control;
}

retention_control read_retention_control(const std::string& log_path, uint64_t records)
{
    // Undos are rare: the grades they take back are kept by their number in the file, latest first.
    std::vector<uint64_t> undone;
    {
        backward_undos undos;
        review_log_chunks log(log_path, review_log_chunks::direction::backward, records);
        records = log.records();
        for (auto chunk = log.next(); !chunk.empty(); chunk = log.next())
            for (size_t at = chunk.size(); at > 0; at -= review_record_size) {
                review_record r;
                if (decode_review(chunk.data() + at - review_record_size, &r) && !undos.stands(r)
                    && r.event == review_event::grade)
                    undone.push_back(log.first_record() + at / review_record_size - 1);
            }
    }
    retention_fold fold;
    review_log_chunks log(log_path, review_log_chunks::direction::forward, records);
    for (auto chunk = log.next(); !chunk.empty(); chunk = log.next())
        for (size_t at = 0; at < chunk.size(); at += review_record_size) {
            review_record r;
            if (!decode_review(chunk.data() + at, &r))
                continue;
            if (!undone.empty() && undone.back() == log.first_record() + at / review_record_size) {
                undone.pop_back();
                continue;
            }
            fold.add(r);
        }
    return fold.control;
}

void open_retention_control(const std::string& log_path)
{
    retention_control& c = retention_control_state();
    fold_lost = false;
    const std::uintmax_t size = file_size_or_zero(log_path);
    if (size == 0) {
        c = {};
    } else if (!read_kept(log_path, size, &c)) {
        // A lifetime's log takes most of a second: the window need not wait for it, only the first
        // grade, and the records this session appends are not the fold's.
        try {
            pending_fold() = std::async(std::launch::async, fold_log, log_path, size / review_record_size);
        } catch (const std::system_error&) {
            take_fold(c, fold_log(log_path, size / review_record_size));
        }
    }
}

void close_retention_control(const std::string& log_path)
{
    const retention_control& c = retention_control_state();
    if (const std::uintmax_t size = file_size_or_zero(log_path); size > 0 && !fold_lost)
        write_kept(log_path, size, c);
}
