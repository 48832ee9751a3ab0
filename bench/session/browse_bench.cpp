// The item browser's search over 100,000 and 1,000,000 items (texts of real lengths with
// accented words and formatting tags, each in its own allocation as the reader makes them),
// against the plain byte search of the same texts that any search must at least do, and the
// making of its rows when the window opens.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <random>
#include <span>
#include <string>

#include "bench/support/user_database.h"
#include "database/database.h"
#include "platform/files.h"
#include "session/browse.h"
#include "session/lifecycle.h"

namespace {

// Words of a language course: a fifth of them with letters past ASCII.
const char* const words[] = {"der", "die", "das", "Haus", "gehen", "Bär", "über", "Straße", "Mädchen", "schön",
    "la", "fête", "être", "naïve", "école", "garçon", "and", "the", "house", "question", "answer", "Zeit", "Arbeit",
    "Frühstück", "Käse", "río", "año", "niño", "Übung", "große"};

// Question and answer lengths of vocabulary and fact cards: most short, a long tail.
std::string user_text(std::mt19937& random, double median)
{
    std::lognormal_distribution<double> length(std::log(median), 0.8);
    const auto n = static_cast<size_t>(std::clamp(length(random), 2.0, 2000.0));
    std::string text;
    while (text.size() < n) {
        const bool bold = random() % 20 == 0;
        if (!text.empty())
            text += ' ';
        text += bold ? "<b>" : "";
        text += words[random() % std::size(words)];
        text += bold ? "</b>" : "";
    }
    return text;
}

struct collection {
    explicit collection(uint32_t count)
    {
        path = make_temp_directory("cardwright-browse-bench");
        bench_data::open_database(path);
        std::mt19937 random(count);
        item* tail = nullptr;
        for (uint32_t i = 0; i < count; ++i) {
            item* e = new_item();
            e->tmtrpt = static_cast<uint16_t>(i * 2000ull / count);
            e->question = user_text(random, 40);
            e->answer = user_text(random, 60);
            (tail ? tail->next : db().head) = e;
            tail = e;
        }
        db().item_count = count;
        rows = scheduled_rows();
        order.resize(rows.size());
        std::iota(order.begin(), order.end(), 0u);
    }
    ~collection()
    {
        bench_data::close_database();
        std::filesystem::remove_all(path);
    }
    std::string path;
    std::vector<browse_row> rows;
    std::vector<uint32_t> order;
};

// A word typed as the user types it: capitals, no accents.
constexpr const char* typed = "STRASSE";

// Runs `search` as the benchmark's loop, and labels the run with how many rows the last one found.
template <class search_rows>
void run_search(benchmark::State& state, search_rows search)
{
    size_t found = 0;
    for (auto _ : state) {
        const auto shown = search();
        found = shown.size();
        benchmark::DoNotOptimize(shown.data());
    }
    state.SetLabel(std::to_string(found) + " of " + std::to_string(state.range(0)) + " items found");
}

void BM_browse_search(benchmark::State& state)
{
    collection c(static_cast<uint32_t>(state.range(0)));
    browse_filter filter;
    filter.folded_query = fold_text(typed);
    run_search(state, [&] { return filter_rows(c.rows, c.order, filter); });
}
BENCHMARK(BM_browse_search)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// The same search over the texts folded once (what the browser keeps after its first search),
// for the typed word (Arg 0), and for a first letter that nearly every row holds and the two
// letters after it (1 and 2): the keys with the most rows found.
void BM_browse_search_folded(benchmark::State& state)
{
    collection c(static_cast<uint32_t>(state.range(0)));
    const folded_rows folded = fold_rows(c.rows);
    browse_filter filter;
    filter.folded_query = fold_text(std::array {typed, "e", "er"}[static_cast<size_t>(state.range(1))]);
    // Into the same result each time, as the browser keeps it from key to key.
    std::vector<uint32_t> shown;
    run_search(state, [&] {
        filter_rows(c.rows, c.order, filter, &folded, shown);
        return std::span<const uint32_t>(shown);
    });
    // Exactness: the rows are those the search that folds as it goes finds.
    if (filter_rows(c.rows, c.order, filter) != filter_rows(c.rows, c.order, filter, &folded))
        state.SkipWithError("the searches disagree");
    state.counters["folded_bytes_per_item"] = static_cast<double>(folded.text.size()) / static_cast<double>(state.range(0));
}
BENCHMARK(BM_browse_search_folded)->ArgsProduct({{100'000, 1'000'000}, {0, 1, 2}})->Unit(benchmark::kMillisecond)->UseRealTime();

// The first search: the texts folded into the buffer that the later ones scan.
void BM_browse_fold_rows(benchmark::State& state)
{
    collection c(static_cast<uint32_t>(state.range(0)));
    for (auto _ : state) {
        const folded_rows folded = fold_rows(c.rows);
        benchmark::DoNotOptimize(folded.text.data());
    }
}
BENCHMARK(BM_browse_fold_rows)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// The reference: the query's bytes looked for in every question and answer, as they stand.
void BM_reference_byte_search(benchmark::State& state)
{
    collection c(static_cast<uint32_t>(state.range(0)));
    const std::string query = "Straße";
    run_search(state, [&] {
        std::vector<uint32_t> shown;
        shown.reserve(c.order.size());
        for (const uint32_t i : c.order) {
            const item* e = c.rows[i].scheduled;
            if (e->question.view().find(query) != std::string_view::npos || e->answer.view().find(query) != std::string_view::npos)
                shown.push_back(i);
        }
        return shown;
    });
}
BENCHMARK(BM_reference_byte_search)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// Opening: the rows and the list order, before any text is looked at.
void BM_browse_rows(benchmark::State& state)
{
    collection c(static_cast<uint32_t>(state.range(0)));
    for (auto _ : state) {
        std::vector<browse_row> rows = scheduled_rows();
        std::vector<uint32_t> order(rows.size());
        std::iota(order.begin(), order.end(), 0u);
        benchmark::DoNotOptimize(order.data());
    }
}
BENCHMARK(BM_browse_rows)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
