// The item browser's actions on the lifetime collection (1,000,000 items, 200,000 queued; Arg 1)
// and a hundredth of it (Arg 100), each timed from the input (a real key or mouse event) to the
// window drawn again, offscreen: opening it, a key in the search box, the first and the second
// click on a column's header. A key or a click comes after the pause in which the window's
// preparing threads finish (as a user's first look at the rows gives them), and a click before it
// is timed too. The reference in the same run is a key typed into a line edit of an otherwise
// empty window until that window is drawn: what any frame after a key costs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPixmap>
#include <QTableView>
#include <QTest>

#include <memory>
#include <string>

#include "bench/support/lifetime_directory.h"
#include "database/database.h"
#include "session/lifecycle.h"
#include "ui/browser.h"
#include "offscreen_main.h"

namespace {

// The collection of this divisor opened as the program opens it, the other one closed.
void open_collection(uint32_t divisor)
{
    static uint32_t opened = 0;
    if (opened == divisor)
        return;
    if (opened != 0)
        ma_discard();
    bench_data::open_database(bench_data::lifetime_path(divisor).c_str());
    opened = divisor;
}

// The whole window painted, as the frame after an input paints it.
void draw(QWidget& window) { benchmark::DoNotOptimize(window.grab()); }

std::unique_ptr<browser_window> shown_browser()
{
    auto window = std::make_unique<browser_window>();
    window->show();
    draw(*window);
    return window;
}

// The pause after opening: the folded texts and the ranks of the texts arrive.
void let_prepare(browser_window& window)
{
    while (!window.model(browse_kind::scheduled)->prepared() || !window.model(browse_kind::pending)->prepared())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

void click_header(QTableView* view, int column)
{
    QHeaderView* header = view->horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, header->height() / 2));
}

void set_items_label(benchmark::State& state)
{
    state.counters["items"] = static_cast<double>(db().item_count);
    state.counters["queued"] = static_cast<double>(db().pending_count);
}

void BM_reference_key_to_frame(benchmark::State& state)
{
    QWidget window;
    window.resize(900, 560);
    auto* edit = new QLineEdit(&window);
    window.show();
    draw(window);
    bool typed = false;
    for (auto _ : state) {
        if (typed)
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClick(edit, Qt::Key_E);
        typed = !typed;
        draw(window);
    }
}
BENCHMARK(BM_reference_key_to_frame)->Unit(benchmark::kMillisecond);

// From nothing to the window drawn with its first screen of rows.
void BM_browser_open(benchmark::State& state)
{
    open_collection(static_cast<uint32_t>(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<browser_window> window = shown_browser();
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
    set_items_label(state);
}
BENCHMARK(BM_browser_open)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// A letter typed into the search box until the window is drawn: "e", which nearly every row
// holds, so that the most rows pass. The first key of a window just opened (second argument 0),
// after the pause in which its preparing threads finish, pays for the memory its search touches
// first; later keys (1) find it touched, each after the key that empties the box again, untimed.
void BM_browser_search_key(benchmark::State& state)
{
    const bool first = state.range(1) == 0;
    open_collection(static_cast<uint32_t>(state.range(0)));
    std::unique_ptr<browser_window> window;
    const auto settle = [&] {
        while (!window->model(browse_kind::scheduled)->filter_done() || !window->model(browse_kind::pending)->filter_done())
            QCoreApplication::processEvents();
    };
    for (auto _ : state) {
        state.PauseTiming();
        if (first || !window) {
            window.reset();
            window = shown_browser();
            let_prepare(*window);
        } else {
            QTest::keyClick(window->search_box(), Qt::Key_Backspace);
            draw(*window);
            settle();
        }
        state.ResumeTiming();
        QTest::keyClick(window->search_box(), Qt::Key_E);
        draw(*window);
        state.PauseTiming();
        settle();
        state.ResumeTiming();
    }
    set_items_label(state);
}
BENCHMARK(BM_browser_search_key)->Args({100, 0})->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMillisecond)->Iterations(6);

// A click on the question's header of a window just opened, with the ranks of the texts made
// meanwhile (the second argument 1), or at once, before they can be (0: the click makes them).
void BM_browser_header_first_click(benchmark::State& state)
{
    const bool at_once = state.range(1) == 0;
    open_collection(static_cast<uint32_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<browser_window> window = shown_browser();
        if (!at_once)
            let_prepare(*window);
        state.ResumeTiming();
        click_header(window->view(browse_kind::scheduled), column_question);
        draw(*window);
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
    set_items_label(state);
}
BENCHMARK(BM_browser_header_first_click)->Args({100, 1})->Args({100, 0})->Args({1, 1})->Args({1, 0})->Unit(benchmark::kMillisecond)->Iterations(5);

// Clicks on the same header again: each reverses the order by the ranks kept.
void BM_browser_header_second_click(benchmark::State& state)
{
    open_collection(static_cast<uint32_t>(state.range(0)));
    std::unique_ptr<browser_window> window = shown_browser();
    QTableView* view = window->view(browse_kind::scheduled);
    click_header(view, column_question);
    for (auto _ : state) {
        click_header(view, column_question);
        draw(*window);
    }
    set_items_label(state);
}
BENCHMARK(BM_browser_header_second_click)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) { return run_offscreen_benchmarks(argc, argv, [] { ma_discard(); }); }
