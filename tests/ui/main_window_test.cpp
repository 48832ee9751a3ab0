#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <cmath>

#include "database/days.h"
#include "session/choose.h"
#include "session/lifecycle.h"
#include "session/statistics.h"
#include "ui/main_window.h"
#include "support/database_helpers.h"
#include "support/qt_test_support.h"

namespace {

class WindowTest : public qt_test {
protected:
    main_window* open_window(int expected_code = 0)
    {
        auto* window = new main_window;
        EXPECT_EQ(window->open_data(), expected_code);
        return window;
    }
};

item* add_item_due_on(uint16_t day) { return add_test_item(day); }

QString status_of(const main_window* w) { return w->question_box->toPlainText(); }

}  // namespace

TEST_F(WindowTest, AFreshStartShowsTheMainScreenWithOnlyAddEnabled)
{
    main_window* w = open_window();
    EXPECT_TRUE(recorded_messages().empty());
    // The default directory did not exist: it was made, silently.
    EXPECT_TRUE(QFile::exists(default_dir() + "lockfile"));
    EXPECT_EQ(db().db_state, DB_OPEN);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cardwright"));
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    // Shown and enabled, in the order review, add, queue, force.
    std::vector<std::pair<bool, bool>> main_buttons;
    for (QPushButton* b : {w->review_button, w->add_button, w->queue_button, w->force_button})
        main_buttons.emplace_back(!b->isHidden(), b->isEnabled());
    EXPECT_EQ(main_buttons, (std::vector<std::pair<bool, bool>>{{true, false}, {true, true}, {true, false}, {true, false}}));
    EXPECT_EQ(w->review_button->text(), QStringLiteral("Go through scheduled reviews"));
    EXPECT_EQ(w->review_button->property("control_id").toInt(), 21);
    EXPECT_TRUE(w->answer_box->isHidden() && w->ok_button->isHidden());
    for (QPushButton* b : w->grade_buttons)
        EXPECT_TRUE(b->isHidden());
    EXPECT_EQ(w->grade_buttons[3]->text(), QStringLiteral("3"));
    EXPECT_FALSE(w->stop_action->isEnabled() || w->skip_action->isEnabled());
    EXPECT_TRUE(status_of(w).startsWith(QStringLiteral("MobileCardwright PPC_1.3.9\nReviews for today: 0\n")));
}

TEST_F(WindowTest, WithItemsNoneDueOnlyForcedReviewsAndTheQueueOpen)
{
    main_window* w = open_window();
    // Due long after today, whatever today's day number is.
    add_item_due_on(static_cast<uint16_t>(day_number(0) + 300));
    append_pending(new_pending_item());
    show_main_screen();
    EXPECT_EQ(count_due(0, nullptr), 0u);
    EXPECT_TRUE(w->force_button->isEnabled());
    EXPECT_FALSE(w->review_button->isEnabled());
    EXPECT_TRUE(w->queue_button->isEnabled());
    EXPECT_TRUE(w->add_button->isEnabled());
    EXPECT_TRUE(status_of(w).contains(QStringLiteral("Queue: 1\n")));
}

TEST_F(WindowTest, StatusTextWithAndWithoutAMessage)
{
    status_figures f{3, 120, 4, 17, true, 962};
    EXPECT_EQ(format_status_text(std::nullopt, f),
        QStringLiteral("MobileCardwright PPC_1.3.9\r\nReviews for today: 3\r\nTotal items: 120\r\nQueue: 4\r\nDays: "
                       "17\r\nANN state: OK; cases: 962"));
    f = {0, 4000000000u, 2, 65535, false, 962};
    EXPECT_TRUE(format_status_text(std::nullopt, f).endsWith(QStringLiteral("High TestError!; cases: 962")));
    EXPECT_EQ(format_status_text(QStringLiteral("No more scheduled reviews."), f),
        QStringLiteral("No more scheduled reviews.\r\nReviews for today: 0\r\nTotal items: 4000000000\r\nQueue: "
                       "2\r\nDays: 65535"));
    // The status buffer holds 255 characters.
    EXPECT_EQ(format_status_text(QString(300, QLatin1Char('m')), f).size(), 255);

    main_window* w = open_window();
    show_main_screen(QStringLiteral("No more items."));
    EXPECT_EQ(status_of(w), QStringLiteral("No more items.\nReviews for today: 0\nTotal items: 0\nQueue: 0\nDays: 0"));

    // An item that begins bold or italic leaves none of it to the status text after Escape.
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    for (const char* question : {"<b>Hund</b> dog", "<i>Katze</i> cat"}) {
        add_test_item(day_number(0), 0, 1, question);
        show_main_screen();
        w->client_area->setFocus();
        QTest::keyClick(w->client_area, Qt::Key_Return);
        QTRY_COMPARE(ui().pass.mode(), screen_mode::scheduled);
        QTest::keyClick(w->client_area, Qt::Key_Escape);
        QTRY_COMPARE(ui().pass.mode(), screen_mode::main);
        for (QTextBlock b = w->question_box->document()->begin(); b.isValid(); b = b.next())
            for (auto f = b.begin(); !f.atEnd(); ++f) {
                EXPECT_EQ(f.fragment().charFormat().fontWeight(), QFont::Normal) << question;
                EXPECT_FALSE(f.fragment().charFormat().fontItalic()) << question;
            }
        remove_item(db().head);
    }
}

TEST_F(WindowTest, LayoutFollowsTheClientArea)
{
    const main_layout l = compute_layout(241, 400, 0);
    const int xs[] = {0, 41, 81, 121, 161, 201};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(l.grades[i].x(), xs[i]) << i;
        EXPECT_EQ(l.grades[i].width(), i == 0 ? 41 : 40) << i;
        EXPECT_EQ(l.grades[i].y(), 370);
        EXPECT_EQ(l.grades[i].height(), 30);
    }
    EXPECT_EQ(l.question, QRect(0, 0, 241, 185));
    EXPECT_EQ(l.answer, QRect(0, 185, 241, 185));
    // band = (185 + 30) / 4 = 53; the last button takes what remains.
    EXPECT_EQ(l.main_buttons[0], QRect(0, 185, 241, 53));
    EXPECT_EQ(l.main_buttons[1], QRect(0, 238, 241, 53));
    EXPECT_EQ(l.main_buttons[2], QRect(0, 291, 241, 53));
    EXPECT_EQ(l.main_buttons[3], QRect(0, 344, 241, 56));
    EXPECT_EQ(l.ok, QRect(0, 370, 241, 30));

    main_window* w = open_window();
    w->resize(300, 500);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    for (const QSize size : {QSize(241, 400), QSize(420, 700)}) {
        w->resize(size.width(), size.height() + w->menuBar()->sizeHint().height());
        QApplication::processEvents();
        const QSize client = w->client_area->size();
        const main_layout expected = compute_layout(client.width(), client.height(), 0);
        EXPECT_EQ(w->answer_box->geometry(), expected.answer);
        EXPECT_EQ(w->review_button->geometry().y(), client.height() / 2 - 15);
        EXPECT_EQ(w->force_button->geometry(), expected.main_buttons[3]);
        EXPECT_EQ(w->grade_buttons[5]->geometry(), expected.grades[5]);
        EXPECT_EQ(w->ok_button->geometry(), expected.ok);
    }
}

TEST_F(WindowTest, KeyboardRulesOnTheMainScreenAndTheReviewModes)
{
    main_window* w = open_window();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QWidget* client = w->client_area;
    client->setFocus();

    // Digits do nothing while no grade button is shown; Escape and Delete do nothing here.
    for (int key : {Qt::Key_0, Qt::Key_5, Qt::Key_9, Qt::Key_Escape, Qt::Key_Delete})
        QTest::keyClick(client, static_cast<Qt::Key>(key));
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_TRUE(recorded_messages().empty());

    // In a review mode Delete asks first; keys typed into a box stay in the box.
    add_test_item(day_number(0));
    ASSERT_TRUE(ui().pass.start(screen_mode::scheduled, false));
    w->question_box->setFocus();
    QTest::keyClick(w->question_box, Qt::Key_Delete);
    QTest::keyClick(w->question_box, Qt::Key_Escape);
    EXPECT_TRUE(recorded_messages().empty());
    EXPECT_EQ(ui().pass.mode(), screen_mode::scheduled);

    client->setFocus();
    QTest::keyClick(client, Qt::Key_Delete);
    ASSERT_EQ(recorded_messages().size(), 1u);
    EXPECT_EQ(recorded_messages()[0].title, QStringLiteral("Deleting Item"));
    EXPECT_EQ(recorded_messages()[0].text, QStringLiteral("Do you want to delete currently visible item?"));
    EXPECT_EQ(recorded_messages()[0].buttons, message_buttons::yes_no);
    EXPECT_TRUE(recorded_messages()[0].owned);
}

TEST_F(WindowTest, BoxFontsComeFromTheSettings)
{
    {
        QSettings raw(settings_file(), QSettings::NativeFormat);
        raw.setValue("qfontsize", 100000);
        raw.setValue("qcleartype", 0);
        raw.setValue("afontsize", -7);
        raw.setValue("afontface", "DejaVu Serif");
        raw.setValue("acleartype", 1);
    }
    main_window* w = open_window();
    // Sizes are kept within what a box can show.
    EXPECT_EQ(w->question_box->font().pixelSize(), 512);
    EXPECT_EQ(w->answer_box->font().pixelSize(), 7);
    EXPECT_TRUE(w->question_box->font().styleStrategy() & QFont::NoAntialias);
    EXPECT_EQ(w->answer_box->font().families().value(0), QStringLiteral("DejaVu Serif"));
    EXPECT_TRUE(w->answer_box->font().styleStrategy() & QFont::PreferAntialias);
}
