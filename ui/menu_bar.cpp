// The menu bar of the main window: File, Review, Help, "  Stop  " and "  Skip  ", and what
// their entries do.
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

#include "resources/ids.h"
#include "settings/dialogs.h"
#include "session/undo.h"
#include "ui/browser.h"
#include "ui/data_safety.h"
#include "ui/exchange_dialogs.h"
#include "ui/help_page.h"
#include "ui/main_window.h"
#include "ui/markup.h"
#include "ui/overview_panel.h"
#include "ui/screen_layout.h"
#include "ui/screens.h"
#include "ui/statistics_window.h"
#include "ui/sync_watch.h"
#include "ui/window_state.h"

void main_window::create_menu_bar()
{
    QMenuBar* bar = menuBar();
    // Each action keeps its described id as its data.
    auto add = [this](QWidget* menu_or_bar, const QString& text, int id, void (main_window::*command)()) {
        auto* action = new QAction(text, this);
        action->setData(id);
        connect(action, &QAction::triggered, this, command);
        menu_or_bar->addAction(action);
        return action;
    };
    QMenu* file = bar->addMenu(tr("&File"));
    undo_action = add(file, tr("&Undo"), cmd_undo, &main_window::undo);
    undo_action->setObjectName(QStringLiteral("undo_action"));
    undo_action->setShortcut(QKeySequence::Undo);
    // Its text names the grade it would take back, read when the menu opens.
    connect(file, &QMenu::aboutToShow, this, &main_window::update_undo_action);
    // The shortcut must work after later grades without the menu being opened again.
    connect(file, &QMenu::aboutToHide, undo_action, [this] { undo_action->setEnabled(true); });
    file->addSeparator();
    add(file, tr("&Settings..."), cmd_settings, &main_window::show_settings)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    add(file, tr("F&onts..."), cmd_fonts, &main_window::show_fonts);
    QAction* restore = add(file, tr("&Restore Backup..."), cmd_restore_backup, &main_window::restore_backup);
    restore->setObjectName(QStringLiteral("restore_action"));
    restore->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    QAction* import = add(file, tr("&Import..."), cmd_import, &main_window::import_items);
    import->setObjectName(QStringLiteral("import_action"));
    import->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    QAction* exporting = add(file, tr("&Export..."), cmd_export, &main_window::export_items);
    exporting->setObjectName(QStringLiteral("export_action"));
    exporting->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    QAction* statistics = add(file, tr("S&tatistics..."), cmd_statistics, &main_window::show_statistics);
    statistics->setObjectName(QStringLiteral("statistics_action"));
    statistics->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    QAction* browse = add(file, tr("&Browse Items..."), cmd_browse, &main_window::browse);
    browse->setObjectName(QStringLiteral("browse_action"));
    browse->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    file->addSeparator();
    QAction* exit = add(file, tr("E&xit"), cmd_exit, &main_window::exit_program);
    exit->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Q), QKeySequence(Qt::ALT | Qt::Key_F4)});
    create_review_menu(bar);
    QMenu* help = bar->addMenu(tr("&Help"));
    QAction* keys = help->addAction(tr("&Keys and Grades"));
    keys->setObjectName(QStringLiteral("help_action"));
    keys->setShortcut(QKeySequence(Qt::Key_F1));
    connect(keys, &QAction::triggered, this, [this] {
        help_page page(this);
        page.exec();
        take_keyboard_back();
    });
    QAction* welcome = help->addAction(tr("&Getting Started"));
    welcome->setObjectName(QStringLiteral("welcome_action"));
    connect(welcome, &QAction::triggered, this, &main_window::show_getting_started);
    QAction* about = add(help, tr("&About"), cmd_about, &main_window::show_about);
    about->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Slash));
    stop_action = add(bar, tr("  &Stop  "), cmd_stop, &main_window::stop);
    skip_action = add(bar, tr("  S&kip  "), cmd_skip, &main_window::skip);
    stop_action->setObjectName(QStringLiteral("stop_action"));
    skip_action->setObjectName(QStringLiteral("skip_action"));
    // F10 opens the menu bar at its first menu, as desktop programs do.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, [bar, file] { bar->setActiveAction(file->menuAction()); });
}

void main_window::update_undo_action()
{
    const undo_preview next = next_undo();
    const bool here = next.available && ui().pass.mode() != screen_mode::add;
    undo_action->setEnabled(here);
    if (!here) {
        undo_action->setText(tr("&Undo"));
        return;
    }
    QString question = QString::fromStdString(strip_format_tags(next.question)).simplified();
    if (question.size() > 32)
        question = question.left(31) + QChar(0x2026);
    // An ampersand of the question is shown, not taken as the entry's mnemonic.
    undo_action->setText(tr("&Undo Grade %1 of \"%2\"").arg(next.grade).arg(question.replace(QLatin1Char('&'), QStringLiteral("&&"))));
}

void main_window::exit_program()
{
    write_back_shown_item();
    close();
}

void main_window::show_about()
{
    about_dialog dialog(this);
    dialog.exec();
    take_keyboard_back();
    layout_main_window(this);
}

void main_window::show_getting_started()
{
    show_welcome_dialog(this);
    take_keyboard_back();
}

void main_window::take_keyboard_back()
{
    // Where no window manager hands the keyboard back (or a dialog was ended from outside),
    // nothing would take the keys after a dialog closes: shortcuts and Return would do nothing.
    if (closed_ || !isVisible())
        return;
    activateWindow();
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !focus->isVisible() || !isAncestorOf(focus))
        client_area->setFocus(Qt::OtherFocusReason);
}

void main_window::show_settings()
{
    settings* record = ui().settings_record.get();
    const QString folder_before = record ? record->syncfolder : QString();
    settings_dialog dialog(record, this);
    dialog.exec();
    // The sync folder is left, moved or taken up at once, not at the next start.
    if (record && record->syncfolder != folder_before && db().db_state == database_state::open) {
        // What the folder brings may delete or change the item on screen: the pass ends first.
        if (ui().pass.reviewing())
            show_main_screen();
        if (!sync)
            sync = new sync_watch(this);
        sync->move_to(record->syncfolder, sync_computer_id(record));
    }
    take_keyboard_back();
    layout_main_window(this);
}

void main_window::show_fonts()
{
    fonts_dialog dialog(ui().settings_record.get(), question_box, answer_box, this);
    dialog.exec();
    take_keyboard_back();
    layout_main_window(this);
}

void main_window::restore_backup()
{
    // Nothing may stay on screen of a database about to be replaced.
    show_main_screen();
    if (run_restore_backup_dialog(this))
        show_main_screen(tr("The backup was restored."));
    take_keyboard_back();
}

void main_window::import_items()
{
    show_main_screen();
    if (const int added = run_import_dialog(this); added >= 0)
        show_main_screen(tr("Imported %n items.", nullptr, added));
    // The import's dialogs are gone; without this no window might have the keyboard.
    take_keyboard_back();
}

void main_window::export_items()
{
    write_back_shown_item();
    run_export_dialog(this);
    take_keyboard_back();
}

void main_window::undo() { undo_grade(); }

void main_window::show_statistics()
{
    write_back_shown_item();
    statistics_window dialog(this);
    dialog.exec();
    take_keyboard_back();
}

void main_window::browse()
{
    run_browser(this);
    take_keyboard_back();
}

void main_window::stop()
{
    if (QInputMethod* input = QGuiApplication::inputMethod())
        input->hide();
    show_main_screen();
}

void main_window::skip() { skip_item(); }
