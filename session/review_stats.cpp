#include "session/review_stats.h"

#include <algorithm>
#include <bit>

#include "database/database.h"

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

namespace {

std::vector<uint32_t> histogram_of(uint16_t item::*field)
{
    std::vector<uint32_t> bands(band_count, 0);
    for (const item* e = db().head; e; e = e->next)
        ++bands[static_cast<size_t>(band_of(e->*field))];
    return bands;
}

}  // namespace

std::vector<uint32_t> interval_histogram() { return histogram_of(&item::ivl); }

std::vector<uint32_t> repetition_histogram() { return histogram_of(&item::rp); }

bool counts_for_retention(const review_record& r)
{
    return r.event == review_event::grade && r.screen != review_screen::added && r.screen != review_screen::queue &&
        r.interval_before > 0 && r.elapsed >= r.interval_before;
}

daily_figures daily_history(const std::vector<review_record>& standing, uint16_t last_day)
{
    daily_figures f;
    if (standing.empty())
        return f;
    uint16_t first = last_day;
    for (const review_record& r : standing)
        first = std::min(first, r.day);
    f.first_day = first;
    const size_t days = static_cast<size_t>(last_day - first) + 1;
    f.reviews.assign(days, 0);
    f.retention.assign(days, {});
    f.test_error.assign(days, 0.0f);
    for (const review_record& r : standing) {
        if (r.event != review_event::grade || r.day > last_day)
            continue;
        const size_t d = r.day - first;
        ++f.reviews[d];
        if (counts_for_retention(r)) {
            ++f.retention[d].reviews;
            f.retention[d].passed += r.grade >= 3;
        }
        if (r.test_error > 0)
            f.test_error[d] = r.test_error;
    }
    return f;
}

std::vector<retention_figure> retention_by_band(const std::vector<review_record>& standing)
{
    std::vector<retention_figure> bands(band_count);
    for (const review_record& r : standing) {
        if (!counts_for_retention(r))
            continue;
        retention_figure& b = bands[static_cast<size_t>(band_of(r.interval_before))];
        ++b.reviews;
        b.passed += r.grade >= 3;
    }
    return bands;
}

grading_summary summarize_grading(const std::vector<review_record>& standing, uint16_t today)
{
    grading_summary g;
    for (auto r = standing.rbegin(); r != standing.rend(); ++r) {
        if (r->event != review_event::grade)
            continue;
        if (g.grades_seen < recent_grade_window) {
            ++g.grades_seen;
            g.any_five = g.any_five || r->grade == 5;
        }
        // Day numbers wrap at 65,536: the age of a grade is taken modulo that too.
        if (static_cast<uint16_t>(today - r->day) < recent_retention_days && counts_for_retention(*r)) {
            ++g.recent.reviews;
            g.recent.passed += r->grade >= 3;
        }
    }
    return g;
}
