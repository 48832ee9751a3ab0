// The ways to begin on the first start page and in Help > Getting Started do what they say when
// pressed: an item is added from there, and Import opens its dialog.
#include <QDialog>
#include <QPushButton>
#include <QStackedWidget>

#include "ui/overview_panel.h"
#include "ui_fixture.h"

namespace {

class WelcomeStart : public ui_test {
protected:
    // The category dialog that Add opens, taken with Return; then an item typed and added by keys.
    void add_by_keys(const QString& question, const QString& answer)
    {
        QTRY_COMPARE(ui().pass.mode(), screen_mode::add);
        // The offscreen platform has no window manager to give the window back its activation.
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        type(question);
        press(Qt::Key_Tab);
        type(answer);
        press(Qt::Key_4, Qt::ControlModifier);
    }
    static void accept_next_dialog_by_return()
    {
        on_next_modal([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Return); });
    }
};

TEST_F(WelcomeStart, AddOnTheFirstStartPageAndInGettingStartedAddsAnItem)
{
    ASSERT_EQ(w->overview->pages()->currentWidget()->objectName(), QStringLiteral("welcome_page"));
    for (int i = 0; i < 12 && QApplication::focusWidget()->objectName() != QLatin1String("welcome_add"); ++i)
        press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("welcome_add"));
    EXPECT_EQ(QApplication::focusWidget()->accessibleName(), QStringLiteral("Add New Items"));
    accept_next_dialog_by_return();
    press(Qt::Key_Space);
    add_by_keys(QStringLiteral("Hund"), QStringLiteral("dog"));
    ASSERT_EQ(db().item_count, 1u);
    EXPECT_EQ(db().head->question, "Hund");
    press(Qt::Key_Escape);
    ASSERT_EQ(ui().pass.mode(), screen_mode::main);

    // Help > Getting Started by its mnemonics, its Add clicked: the dialog goes, the add screen comes.
    on_next_modal([](QWidget* dialog) {
        accept_next_dialog_by_return();
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("welcome_add")), Qt::LeftButton);
    });
    w->activateWindow();
    press(Qt::Key_H, Qt::AltModifier);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_G);
    add_by_keys(QStringLiteral("Katze"), QStringLiteral("cat"));
    EXPECT_EQ(db().item_count, 2u);
}

TEST_F(WelcomeStart, ImportOnTheFirstStartPageOpensTheImportDialog)
{
    QString opened;
    on_next_modal([&opened](QWidget* dialog) {
        opened = dialog->objectName();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTest::mouseClick(w->overview->findChild<QPushButton*>(QStringLiteral("welcome_import")), Qt::LeftButton);
    QTRY_COMPARE(opened, QStringLiteral("import_dialog"));
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
}

}  // namespace
