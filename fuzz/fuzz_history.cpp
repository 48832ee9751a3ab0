#include "fuzz/fuzz_history.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
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
    // The one backward pass must find what the standing grades give.
    const history_figures pass = read_history_figures(path, today);
    const grading_summary grading = summarize_grading(standing, today);
    const auto bands = retention_by_band(standing);
    auto same = [](const std::vector<retention_figure>& a, const std::vector<retention_figure>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const retention_figure& x, const retention_figure& y) {
            return x.reviews == y.reviews && x.passed == y.passed;
        });
    };
    const auto bits = [](const std::vector<float>& v) {
        std::vector<uint32_t> b;
        for (float f : v)
            b.push_back(std::bit_cast<uint32_t>(f));
        return b;
    };
    if (pass.damaged != h.damaged || pass.partial_bytes != h.partial_bytes || pass.daily.first_day != daily.first_day ||
        pass.daily.reviews != daily.reviews || !same(pass.daily.retention, daily.retention) ||
        bits(pass.daily.test_error) != bits(daily.test_error) || !same(pass.by_band, bands) ||
        pass.grading.grades_seen != grading.grades_seen || pass.grading.any_five != grading.any_five ||
        pass.grading.recent.reviews != grading.recent.reviews || pass.grading.recent.passed != grading.recent.passed)
        std::abort();
    due_per_day(today, 365);
    interval_histogram();
    repetition_histogram();
}
