// The add screen: its category dialog, and how it takes and refuses what was typed.

#include "settings/category_dialog.h"
#include "ui_fixture.h"

namespace {

class AddScreen : public ui_test {
protected:
    void open(uint16_t category)
    {
        on_next_modal([category](QWidget* modal) {
            auto* dialog = static_cast<category_selection_dialog*>(modal);
            dialog->tree()->setCurrentItem(dialog->item_of(category));
            dialog->accept();
        });
        key(Qt::Key_Insert);
        w->activateWindow();  // no window manager gives it back offscreen
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        ASSERT_EQ(ui().pass.mode(), screen_mode::add);
    }
    void fill(const QString& question, const QString& answer)
    {
        w->question_box->setPlainText(question);
        w->answer_box->setPlainText(answer);
    }
};

}  // namespace

TEST_F(AddScreen, AddsIntoTheChosenCategoryByKeysAndButtonsCountsWhatWasAddedAndRefusesWhatIsMissingOrTooLong)
{
    const uint16_t words = add_category("Words", 0);
    on_next_modal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    click(w->add_button);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);

    open(words);
    EXPECT_TRUE(grades_shown() && w->ok_button->isHidden() && w->add_button->isHidden());
    EXPECT_TRUE(w->stop_action->isEnabled() && !w->skip_action->isEnabled() && w->question_box->hasFocus());
    EXPECT_TRUE(w->question_box->placeholderText().startsWith(QStringLiteral("Question")));
    EXPECT_TRUE(w->answer_box->placeholderText().startsWith(QStringLiteral("Answer")));
    EXPECT_EQ(w->statusBar()->currentMessage(), QStringLiteral("Added: 0"));
    // Typed text is stored exactly; digits in a box are text; Tab moves between the boxes.
    type(QStringLiteral("<b>two</b>"));
    press(Qt::Key_Return);
    type(QStringLiteral("lines 3"));
    press(Qt::Key_Tab);
    EXPECT_TRUE(w->answer_box->hasFocus());
    type(QStringLiteral("<img>x.png</img>"));
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(w->question_box->hasFocus());
    press(Qt::Key_2, Qt::ControlModifier);
    ASSERT_EQ(db().item_count, 1u);
    EXPECT_EQ(db().head->question.str() + "|" + db().head->answer.str(), "<b>two</b>\nlines 3|<img>x.png</img>");
    EXPECT_TRUE(db().head->ctgr == words && db().head->gr == 2);
    EXPECT_TRUE(w->status_line->text().contains(QStringLiteral("Due today: 1"))) << w->status_line->text().toStdString();
    EXPECT_TRUE(question_shown().isEmpty() && answer_shown().isEmpty() && w->question_box->hasFocus() && media_log().empty());
    // Ctrl+Return adds with the last grade; a digit reaching the window with its own.
    fill(QStringLiteral("q2"), QStringLiteral("a2"));
    press(Qt::Key_Return, Qt::ControlModifier);
    fill(QStringLiteral(" "), QStringLiteral("blank question"));
    click(w->grade_buttons[0]);
    ASSERT_EQ(db().item_count, 3u);
    fill(QStringLiteral("again"), QStringLiteral("b"));
    client()->setFocus();
    key(Qt::Key_5);
    EXPECT_EQ(db().item_count, 4u);
    EXPECT_EQ(w->statusBar()->currentMessage(), QStringLiteral("Added: 4"));
    for (const item* e = db().head; e; e = e->next)
        EXPECT_TRUE((e->question != "q2" && e->question != "again") || e->gr == (e->question == "q2" ? 2 : 5)) << e->question;
    fill(QStringLiteral("left"), QStringLiteral("behind"));
    w->question_box->setFocus();
    press(Qt::Key_Escape);
    EXPECT_TRUE(ui().pass.mode() == screen_mode::main && w->statusBar()->currentMessage().isEmpty());
    on_next_modal([words](QWidget* modal) {
        auto* dialog = static_cast<category_selection_dialog*>(modal);
        EXPECT_EQ(dialog->tree()->currentItem(), dialog->item_of(words));
        dialog->accept();
    });
    click(w->add_button);
    activate();
    EXPECT_TRUE(question_shown().isEmpty() && db().item_count == 4u);

    const struct {
        const char* question;
        const char* answer;
        const char* title;
        const char* text;
        bool focus_question;
    } cases[] = {
        {"", "", "Question and answer needed", "Please type question and answer.", true},
        {"q", "", "Answer needed", "Please type an answer.", false},
        {"", "a", "Question needed", "Please type a question.", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        recorded_messages().clear();
        fill(QString::fromUtf8(c.question), QString::fromUtf8(c.answer));
        click(w->grade_buttons[3]);
        ASSERT_TRUE(told(1, 0, QString::fromUtf8(c.title), QString::fromUtf8(c.text)));
        EXPECT_TRUE((c.focus_question ? w->question_box : w->answer_box)->hasFocus());
        EXPECT_EQ(answer_shown(), QString::fromUtf8(c.answer));
    }
    // One byte past the limit ("é" takes two) is refused, nothing cut.
    recorded_messages().clear();
    const QString too_long = QString(8189, QLatin1Char('a')) + QStringLiteral("é!");
    fill(QStringLiteral("q"), too_long);
    click(w->grade_buttons[1]);
    ASSERT_TRUE(told(1, 0, {}, QStringLiteral("The answer is 8192 bytes long in UTF-8, counting two bytes for each line "
                                              "break. It may be at most 8,191 bytes.")));
    EXPECT_TRUE(answer_shown() == too_long && db().item_count == 4u);
}
