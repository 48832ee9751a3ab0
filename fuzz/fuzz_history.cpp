#include "fuzz/fuzz_history.h"

#include <sys/stat.h>

#include <cstdlib>
#include <numeric>

#include "database/days.h"
#include "services/paths.h"
#include "session/review_stats.h"

void fuzz_history_figures()
{
    const char* const path = data_path(review_log_name);
    const review_history h = read_review_log(path);
    struct stat info {};
    const auto size = ::stat(path, &info) == 0 ? static_cast<size_t>(info.st_size) : 0;
    // Every whole record is read or counted as damaged, the rest is the unfinished piece.
    if ((h.records.size() + h.damaged) * review_record_size + h.partial_bytes != size)
        std::abort();
    const auto standing = standing_reviews(h.records);
    if (standing.size() > h.records.size())
        std::abort();
    const uint16_t today = day_number(0);
    const daily_figures daily = daily_history(standing, today);
    size_t counted = 0;
    for (const review_record& r : standing)
        counted += r.day <= today && r.day >= daily.first_day;
    if (std::accumulate(daily.reviews.begin(), daily.reviews.end(), size_t{0}) != counted)
        std::abort();
    retention_by_band(standing);
    due_per_day(today, 365);
    interval_histogram();
    repetition_histogram();
}
