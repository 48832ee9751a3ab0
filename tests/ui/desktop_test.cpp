// What a desktop user expects of the window beyond the keyboard rules: keys named in the
// menus and on a help page, formatting and pictures shown, the add screen's guidance.
#include <QAction>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTreeWidget>

#include "settings/category_dialog.h"
#include "ui/item_box.h"
#include "ui/markup.h"
#include "ui_fixture.h"
#include "resources/ids.h"

namespace {

class Desktop : public ui_test {
protected:
    QAction* action(const char* name) const
    {
        auto* found = w->findChild<QAction*>(QLatin1String(name));
        if (!found)
            ADD_FAILURE() << "no action " << name;
        return found;
    }
    // The formatting of the character at `position` of a box.
    static QTextCharFormat format_at(QPlainTextEdit* box, int position)
    {
        QTextCursor cursor(box->document());
        cursor.setPosition(position + 1);
        return cursor.charFormat();
    }
    void write_picture(const std::string& name, QSize size)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::red);
        ASSERT_TRUE(image.save(QString::fromStdString(data_dir() + name)));
    }
};

}  // namespace

TEST_F(Desktop, TheMenusNameAKeyForEveryActionAndF1ExplainsKeysAndGrades)
{
    struct {
        const char* name;
        const char* key;
    } entries[] = {
        {"reviews_action", "Return"},
        {"add_action", "Ins"},
        {"queue_action", "Ctrl+U"},
        {"force_action", "Ctrl+F"},
        {"answer_action", "Return, Space"},
        {"skip_menu_action", "Ctrl+N"},
        {"stop_menu_action", "Esc"},
        {"replay_action", "Ctrl+R"},
        {"help_action", "F1"},
    };
    for (const auto& e : entries) {
        QAction* a = action(e.name);
        ASSERT_NE(a, nullptr);
        const QString shown = a->text().section(QLatin1Char('\t'), 1);
        const QString key = shown.isEmpty() ? a->shortcut().toString() : shown;
        EXPECT_EQ(key, QString::fromUtf8(e.key)) << e.name;
    }
    // The described entries keep their texts.
    EXPECT_EQ(w->stop_action->text().remove(QLatin1Char('&')), QStringLiteral("  Stop  "));
    EXPECT_EQ(w->skip_action->text().remove(QLatin1Char('&')), QStringLiteral("  Skip  "));

    EXPECT_EQ(w->grade_buttons[0]->toolTip(), QStringLiteral("Grade 0: forgotten (key 0)"));
    EXPECT_EQ(w->grade_buttons[3]->toolTip(), QStringLiteral("Grade 3: recalled with difficulty (key 3)"));
    EXPECT_EQ(w->grade_buttons[4]->toolTip(), QStringLiteral("Grade 4: recalled, the interval was right (key 4)"));
    EXPECT_EQ(w->grade_buttons[5]->toolTip(), QStringLiteral("Grade 5: easy, the interval could be longer (key 5)"));

    // The shortcuts act from the keyboard; the entries grey where they cannot.
    add_item("later one", "a", 0, 20);
    add_item("later two", "b", 0, 30);
    show_main_screen();
    EXPECT_FALSE(action("queue_action")->isEnabled());
    EXPECT_FALSE(action("skip_menu_action")->isEnabled());
    press(Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    press(Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(ui().pass.mode(), screen_mode::forced);
    EXPECT_FALSE(action("force_action")->isEnabled());
    EXPECT_TRUE(action("answer_action")->isEnabled());
    const QString first = question_shown();
    press(Qt::Key_N, Qt::ControlModifier);
    EXPECT_NE(question_shown(), first);
    press(Qt::Key_Return);
    EXPECT_FALSE(action("answer_action")->isEnabled());
    press(Qt::Key_Escape);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    add_pending("queued", "x");
    show_main_screen();
    press(Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(ui().pass.mode(), screen_mode::queue);
    EXPECT_EQ(question_shown(), QStringLiteral("queued"));
    press(Qt::Key_Escape);

    QString help_title;
    QString help_text;
    on_next_modal([&](QWidget* modal) {
        help_title = modal->windowTitle();
        if (auto* text = modal->findChild<QTextBrowser*>())
            help_text = text->toPlainText();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    press(Qt::Key_F1);
    EXPECT_EQ(help_title, QStringLiteral("Keys and Grades"));
    for (const char* expected : {"Return or Space", "Ctrl+U", "Ctrl+F", "Insert", "Ctrl+N", "Escape", "Ctrl+R",
             "Grade 0: forgotten", "Grade 1: forgotten", "Grade 2: recalled with difficulty",
             "Grade 4: recalled, the interval was right", "Grade 5: easy, the interval could be longer"})
        EXPECT_TRUE(help_text.contains(QString::fromUtf8(expected))) << expected;
}

TEST_F(Desktop, FormattingIsDrawnWhileAnItemIsShownAndItsTagsWhileItIsEdited)
{
    const std::string question = "<b>bold</b> <i>it</i> <u>un</u> <s>st</s> <b><i>both</u></b> </b>x";
    add_item(question, "<i>answer</i>");
    show_main_screen();
    press(Qt::Key_Return);
    ASSERT_EQ(question_shown().toStdString(), strip_format_tags(question));
    ASSERT_EQ(question_shown(), QStringLiteral("bold it un st both </b>x"));
    QPlainTextEdit* box = w->question_box;
    EXPECT_EQ(format_at(box, 0).fontWeight(), QFont::Bold);
    EXPECT_FALSE(format_at(box, 0).fontItalic());
    EXPECT_EQ(format_at(box, 4).fontWeight(), QFont::Normal);  // the blank after it
    EXPECT_TRUE(format_at(box, 5).fontItalic());
    EXPECT_TRUE(format_at(box, 8).fontUnderline());
    EXPECT_TRUE(format_at(box, 11).fontStrikeOut());
    EXPECT_TRUE(format_at(box, 14).fontItalic());
    EXPECT_EQ(format_at(box, 14).fontWeight(), QFont::Bold);
    // A closing tag with nothing open is text, and plain.
    EXPECT_EQ(format_at(box, 19).fontWeight(), QFont::Normal);

    // Editing shows the tags, with no formatting of their own.
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QTRY_VERIFY(!box_timer_running(box, "edit_after_click"));
    EXPECT_EQ(question_shown().toStdString(), question);
    for (int i = 0; i < static_cast<int>(question.size()); ++i) {
        EXPECT_EQ(format_at(box, i).fontWeight(), QFont::Normal) << i;
        EXPECT_FALSE(format_at(box, i).fontItalic()) << i;
    }
    press(Qt::Key_Escape);
    EXPECT_EQ(format_at(box, 0).fontWeight(), QFont::Bold);
    press(Qt::Key_Return);
    EXPECT_EQ(answer_shown(), QStringLiteral("answer"));
    EXPECT_TRUE(format_at(w->answer_box, 0).fontItalic());
}

TEST_F(Desktop, PicturesAreDrawnBelowTheTextAndTheShownSidesSoundsReplay)
{
    write_picture("cat.png", QSize(1600, 1200));
    write_picture("dot.png", QSize(20, 10));
    add_item("cat <img>cat.png</img><snd>meow.wav</snd>", "<snd>purr.wav</snd>a cat <img>dot.png</img>", 0, -2);
    show_main_screen();
    press(Qt::Key_Return);
    ASSERT_EQ(question_shown(), QStringLiteral("cat  <img>"));
    EXPECT_TRUE(w->question_box->shows_picture());
    EXPECT_FALSE(w->answer_box->shows_picture());
    QLabel* picture = w->question_box->picture_label();
    ASSERT_TRUE(picture->isVisible());
    // Scaled down to fit the box, the shape kept, the text above it.
    const QSize drawn = picture->pixmap().deviceIndependentSize().toSize();
    EXPECT_LE(drawn.width(), w->question_box->width());
    EXPECT_LE(drawn.height(), w->question_box->height() / 2);
    EXPECT_NEAR(drawn.width() * 3.0 / 4.0, drawn.height(), 2.0);
    EXPECT_LE(w->question_box->viewport()->geometry().bottom(), picture->geometry().top());
    // Right under its line of text, not at the foot of the box.
    EXPECT_LT(picture->geometry().top(), w->question_box->height() / 4);

    media_log().clear();
    press(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(media_log(), (std::vector<std::string>{"stop", "play " + data_dir() + "meow.wav"}));
    media_log().clear();
    QTest::mouseDClick(picture, Qt::LeftButton, {}, picture->rect().center());
    EXPECT_EQ(media_log(), (std::vector<std::string>{"open " + data_dir() + "cat.png"}));
    EXPECT_EQ(question_shown(), QStringLiteral("cat  <img>"));

    press(Qt::Key_Space);
    EXPECT_TRUE(w->answer_box->shows_picture());
    // A small picture is not enlarged.
    EXPECT_EQ(w->answer_box->picture_label()->pixmap().deviceIndependentSize().toSize(), QSize(20, 10));
    media_log().clear();
    press(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(media_log(), (std::vector<std::string>{"stop", "play " + data_dir() + "purr.wav"}));

    // A picture that cannot be read is not drawn, and the log says why.
    ASSERT_TRUE(QFile(QString::fromStdString(data_dir() + "bad.png")).open(QIODevice::WriteOnly));
    add_item("broken <img>bad.png</img>", "b", 0, -1);
    press(Qt::Key_4);
    ASSERT_EQ(ui().pass.mode(), screen_mode::scheduled);
    EXPECT_EQ(question_shown(), QStringLiteral("broken  <img>"));
    EXPECT_FALSE(w->question_box->shows_picture());
    EXPECT_FALSE(w->answer_box->shows_picture());
    EXPECT_NE(read_file(data_dir() + "error.log").find("Cannot show the picture"), std::string::npos);
    press(Qt::Key_Escape);
    EXPECT_FALSE(w->question_box->shows_picture());
}

TEST_F(Desktop, TheAddScreenSaysWhichBoxIsWhichAndCountsWhatWasAdded)
{
    const uint16_t french = add_category("French", 0);
    on_next_modal([french](QWidget* modal) {
        auto* dialog = static_cast<category_selection_dialog*>(modal);
        dialog->tree()->setCurrentItem(dialog->item_of(french));
        auto* create = dialog->findChild<QPushButton*>(QStringLiteral("new_category"));
        ASSERT_NE(create, nullptr);
        EXPECT_EQ(create->text(), QStringLiteral("New Category..."));
        on_next_modal([](QWidget* ask) {
            auto* name = ask->findChild<QLineEdit*>();
            ASSERT_NE(name, nullptr);
            QTest::keyClicks(name, "Verbs \"irregular\"");
            QTest::keyClick(ask, Qt::Key_Return);
        });
        QTest::mouseClick(create, Qt::LeftButton);
        ASSERT_NE(dialog->tree()->currentItem(), nullptr);
        EXPECT_TRUE(dialog->tree()->currentItem()->text(0).startsWith(QStringLiteral("Verbs 'irregular' (i:0")));
        EXPECT_EQ(dialog->tree()->currentItem()->parent(), dialog->item_of(french));
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    press(Qt::Key_Insert);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    ASSERT_EQ(ui().pass.mode(), screen_mode::add);
    ASSERT_EQ(category_count(), 3u);
    const uint16_t verbs = ui().new_item_category;
    EXPECT_EQ(category_at(verbs)->name, "Verbs 'irregular'");
    EXPECT_EQ(category_at(verbs)->parent, french);

    EXPECT_TRUE(w->question_box->placeholderText().startsWith(QStringLiteral("Question")));
    EXPECT_TRUE(w->answer_box->placeholderText().startsWith(QStringLiteral("Answer")));
    ASSERT_TRUE(w->statusBar()->isVisible());
    EXPECT_EQ(w->statusBar()->currentMessage(), QStringLiteral("Added: 0"));
    for (const char* q : {"aller", "venir", "faire"}) {
        type(QString::fromUtf8(q));
        press(Qt::Key_Tab);
        type(QStringLiteral("to ..."));
        press(Qt::Key_4, Qt::ControlModifier);
    }
    EXPECT_EQ(w->statusBar()->currentMessage(), QStringLiteral("Added: 3"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cardwright"));
    for (item* e = db().head; e; e = e->next)
        EXPECT_EQ(e->ctgr, verbs);
    press(Qt::Key_Escape);
    EXPECT_TRUE(w->statusBar()->currentMessage().isEmpty());
    EXPECT_TRUE(w->question_box->placeholderText().isEmpty());
}

TEST_F(Desktop, CategoryNamesAreKeptAsTheTableKeepsThem)
{
    EXPECT_EQ(category_name_from_typed(QStringLiteral("  Two   words ")), "Two words");
    EXPECT_EQ(category_name_from_typed(QStringLiteral("   ")), "");
    // 127 bytes at most, never half a character: 63 two-byte letters.
    const std::string cut = category_name_from_typed(QString(100, QChar(0xE9)));
    EXPECT_EQ(cut.size(), 126u);
    EXPECT_EQ(QString::fromStdString(cut), QString(63, QChar(0xE9)));
}

TEST_F(Desktop, ADarkPaletteDrawsLightTextOnADarkBox)
{
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Window, QColor(45, 45, 45));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(60, 60, 60));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    const QPalette before = QApplication::palette();
    QApplication::setPalette(dark);
    add_item("<b>WWWWWWWW</b> <i>MMMMMMMM</i>", "a");
    show_main_screen();
    press(Qt::Key_Return);
    QApplication::processEvents();
    const QImage shot = w->question_box->viewport()->grab().toImage();
    QApplication::setPalette(before);
    int light = 0;
    int dark_pixels = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const int v = qGray(shot.pixel(x, y));
            light += v > 180;
            dark_pixels += v < 60;
        }
    EXPECT_GT(dark_pixels, shot.width() * shot.height() / 2);  // the box is dark
    EXPECT_GT(light, 50);  // and its text is light, bold and italic alike
}

TEST_F(Desktop, RightToLeftTextsStandAtTheRight)
{
    add_item("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", "peace", 0, -1);  // Hebrew
    show_main_screen();
    press(Qt::Key_Return);
    const QTextBlock block = w->question_box->document()->firstBlock();
    ASSERT_EQ(block.text().size(), 4);
    const QRectF line = block.layout()->lineAt(0).naturalTextRect();
    EXPECT_GT(line.left(), w->question_box->viewport()->width() / 2.0);
    press(Qt::Key_Return);
    const QRectF latin = w->answer_box->document()->firstBlock().layout()->lineAt(0).naturalTextRect();
    EXPECT_LT(latin.left(), w->answer_box->viewport()->width() / 4.0);
}
