#include "fuzz/fuzz_history.h"

#include <sys/stat.h>

#include <algorithm>
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
    const history_figures forward = figures_of(standing, today);
    size_t counted = 0;
    for (const review_record& r : standing)
        counted += r.day <= today && r.day >= forward.daily.first_day;
    if (std::accumulate(forward.daily.reviews.begin(), forward.daily.reviews.end(), size_t{0}) != counted)
        std::abort();
    // The one backward pass, matching undos as it goes, must find what the standing grades give.
    const history_figures pass = read_history_figures(path, today);
    if (pass.damaged != h.damaged || pass.partial_bytes != h.partial_bytes || pass.daily != forward.daily ||
        pass.by_band != forward.by_band || pass.grading != forward.grading)
        std::abort();
    due_per_day(today, 365);
    item_histograms();
}
