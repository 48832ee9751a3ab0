#include <QDialog>
#include <QTreeWidget>

#include "settings/category_dialog.h"
#include "ui_fixture.h"
#include "resources/ids.h"

namespace {

class AddScreen : public ui_test {
protected:
    // Opens the add screen, choosing `category` in the dialog.
    void open(uint16_t category)
    {
        on_next_modal([category](QWidget* modal) {
            auto* dialog = static_cast<category_selection_dialog*>(modal);
            dialog->tree()->setCurrentItem(dialog->item_of(category));
            dialog->accept();
        });
        key(Qt::Key_Insert);
        // The offscreen platform has no window manager to give the window back its activation.
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    }
    void type(const QString& question, const QString& answer)
    {
        w->question_box->setPlainText(question);
        w->answer_box->setPlainText(answer);
    }
    std::vector<std::pair<std::string, std::string>> items() const
    {
        std::vector<std::pair<std::string, std::string>> all;
        for (item* e = db().head; e; e = e->next)
            all.emplace_back(e->question, e->answer);
        return all;
    }
};

}  // namespace

TEST_F(AddScreen, OpensAfterTheCategoryDialogAndAddsIntoTheChosenCategory)
{
    const uint16_t words = add_category("Words", 0);
    // Cancelled: the main screen stays as it was.
    on_next_modal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    click(w->add_button);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_FALSE(w->add_button->isHidden());

    open(words);
    ASSERT_EQ(ui().pass.mode(), screen_mode::add);
    EXPECT_EQ(ui().new_item_category, words);
    EXPECT_EQ(ui().settings_record->acs3, words);
    EXPECT_TRUE(w->add_button->isHidden());
    EXPECT_TRUE(grades_shown());
    EXPECT_TRUE(w->ok_button->isHidden());
    EXPECT_FALSE(w->answer_box->isHidden());
    EXPECT_TRUE(w->stop_action->isEnabled());
    EXPECT_FALSE(w->skip_action->isEnabled());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cardwright"));
    EXPECT_TRUE(question_shown().isEmpty());
    EXPECT_TRUE(w->question_box->hasFocus());

    // Typed text is stored exactly, tags and media included, with line feeds only.
    QTest::keyClicks(w->question_box, "<b>two</b>");
    QTest::keyClick(w->question_box, Qt::Key_Return);
    QTest::keyClicks(w->question_box, "lines 3");  // digits typed into a box are text
    w->answer_box->setPlainText(QStringLiteral("<img>x.png</img>"));
    click(w->grade_buttons[2]);
    ASSERT_EQ(items().size(), 1u);
    EXPECT_EQ(items()[0], std::make_pair(std::string("<b>two</b>\nlines 3"), std::string("<img>x.png</img>")));
    EXPECT_EQ(db().head->ctgr, words);
    EXPECT_EQ(db().head->gr, 2);
    EXPECT_TRUE(question_shown().isEmpty());
    EXPECT_TRUE(answer_shown().isEmpty());
    EXPECT_TRUE(w->question_box->hasFocus());
    EXPECT_EQ(ui().pass.mode(), screen_mode::add);
    EXPECT_TRUE(media_log().empty());

    // A second tap within 300 ms adds nothing.
    type(QStringLiteral(" "), QStringLiteral("blank question"));
    click(w->grade_buttons[0], 299);
    EXPECT_EQ(items().size(), 1u);
    click(w->grade_buttons[0], 1);
    ASSERT_EQ(items().size(), 2u);
    // Digit keys that reach the window add; the grade is the digit.
    type(QStringLiteral("again"), QStringLiteral("b"));
    client()->setFocus();
    key(Qt::Key_5);
    EXPECT_EQ(items().size(), 3u);

    // Stop leaves; the next opening starts empty and remembers the category.
    type(QStringLiteral("left"), QStringLiteral("behind"));
    run_command(w, cmd_stop);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    on_next_modal([words](QWidget* modal) {
        auto* dialog = static_cast<category_selection_dialog*>(modal);
        EXPECT_EQ(dialog->tree()->currentItem(), dialog->item_of(words));
        dialog->accept();
    });
    run_command(w, 22);
    EXPECT_EQ(ui().pass.mode(), screen_mode::add);
    EXPECT_TRUE(question_shown().isEmpty());
    EXPECT_EQ(items().size(), 3u);
}

TEST_F(AddScreen, MissingTextsAreAskedForAndLongTextsRefused)
{
    open(0);
    ASSERT_EQ(ui().pass.mode(), screen_mode::add);
    struct {
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
        recorded_messages().clear();
        type(QString::fromUtf8(c.question), QString::fromUtf8(c.answer));
        click(w->grade_buttons[3]);
        ASSERT_EQ(recorded_messages().size(), 1u) << c.title;
        EXPECT_EQ(recorded_messages()[0].title, QString::fromUtf8(c.title));
        EXPECT_EQ(recorded_messages()[0].text, QString::fromUtf8(c.text));
        EXPECT_FALSE(recorded_messages()[0].owned);
        EXPECT_EQ(c.focus_question ? w->question_box->hasFocus() : w->answer_box->hasFocus(), true) << c.title;
        EXPECT_EQ(question_shown(), QString::fromUtf8(c.question));
        EXPECT_EQ(answer_shown(), QString::fromUtf8(c.answer));
    }
    EXPECT_EQ(db().item_count, 0u);

    // 8,191 bytes fit; one more is refused and nothing is cut. "é" takes two bytes.
    recorded_messages().clear();
    const QString longest = QString(8189, QLatin1Char('a')) + QStringLiteral("é");
    type(QStringLiteral("q"), longest + QStringLiteral("!"));
    click(w->grade_buttons[1]);
    ASSERT_EQ(recorded_messages().size(), 1u);
    EXPECT_EQ(recorded_messages()[0].title, QStringLiteral("Text Too Long"));
    EXPECT_TRUE(recorded_messages()[0].text.startsWith(QStringLiteral("The answer is 8192 bytes long")));
    EXPECT_TRUE(recorded_messages()[0].text.contains(QStringLiteral("at most 8,191 bytes")));
    EXPECT_EQ(answer_shown(), longest + QStringLiteral("!"));
    EXPECT_EQ(db().item_count, 0u);
    type(QStringLiteral("q"), longest);
    click(w->grade_buttons[1]);
    ASSERT_EQ(db().item_count, 1u);
    EXPECT_EQ(db().head->answer.size(), 8191u);
}
