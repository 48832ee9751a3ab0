// The statistics window on a lifetime of reviews: 100,000 items and 1,000,000 log records of a
// simulated learner, against one fread of the log.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <QTabWidget>

#include <cstdio>
#include <memory>
#include <vector>

#include "bench/support/user_database.h"
#include "calendar/calendar.h"
#include "database/database.h"
#include "database/days.h"
#include "platform/files.h"
#include "services/paths.h"
#include "session/lifecycle.h"
#include "session/review_log.h"
#include "session/review_stats.h"
#include "tools/learner.h"
#include "ui/statistics_window.h"
#include "offscreen_main.h"

namespace {

constexpr uint32_t item_total = 100000;
constexpr size_t record_total = 1000000;

struct history_fixture {
    std::string dir;
    size_t log_bytes = 0;
};

// Items added 100 a day and reviewed when due on an interval that doubles and a half on a
// pass and falls to a day on a failure, until the log holds a million grades; the database
// holds the items as that schedule left them.
history_fixture build_history()
{
    history_fixture f;
    f.dir = make_temp_directory("cardwright-bench-history");
    learner person(learner_family::exponential, grading_habit::graded, 17);
    struct state {
        int due = 0, last = 0;  // the day of the next review, and of the last one
        uint16_t interval = 0;  // days between them
        uint8_t rp = 0;  // reviews so far
        uint16_t grade = 0;  // the last one's
    };
    std::vector<state> items;
    std::vector<unsigned char> log;
    log.reserve(record_total * review_record_size);
    const uint32_t start = time_now() - 4000u * 86400u;
    int day = 0;
    std::vector<std::vector<uint32_t>> due_on(8000);
    auto schedule = [&](uint32_t i) {
        if (static_cast<size_t>(items[i].due) < due_on.size())
            due_on[static_cast<size_t>(items[i].due)].push_back(i);
    };
    auto append = [&](const review_record& r) {
        unsigned char bytes[review_record_size];
        encode_review(r, bytes);
        log.insert(log.end(), bytes, bytes + sizeof bytes);
    };
    for (; log.size() < record_total * review_record_size && day < 7999; ++day) {
        for (int n = 0; n < 100 && items.size() < item_total; ++n) {
            const uint32_t i = person.add_item(day);
            const uint16_t grade = person.creation_grade(i);
            items.push_back({day + 1, day, 1, 0, grade});
            append({start + static_cast<uint32_t>(day) * 86400u, start + i, static_cast<uint16_t>(day), 0, 0, 1,
                0.05f, static_cast<uint8_t>(grade), 0, review_screen::added, review_event::grade});
            schedule(i);
        }
        for (uint32_t i : due_on[static_cast<size_t>(day)]) {
            if (log.size() >= record_total * review_record_size)
                break;
            state& s = items[i];
            const review_outcome o = person.review(i, day);
            const uint16_t before = s.interval;
            s.interval = o.recalled ? static_cast<uint16_t>(std::min(2047, before * 5 / 2 + 1)) : 1;
            s.rp = static_cast<uint8_t>(std::min(127, s.rp + 1));
            append({start + static_cast<uint32_t>(day) * 86400u + 3600, start + i, static_cast<uint16_t>(day),
                static_cast<uint16_t>(day - s.last), before, s.interval, 0.05f, static_cast<uint8_t>(o.grade), s.rp,
                review_screen::scheduled, review_event::grade});
            s.last = day;
            s.grade = o.grade;
            s.due = day + s.interval;
            schedule(i);
        }
    }
    if (FILE* out = std::fopen((f.dir + review_log_name).c_str(), "wb")) {
        std::fwrite(log.data(), 1, log.size(), out);
        std::fclose(out);
    }
    f.log_bytes = log.size();

    bench_data::open_database(f.dir);
    db().time_of_start = start;
    scheduled_batch batch;
    for (uint32_t i = 0; i < items.size(); ++i) {
        item* e = new_item();
        e->question = "Wie heißt das Wort für die Zeit zwischen Abend und Morgen? " + std::to_string(i);
        e->answer = "die Nacht";
        e->id = start + i;
        e->tmtrpt = e->stmtrpt = static_cast<uint16_t>(items[i].due);
        e->ivl = items[i].interval;
        e->rp = items[i].rp;
        e->gr = items[i].grade;
        batch.add(e);
        ++db().item_count;
    }
    batch.link();
    return f;
}

const history_fixture& fixture()
{
    static const history_fixture f = build_history();
    return f;
}

void BM_fread_review_log(benchmark::State& state)
{
    const history_fixture& f = fixture();
    for (auto _ : state) {
        std::unique_ptr<unsigned char[]> memory(new unsigned char[f.log_bytes]);
        FILE* in = std::fopen((f.dir + review_log_name).c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(memory.get(), 1, f.log_bytes, in));
        std::fclose(in);
    }
    state.counters["records"] = static_cast<double>(f.log_bytes / review_record_size);
}
BENCHMARK(BM_fread_review_log)->Unit(benchmark::kMillisecond);

void BM_history_figures(benchmark::State& state)
{
    const history_fixture& f = fixture();
    for (auto _ : state) {
        const review_history h = read_review_log(f.dir + review_log_name);
        const auto standing = standing_reviews(h.records);
        const uint16_t today = day_number(0);
        benchmark::DoNotOptimize(figures_of(standing, today));
        benchmark::DoNotOptimize(due_per_day(today, 365));
        benchmark::DoNotOptimize(item_histograms());
    }
    state.counters["items"] = db().item_count;
}
BENCHMARK(BM_history_figures)->Unit(benchmark::kMillisecond);

// The window built and every tab drawn once, as a user paging through it sees them.
void BM_statistics_window(benchmark::State& state)
{
    fixture();
    for (auto _ : state) {
        statistics_window window;
        window.resize(760, 620);
        for (int tab = 0; tab < window.tabs()->count(); ++tab) {
            window.tabs()->setCurrentIndex(tab);
            benchmark::DoNotOptimize(window.grab());
        }
    }
}
BENCHMARK(BM_statistics_window)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return run_offscreen_benchmarks(argc, argv, [] { ma_discard(); }); }
