#include "session/review_stats.h"

#include <algorithm>
#include <bit>

#include "database/database.h"
#include "services/log.h"
#include "session/review_log_passes.h"

int band_of(uint32_t value)
{
    if (value == 0)
        return 0;
    return std::min(band_count - 1, static_cast<int>(std::bit_width(value)));
}

uint32_t band_low(int band) { return band <= 0 ? 0 : 1u << (band - 1); }

uint32_t band_high(int band)
{
    if (band <= 0)
        return 0;
    return band == band_count - 1 ? UINT32_MAX : (1u << band) - 1;
}

std::vector<uint32_t> due_per_day(uint16_t today, int days)
{
    std::vector<uint32_t> due(static_cast<size_t>(std::max(days, 0)), 0);
    if (due.empty())
        return due;
    for (const item* e = db().head; e; e = e->next) {
        const uint32_t ahead = e->tmtrpt <= today ? 0u : static_cast<uint32_t>(e->tmtrpt - today);
        if (ahead < due.size())
            ++due[ahead];
        else
            break;  // the list is sorted by due day
    }
    return due;
}

item_bands item_histograms()
{
    item_bands b{std::vector<uint32_t>(band_count, 0), std::vector<uint32_t>(band_count, 0)};
    for (const item* e = db().head; e; e = e->next) {
        ++b.intervals[static_cast<size_t>(band_of(e->ivl))];
        ++b.repetitions[static_cast<size_t>(band_of(e->rp))];
    }
    return b;
}

namespace {

constexpr size_t day_numbers = 65536;

// Standing grades summed by day number, band and recency. They come latest first, so that the
// recent window and each day's last TestError are the first ones met.
class standing_tally {
public:
    explicit standing_tally(uint16_t today)
        : today_(today), reviews_(day_numbers, 0), retention_(day_numbers), test_error_(day_numbers, 0.0f),
          by_band_(band_count)
    {
    }

    void add(const review_record& r)
    {
        if (r.event != review_event::grade)
            return;
        any_standing_ = true;
        first_day_ = std::min(first_day_, r.day);
        const bool due = is_due_review(r);
        const bool passed = r.grade >= 3;
        if (r.day <= today_) {
            ++reviews_[r.day];
            if (due) {
                ++retention_[r.day].reviews;
                retention_[r.day].passed += passed;
            }
            if (r.test_error > 0 && test_error_[r.day] == 0)
                test_error_[r.day] = r.test_error;
        }
        if (due) {
            retention_figure& b = by_band_[static_cast<size_t>(band_of(r.interval_before))];
            ++b.reviews;
            b.passed += passed;
        }
        if (grading_.grades_seen < recent_grade_window) {
            ++grading_.grades_seen;
            grading_.any_five = grading_.any_five || r.grade == 5;
        }
        // Day numbers wrap at 65,536: the age of a grade is taken modulo that too.
        if (static_cast<uint16_t>(today_ - r.day) < recent_retention_days && due) {
            ++grading_.recent.reviews;
            grading_.recent.passed += passed;
        }
    }

    void finish(history_figures* out) const
    {
        out->by_band = by_band_;
        out->grading = grading_;
        if (!any_standing_)
            return;
        daily_figures& f = out->daily;
        f.first_day = std::min(today_, first_day_);
        const auto from = f.first_day;
        const auto to = static_cast<size_t>(today_) + 1;
        f.reviews.assign(reviews_.begin() + from, reviews_.begin() + static_cast<std::ptrdiff_t>(to));
        f.retention.assign(retention_.begin() + from, retention_.begin() + static_cast<std::ptrdiff_t>(to));
        f.test_error.assign(test_error_.begin() + from, test_error_.begin() + static_cast<std::ptrdiff_t>(to));
    }

private:
    uint16_t today_;
    bool any_standing_ = false;
    uint16_t first_day_ = UINT16_MAX;  // the earliest day of a standing grade
    std::vector<uint32_t> reviews_;  // by day number
    std::vector<retention_figure> retention_;  // by day number
    std::vector<float> test_error_;  // by day number
    std::vector<retention_figure> by_band_;
    grading_summary grading_;
};

}  // namespace

history_figures figures_of(const std::vector<review_record>& standing, uint16_t today)
{
    standing_tally tally(today);
    for (auto r = standing.rbegin(); r != standing.rend(); ++r)
        tally.add(*r);
    history_figures h;
    tally.finish(&h);
    return h;
}

history_figures read_history_figures(const std::string& path, uint16_t today)
{
    history_figures h;
    standing_tally tally(today);
    backward_undos undos;
    review_log_chunks log(path, review_log_chunks::direction::backward);
    h.found = log.found();
    h.partial_bytes = log.partial_bytes();
    for (auto chunk = log.next(); !chunk.empty(); chunk = log.next())
        for (size_t at = chunk.size(); at > 0; at -= review_record_size) {
            review_record r;
            if (!decode_review(chunk.data() + at - review_record_size, &r))
                ++h.damaged;
            else if (undos.stands(r))
                tally.add(r);
        }
    if (h.damaged > 0)
        write_log("WARNING: %u damaged records of %s were skipped.\n", h.damaged, path.c_str());
    tally.finish(&h);
    return h;
}
