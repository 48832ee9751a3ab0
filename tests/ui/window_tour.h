#pragma once
// Every window, screen and menu of the program, opened as a user opens them (keys and clicks),
// with a few German items in it, for checks that must hold everywhere.
#include <QDialog>
#include <QMenu>
#include <QMenuBar>

#include <functional>

#include "database/database.h"
#include "resources/ids.h"
#include "ui_fixture.h"

class window_tour : public ui_test {
protected:
    using check = std::function<void(QWidget* window, const QString& where)>;

    // Items in two categories, one due, one later, one queued; the main screen shows them.
    void fill_collection()
    {
        const uint16_t german = add_category("Deutsch", 0);
        add_item("Hund", "der Hund", german, 0)->ivl = 3;  // reviewed before: its next grade counts for retention
        add_item("Katze", "die Katze", german, 3);
        add_pending("Maus", "die Maus", german);
        show_main_screen();
    }

    // The main screen, its menus, the review and add screens, and the dialogs the keys open.
    void tour(const check& at)
    {
        at(w, QStringLiteral("main screen"));
        for (QAction* entry : w->menuBar()->actions())
            if (QMenu* menu = entry->menu()) {
                menu->popup(w->mapToGlobal(QPoint(0, 0)));
                EXPECT_TRUE(QTest::qWaitForWindowExposed(menu));
                at(menu, QStringLiteral("menu ") + entry->text());
                menu->hide();
            }
        const struct {
            const char* where;
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
        } dialogs[] = {{"browser", Qt::Key_B, Qt::ControlModifier}, {"import", Qt::Key_I, Qt::ControlModifier},
            {"export", Qt::Key_E, Qt::ControlModifier}, {"statistics", Qt::Key_T, Qt::ControlModifier},
            {"settings", Qt::Key_Comma, Qt::ControlModifier}, {"keys and grades", Qt::Key_F1, Qt::NoModifier},
            {"about", Qt::Key_Slash, Qt::AltModifier}};
        for (const auto& d : dialogs)
            in_next_dialog(d.where, at, [&] { QTest::keyClick(w, d.key, d.modifiers); });
        in_next_dialog("category selection", at, [&] { QTest::mouseClick(w->review_button, Qt::RightButton); });
        in_next_dialog("fonts", at, [&] { run_command(w, cmd_fonts); });

        key(Qt::Key_Return);
        at(w, QStringLiteral("review screen"));
        key(Qt::Key_Return);
        at(w, QStringLiteral("review screen with the answer"));
        key(Qt::Key_4);
        key(Qt::Key_Escape);
        // With more than one category the add screen first asks where the new items go.
        in_next_dialog("category for new items", at, [&] { key(Qt::Key_Insert); }, &QDialog::accept);
        at(w, QStringLiteral("add screen"));
        key(Qt::Key_Escape);
    }

    // Runs `open` on the active main window and `at` on the dialog it opens, which `end` then ends.
    void in_next_dialog(const char* where, const check& at, const std::function<void()>& open,
        void (QDialog::*end)() = &QDialog::reject)
    {
        // The keys reach the window's shortcuts only while it is the active one.
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w)) << where;
        bool seen = false;
        on_next_modal([&](QWidget* dialog) {
            seen = true;
            at(dialog, QString::fromLatin1(where));
            if (auto* d = qobject_cast<QDialog*>(dialog))
                (d->*end)();
            else
                dialog->close();
        });
        open();
        EXPECT_TRUE(seen) << where << " did not open";
    }
};
