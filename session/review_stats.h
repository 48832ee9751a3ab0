#pragma once
// The figures behind the statistics charts: the schedule ahead from the database, and what
// the user did from the review log.
#include <cstdint>
#include <string>
#include <vector>

#include "session/review_log.h"

// Interval and repetition bands: 0, 1, 2-3, 4-7, ... 1024-2047 days (or repetitions).
constexpr int band_count = 12;
int band_of(uint32_t value);
uint32_t band_low(int band);  // the smallest value in the band
uint32_t band_high(int band);  // the largest value in the band

// Scheduled items due on each of the days today .. today + days - 1; the overdue ones count
// on today.
std::vector<uint32_t> due_per_day(uint16_t today, int days);
struct item_bands {
    std::vector<uint32_t> intervals;  // items by band of their interval
    std::vector<uint32_t> repetitions;  // items by band of their repetitions
};
// Both histograms in one walk of the items.
item_bands item_histograms();

struct retention_figure {
    uint32_t reviews = 0;  // grades given on or after the due day
    uint32_t passed = 0;  // of those, the grades of 3 or more
    double share() const { return reviews ? static_cast<double>(passed) / reviews : 0.0; }
    bool operator==(const retention_figure&) const = default;
};

struct daily_figures {
    uint16_t first_day = 0;  // day number of entry 0
    std::vector<uint32_t> reviews;  // grades given per day
    std::vector<retention_figure> retention;  // per day, of the reviews that were due
    std::vector<float> test_error;  // the last TestError logged that day, 0 when none
    bool operator==(const daily_figures&) const = default;
};

// Days over which the statistics window measures retention at review.
constexpr uint16_t recent_retention_days = 30;
// Latest grades in which a grade 5 is looked for.
constexpr uint32_t recent_grade_window = 200;
// Retention at review above which grades without a 5 leave the network nothing to lengthen with.
constexpr double retention_without_fives = 0.95;

// What the user's grades give the network to learn from lately.
struct grading_summary {
    retention_figure recent;  // due reviews of the last recent_retention_days days, today included
    uint32_t grades_seen = 0;  // the latest standing grades looked at, at most recent_grade_window
    bool any_five = false;  // whether one of them was a 5
    // A full window of grades without a 5 while nearly everything is recalled: only grade 5
    // lengthens intervals beyond the days an item has proved to last.
    bool nothing_to_lengthen_with() const
    {
        return grades_seen == recent_grade_window && !any_five && recent.reviews > 0 &&
            recent.share() > retention_without_fives;
    }
    bool operator==(const grading_summary&) const = default;
};

// Every figure the statistics window draws from the log.
struct history_figures {
    daily_figures daily;  // per day, from the first standing grade to today
    std::vector<retention_figure> by_band;  // retention of due reviews by band of the interval before
    grading_summary grading;  // what the latest grades give the network
    uint32_t damaged = 0;  // whole records that could not be decoded, skipped
    uint32_t partial_bytes = 0;  // bytes of an unfinished last record, ignored
    bool found = false;  // whether the file exists
};
// The figures of a log's standing grades (undone ones removed, as standing_reviews gives them),
// in file order; undo records among them are passed over. For tools and tests that hold the records.
history_figures figures_of(const std::vector<review_record>& standing, uint16_t today);
// The same figures in one pass over the file from its end, undos matched on the way: memory
// grows with the items that have undos still to be matched, not with the records.
history_figures read_history_figures(const std::string& path, uint16_t today);
