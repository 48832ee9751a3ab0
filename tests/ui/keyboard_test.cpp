// The keyboard and mouse paths of the screens, driven as a user drives them: key presses go
// to whatever has the focus, clicks land on the widgets.
#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidget>

#include "settings/category_dialog.h"
#include "ui/screens.h"
#include "ui_fixture.h"
#include "resources/ids.h"

namespace {

class Keys : public ui_test {
protected:
    // A click into a box, then until it is no longer waiting to see whether a double click follows.
    void click_into(QPlainTextEdit* box)
    {
        QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
        QTRY_VERIFY(!box_timer_running(box, "edit_after_click"));
    }
    bool focus_in(const QPlainTextEdit* box) const
    {
        QWidget* f = QApplication::focusWidget();
        return f && (f == box || box->isAncestorOf(f));
    }
    void open_add_screen()
    {
        on_next_modal([](QWidget* modal) { static_cast<QDialog*>(modal)->accept(); });
        press(Qt::Key_Insert);
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        ASSERT_EQ(ui().pass.mode(), screen_mode::add);
    }
};

// Answers the next real message box with a click on `which`.
void click_in_next_message_box(QMessageBox::StandardButton which)
{
    on_next_modal([which](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        QTest::mouseClick(box->button(which), Qt::LeftButton);
    });
}

}  // namespace

TEST_F(Keys, AfterDeletingFromTheBoxMenuTheKeysRevealAndGrade)
{
    add_item("erster", "a");
    add_item("der Kult", "b");
    show_main_screen();
    press(Qt::Key_Return);
    ASSERT_EQ(ui().pass.mode(), screen_mode::scheduled);
    const std::string deleted = ui().pass.current_item()->question;

    ui().message_box = nullptr;  // the real question, answered with the mouse
    click_in_next_message_box(QMessageBox::Yes);
    choose_last_entry_of_next_popup();
    // Through the window, as the display server delivers it, so that the press also asks for
    // the context menu.
    QTest::mouseClick(w->windowHandle(), Qt::RightButton, {}, w->question_box->viewport()->mapTo(w, QPoint(20, 20)));
    QTRY_COMPARE(db().item_count, 1u);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    ASSERT_EQ(db().item_count, 1u);
    item* next = ui().pass.current_item();
    ASSERT_NE(next, nullptr);
    ASSERT_NE(next->question, deleted);
    const QString shown = question_shown();

    press(Qt::Key_4);  // no grade before the reveal, and no text either
    press(Qt::Key_Return);
    EXPECT_EQ(question_shown(), shown);
    ASSERT_TRUE(grades_shown());
    EXPECT_EQ(answer_shown().toStdString(), next->answer);
    press(Qt::Key_4);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_EQ(next->gr, 4);
    EXPECT_EQ(next->question, deleted == "erster" ? "der Kult" : "erster");
}

TEST_F(Keys, ADoubleClickOpensThePictureAndNothingElse)
{
    item* e = add_item("Kult <img>pic.png</img>", "a");
    show_main_screen();
    press(Qt::Key_Return);
    ASSERT_EQ(question_shown(), QStringLiteral("Kult  <img>"));
    media_log().clear();
    QTest::mouseDClick(w->question_box->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    // The double click cancels the edit its first click began to wait for.
    EXPECT_FALSE(box_timer_running(w->question_box, "edit_after_click"));
    EXPECT_EQ(media_log(), (std::vector<std::string>{"open " + data_dir() + "pic.png"}));
    EXPECT_EQ(question_shown(), QStringLiteral("Kult  <img>"));
    press(Qt::Key_Return);
    EXPECT_TRUE(grades_shown());
    EXPECT_EQ(question_shown(), QStringLiteral("Kult  <img>"));
    press(Qt::Key_5);
    EXPECT_EQ(e->question, "Kult <img>pic.png</img>");
    EXPECT_EQ(e->gr, 5);
}

TEST_F(Keys, KeysWorkWhereverTheFocusIsUnlessABoxIsBeingEdited)
{
    item* first = add_item("eins", "one");
    item* second = add_item("zwei", "two");
    show_main_screen();
    press(Qt::Key_Return);
    item* shown = ui().pass.current_item();
    item* other = shown == first ? second : first;

    // A click into the empty answer box before the reveal leaves the keys working.
    click_into(w->answer_box);
    EXPECT_TRUE(focus_in(w->answer_box));
    press(Qt::Key_Space);
    ASSERT_TRUE(grades_shown());
    press(Qt::Key_2);
    EXPECT_EQ(shown->gr, 2);
    ASSERT_EQ(ui().pass.current_item(), other);

    // In a box being edited the keys are text; Ctrl+Return reveals and Ctrl+digit grades
    // without leaving it.
    click_into(w->question_box);
    press(Qt::Key_End, Qt::ControlModifier);
    type(QStringLiteral(" 3"));
    press(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(grades_shown());
    EXPECT_TRUE(focus_in(w->question_box));
    press(Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(other->gr, 3);
    EXPECT_EQ(other->question, (other == first ? "eins" : "zwei") + std::string(" 3"));

    // Escape ends an edit; the next Escape leaves the screen.
    show_main_screen();
    run_command(w, id_force_button);
    ASSERT_EQ(ui().pass.mode(), screen_mode::forced);
    item* forced = ui().pass.current_item();
    const std::string before = forced->question;
    click_into(w->question_box);
    press(Qt::Key_End, Qt::ControlModifier);
    type(QStringLiteral("<b>!</b>"));
    press(Qt::Key_Escape);
    EXPECT_FALSE(focus_in(w->question_box));
    EXPECT_EQ(question_shown().toStdString(), before + "!");
    press(Qt::Key_Return);
    EXPECT_TRUE(grades_shown());
    press(Qt::Key_Escape);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_EQ(forced->question, before + "<b>!</b>");
}

TEST_F(Keys, TheAddScreenMovesWithTabAndAddsWithCtrlDigits)
{
    open_add_screen();
    EXPECT_TRUE(focus_in(w->question_box));
    type(QStringLiteral("Frage"));
    press(Qt::Key_Tab);
    EXPECT_TRUE(focus_in(w->answer_box));
    EXPECT_EQ(question_shown(), QStringLiteral("Frage"));
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(focus_in(w->question_box));
    press(Qt::Key_Tab);
    type(QStringLiteral("question 1"));
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(focus_in(w->question_box));
    EXPECT_EQ(answer_shown(), QStringLiteral("question 1"));
    EXPECT_EQ(question_shown(), QStringLiteral("Frage"));

    // Ctrl+digit adds from either box; Ctrl+Return uses the last grade.
    press(Qt::Key_3, Qt::ControlModifier);
    ASSERT_EQ(db().item_count, 1u);
    EXPECT_EQ(db().head->question, "Frage");
    EXPECT_EQ(db().head->answer, "question 1");
    EXPECT_EQ(db().head->gr, 3);
    EXPECT_TRUE(focus_in(w->question_box));
    type(QStringLiteral("q2"));
    press(Qt::Key_Tab);
    type(QStringLiteral("a2"));
    press(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(db().item_count, 2u);
    uint16_t grade_of_q2 = 99;
    for (item* e = db().head; e; e = e->next)
        if (e->question == "q2")
            grade_of_q2 = e->gr;
    EXPECT_EQ(grade_of_q2, 3);
    press(Qt::Key_Escape);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
}

TEST_F(Keys, TheStatusTextCannotBeEnteredOrChanged)
{
    show_main_screen();
    const QString status = question_shown();
    for (int i = 0; i < 8; ++i) {
        press(Qt::Key_Tab);
        EXPECT_FALSE(focus_in(w->question_box));
    }
    QGuiApplication::clipboard()->setText(QString(4200, QLatin1Char('x')));
    QTest::mouseClick(w->question_box->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::keyClick(w->question_box, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClicks(w->question_box, "typed");
    EXPECT_EQ(question_shown(), status);
    EXPECT_TRUE(w->question_box->isReadOnly());
}

TEST_F(Keys, ARightClickAsksOnceAndTheKeyboardStartsWithoutAsking)
{
    add_item("q", "a");
    show_main_screen();
    int asked = 0;
    auto count_and_cancel = [&asked](QWidget* modal) {
        ++asked;
        static_cast<QDialog*>(modal)->reject();
    };
    on_next_modal(count_and_cancel);
    QTest::mouseClick(w->review_button, Qt::RightButton);
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(ui().pass.mode(), screen_mode::main);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    client()->setFocus();

    on_next_modal(count_and_cancel);
    press(Qt::Key_Return);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ui().pass.mode(), screen_mode::scheduled);
    EXPECT_EQ(ui().ask_categories_scheduled, 0);
}

TEST_F(Keys, DeleteThenReturnKeepsTheItem)
{
    add_item("keep me", "a");
    show_main_screen();
    press(Qt::Key_Return);
    ui().message_box = nullptr;
    bool no_is_default = false;
    on_next_modal([&no_is_default](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        no_is_default = box->defaultButton() == box->button(QMessageBox::No);
        QTest::keyClick(box, Qt::Key_Return);
    });
    press(Qt::Key_Delete);
    EXPECT_TRUE(no_is_default);
    EXPECT_EQ(db().item_count, 1u);
    EXPECT_EQ(ui().pass.mode(), screen_mode::scheduled);
}

TEST_F(Keys, ATypedDataPathIsExpandedUnderHome)
{
    const QString home = QDir::homePath() + QLatin1Char('/');
    struct {
        const char* typed;
        const char* folder;  // under home
    } cases[] = {
        {"~/flashcards/german", "flashcards/german/"},
        {"cards", "cards/"},
        {"~", ""},
    };
    for (const auto& c : cases) {
        on_next_modal([&c](QWidget* modal) {
            auto* path = modal->findChild<QLineEdit*>(QStringLiteral("data_path"));
            ASSERT_NE(path, nullptr);
            path->setFocus();
            QTest::keyClick(path, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(path, QString::fromUtf8(c.typed));
            QTest::keyClick(path, Qt::Key_Return);
        });
        run_command(w, cmd_settings);
        EXPECT_EQ(ui().settings_record->pathtodatadir, home + QString::fromUtf8(c.folder)) << c.typed;
    }
}
