#include <QAction>
#include <QLabel>
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QXYSeries>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include <tuple>
#include <utility>

#include "session/review_log.h"
#include "ui/statistics_window.h"
#include "ui_fixture.h"

namespace {

class History : public ui_test {
protected:
    void undo_key() { QTest::keyClick(client(), Qt::Key_Z, Qt::ControlModifier); }
    QMenu* file_menu() const { return w->menuBar()->findChildren<QMenu*>().value(0); }
    QString undo_text() const
    {
        // The entry is named when the menu opens.
        QMenu* menu = file_menu();
        emit menu->aboutToShow();
        const QString text = w->undo_action->isEnabled() ? w->undo_action->text() : QString();
        emit menu->aboutToHide();
        return text;
    }
};

auto schedule_of(const item* e) { return std::make_tuple(e->tmtrpt, e->stmtrpt, e->ivl, e->livl, e->rllivl, e->rp, e->gr); }

}  // namespace

TEST_F(History, CtrlZTakesBackTheLastGradesEvenAfterThePassEnded)
{
    item* bold = add_item("<b>erste</b> Frage", "a1", 0, -4);
    bold->ivl = 3;
    add_item("zweite", "a2", 0, -2)->ivl = 2;
    show_main_screen();
    EXPECT_TRUE(undo_text().isEmpty());

    key(Qt::Key_Return);
    item* first = ui().pass.current_item();
    const QString first_question = question_shown();
    const auto first_before = schedule_of(first);
    key(Qt::Key_Return);
    key(Qt::Key_4);
    item* second = ui().pass.current_item();
    ASSERT_NE(second, first);
    const QString second_question = question_shown();
    const auto second_before = schedule_of(second);
    EXPECT_NE(schedule_of(first), first_before);
    EXPECT_EQ(undo_text(), QStringLiteral("&Undo Grade 4 of \"%1\"").arg(first_question));

    // Back to the first item, its answer hidden again, its schedule as before.
    undo_key();
    EXPECT_EQ(question_shown(), first_question);
    EXPECT_TRUE(answer_shown().isEmpty());
    EXPECT_FALSE(grades_shown());
    EXPECT_EQ(schedule_of(first), first_before);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cardwright (2)"));

    // Grade both; the pass ends, and the undo brings the review screen back.
    key(Qt::Key_Return);
    key(Qt::Key_5);
    key(Qt::Key_Return);
    key(Qt::Key_3);
    ASSERT_EQ(ui().pass.mode(), screen_mode::main);
    undo_key();
    ASSERT_EQ(ui().pass.mode(), screen_mode::scheduled);
    EXPECT_EQ(question_shown(), second_question);
    EXPECT_EQ(schedule_of(second), second_before);
    EXPECT_FALSE(w->ok_button->isHidden());
    EXPECT_TRUE(w->review_button->isHidden());
    // The boxes take the focus again, as on a review screen started from the main screen.
    EXPECT_EQ(w->question_box->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(w->answer_box->focusPolicy(), Qt::StrongFocus);
    undo_key();
    EXPECT_EQ(question_shown(), first_question);
    EXPECT_EQ(schedule_of(first), first_before);
    undo_key();  // nothing left: the item stays
    EXPECT_EQ(question_shown(), first_question);
    EXPECT_EQ(bold->question, "<b>erste</b> Frage");
}

TEST_F(History, ADeleteEndsWhatCanBeUndone)
{
    add_item("q1", "a1", 0, -1);
    add_item("q2", "a2", 0, -1);
    add_item("q3", "a3", 0, -1);
    show_main_screen();
    key(Qt::Key_Return);
    key(Qt::Key_Return);
    key(Qt::Key_4);
    const QString shown = question_shown();
    message_answers() = {message_answer::yes};
    key(Qt::Key_Delete);
    const QString after_delete = question_shown();
    ASSERT_NE(after_delete, shown);
    undo_key();
    EXPECT_EQ(question_shown(), after_delete);
    EXPECT_EQ(db().item_count, 2u);
}

TEST_F(History, TheStatisticsWindowChartsTheScheduleAndTheLog)
{
    for (int i = 0; i < 40; ++i)
        add_item("q" + std::to_string(i), "a", 0, i % 9 - 2)->ivl = 3;
    show_main_screen();
    key(Qt::Key_Return);
    for (int i = 0; i < 5; ++i) {
        key(Qt::Key_Return);
        key(Qt::Key_4);
    }
    int tabs = 0;
    int charts = 0;
    on_next_modal([&](QWidget* dialog) {
        auto* window = qobject_cast<statistics_window*>(dialog);
        if (window) {
            tabs = window->tabs()->count();
            for (QChartView* view : window->findChildren<QChartView*>())
                for (QAbstractSeries* series : view->chart()->series()) {
                    auto* line = qobject_cast<QXYSeries*>(series);
                    auto* bars = qobject_cast<QBarSeries*>(series);
                    const bool drawn = (line && line->count() > 0) ||
                        (bars && !bars->barSets().isEmpty() && bars->barSets()[0]->sum() > 0);
                    charts += drawn ? 1 : 0;
                }
        }
        dialog->close();
    });
    w->findChild<QAction*>(QStringLiteral("statistics_action"))->trigger();
    EXPECT_EQ(tabs, 5);
    EXPECT_EQ(charts, 8);  // every chart has something to draw
    // The window left the review as it was.
    EXPECT_EQ(ui().pass.mode(), screen_mode::scheduled);
}

// Two hundred grades without a 5 while nearly everything is recalled: the window says what a 5
// means; one 5 among them and the note goes.
TEST_F(History, TheStatisticsWindowTellsWhenGradesGiveNothingToLengthenWith)
{
    show_main_screen();
    const uint16_t today = day_number(0);
    auto log_grades = [&](int n, uint8_t grade) {
        for (int i = 0; i < n; ++i) {
            review_record r;
            r.day = today;
            r.item_id = static_cast<uint32_t>(i + 1);
            r.interval_before = r.elapsed = 8;
            r.grade = grade;
            ASSERT_EQ(append_review(r), review_append_status::appended);
        }
    };
    auto open_statistics = [&] {
        QString retention;
        QString note;
        on_next_modal([&](QWidget* dialog) {
            if (auto* window = qobject_cast<statistics_window*>(dialog)) {
                retention = window->findChild<QLabel*>(QStringLiteral("recent_retention"))->text();
                auto* label = window->findChild<QLabel*>(QStringLiteral("grade_five_note"));
                note = label->isVisible() ? label->text() : QString();
            }
            dialog->close();
        });
        w->findChild<QAction*>(QStringLiteral("statistics_action"))->trigger();
        return std::make_pair(retention, note);
    };

    log_grades(4, 2);
    log_grades(196, 4);
    auto [retention, note] = open_statistics();
    EXPECT_EQ(retention, QStringLiteral("Retention at review, last 30 days: 98.0 % of 200 due reviews recalled."));
    EXPECT_TRUE(note.contains(QStringLiteral("Grade 5 means the answer came easily"))) << note.toStdString();

    log_grades(1, 5);
    std::tie(retention, note) = open_statistics();
    EXPECT_TRUE(note.isEmpty()) << note.toStdString();
}

TEST(StatisticsAxes, TicksFallOnRoundNumbers)
{
    const struct {
        double top, step;
    } cases[] = {{0, 1}, {4, 1}, {7, 2}, {30, 10}, {365, 100}, {1.0, 0.2}, {2047, 500}, {12000, 5000}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(round_tick_step(c.top), c.step) << c.top;
}
