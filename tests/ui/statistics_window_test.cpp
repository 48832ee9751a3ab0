// The statistics window: its charts have something to draw, and it says what the grades lack.
#include <QtCharts>

#include <cmath>

#include "session/retention_control.h"
#include "session/review_log.h"
#include "ui/statistics_window.h"
#include "ui_fixture.h"

namespace {

class StatisticsWindow : public ui_test {
protected:
    // The numbers a chart draws on its axes, which its bars and lines are read by.
    static int drawn_numbers(QChartView* view)
    {
        int numbers = 0;
        for (QGraphicsItem* item : view->scene()->items())
            if (auto* text = dynamic_cast<QGraphicsTextItem*>(item)) {
                bool number = false;
                QLocale().toDouble(text->toPlainText(), &number);
                numbers += number;
            }
        return numbers;
    }
    void open(const std::function<void(statistics_window*)>& act)
    {
        in_window<statistics_window>([this] { QTest::keyClick(w, Qt::Key_T, Qt::ControlModifier); }, act);
    }
};

}  // namespace

TEST_F(StatisticsWindow, ChartsTheScheduleAndTheLogAndTellsWhatTheGradesLackAndWhenPassesAreShortened)
{
    for (int i = 0; i < 40; ++i)
        add_item("q" + std::to_string(i), "a", 0, i % 9 - 2)->ivl = 3;
    show_main_screen();
    key(Qt::Key_Return);
    for (int i = 0; i < 5; ++i) {
        key(Qt::Key_Return);
        key(Qt::Key_4);
    }
    int tabs = 0, charts = 0;
    open([&](statistics_window* window) {
        tabs = window->tabs()->count();
        EXPECT_FALSE(child<QLabel>(window, "grade_five_note")->isVisible());  // too few grades to judge
        EXPECT_FALSE(child<QLabel>(window, "shortened_note")->isVisible());
        for (QChartView* view : window->findChildren<QChartView*>())
            for (QAbstractSeries* series : view->chart()->series()) {
                auto* line = qobject_cast<QXYSeries*>(series);
                auto* bars = qobject_cast<QBarSeries*>(series);
                charts += (line && line->count() > 0) || (bars && !bars->barSets().isEmpty() && bars->barSets()[0]->sum() > 0);
            }
        // Both axes of every chart on every tab carry their figures.
        for (int tab = 0; tab < tabs; ++tab) {
            for (QChartView* view : window->tabs()->currentWidget()->findChildren<QChartView*>())
                EXPECT_GE(drawn_numbers(view), 6) << view->chart()->title().toStdString();
            QTest::keyClick(window->tabs(), Qt::Key_Tab, Qt::ControlModifier);
        }
        // A year of days ends at its last day, not at the next round tick.
        QList<double> year_ends;
        for (QChartView* view : window->findChildren<QChartView*>())
            if (view->chart()->title().contains(QStringLiteral("365")))
                year_ends << qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Horizontal).at(0))->max();
        EXPECT_EQ(year_ends, QList<double>{364.5});
    });
    EXPECT_TRUE(tabs == 5 && charts == 8);  // every chart has something to draw
    EXPECT_EQ(ui().pass.mode(), screen_mode::scheduled);  // the review left as it was

    // 200 grades without a 5, nearly all recalled, and passes recalled far too seldom: the window
    // says what a 5 means and why passes are shortened (when is the session's to judge).
    for (int i = 0; i < 200; ++i) {
        const review_record r{.item_id = static_cast<uint32_t>(i + 1), .day = day_number(0), .elapsed = 8, .interval_before = 8,
            .grade = static_cast<uint8_t>(i < 4 ? 2 : 4)};
        ASSERT_EQ(append_review(r), review_append_status::appended);
    }
    retention_control_state().guard_log = static_cast<float>(std::log(0.6));
    activate();
    open([&](statistics_window* window) {
        EXPECT_EQ(child<QLabel>(window, "recent_retention")->text(),
            QStringLiteral("Retention at review, last 30 days: 98.0 % of 205 due reviews recalled."));
        auto* five = child<QLabel>(window, "grade_five_note");
        EXPECT_TRUE(five->isVisible() && five->text().contains(QStringLiteral("Grade 5 means the answer came easily")));
        const QString shortened = child<QLabel>(window, "shortened_note")->text();
        EXPECT_TRUE(child<QLabel>(window, "shortened_note")->isVisible() && shortened.contains(QStringLiteral("Fewer than 82 % "))
            && shortened.contains(QStringLiteral(" now 60 % "))) << shortened.toStdString();
    });
}

TEST(StatisticsAxes, TicksFallOnRoundNumbers)
{
    for (const auto& [top, step] : {std::pair{0.0, 1.0}, {4, 1}, {7, 2}, {30, 10}, {365, 100}, {1.0, 0.2}, {2047, 500}, {12000, 5000}})
        EXPECT_DOUBLE_EQ(round_tick_step(top), step) << top;
}
