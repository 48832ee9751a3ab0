#pragma once
// The window tests' kit: a main window on a fresh data directory with media doubles and a
// settable clock; keys and clicks as a user gives them; a tour of every window.

#include <map>
#include <set>

#include "resources/ids.h"
#include "session/choose.h"
#include "support/database_helpers.h"
#include "support/qt_test_support.h"
#include "ui/browser.h"
#include "ui/main_window.h"
#include "ui/media.h"

// What the doubles were asked to do: "play <path>", "stop", "open <path>", "folder <path>".
inline std::vector<std::string>& media_log()
{
    static std::vector<std::string> log;
    return log;
}
struct recording_sound_player : sound_player {
    void play(const QString& path) override { media_log().push_back("play " + path.toStdString()); }
    void stop() override { media_log().push_back("stop"); }
};
struct recording_picture_viewer : picture_viewer {
    void open(const QString& path) override { media_log().push_back("open " + path.toStdString()); }
};
inline uint32_t fake_now_ms = 0;

template <typename T>
T* child(QWidget* parent, const char* name)
{
    T* found = parent->findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

inline QStringList column_texts(const QTableWidget* table, int c)
{
    QStringList texts;
    for (int r = 0; r < table->rowCount(); ++r)
        texts << (table->item(r, c) ? table->item(r, c)->text() : QString());
    return texts;
}

// Types `text` over a box of File > Settings... and confirms with Return.
inline void type_in_settings(main_window* w, const char* box, const QString& text)
{
    on_next_modal([&](QWidget* dialog) {
        auto* edit = child<QLineEdit>(dialog, box);
        if (!edit)
            return static_cast<void>(dialog->close());
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    run_command(w, cmd_settings);
}

class ui_test : public qt_test {
protected:
    void SetUp() override
    {
        qt_test::SetUp();
        media_log().clear();
        fake_now_ms = 100000;
        w = open_window();
        // Ten days into the database's life, so that items can be overdue.
        db().time_of_start -= 10 * 86400;
        ui().sound = std::make_unique<recording_sound_player>();
        ui().viewer = std::make_unique<recording_picture_viewer>();
        ui().open_folder = [](const QString& path) { media_log().push_back("folder " + path.toStdString()); };
        ui().tick_count = [] { return fake_now_ms; };
        activate();
    }

    // The window active with the keyboard on its screens, as a window manager leaves it.
    void activate()
    {
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        client()->setFocus();
    }

    QWidget* client() const { return w->client_area; }
    std::string data_dir() const { return default_dir().toStdString(); }

    // A scheduled item due `days` from today (negative: overdue).
    static item* add_item(const std::string& question, const std::string& answer, uint16_t ctgr = 0, int days = 0)
    {
        return add_test_item(static_cast<uint16_t>(day_number(0) + days), ctgr, 0, question, answer);
    }

    void key(Qt::Key k) { QTest::keyClick(client(), k); }
    // To the widget that has the focus, as the keyboard sends them.
    static void press(Qt::Key k, Qt::KeyboardModifiers mods = {})
    {
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        QTest::keyClick(QApplication::focusWidget(), k, mods);
    }
    static void type(const QString& text)
    {
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        QTest::keyClicks(QApplication::focusWidget(), text);
    }
    static void tab_to(const QString& name)
    {
        for (int i = 0; i < 12 && QApplication::focusWidget()->objectName() != name; ++i)
            press(Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget()->objectName(), name);
    }
    // Letters past ASCII come as the keys of a keyboard that has them.
    static void type_into(QWidget* widget, const QString& text)
    {
        for (const QChar c : text) {
            const auto k = static_cast<Qt::Key>(c.toUpper().unicode());
            QTest::sendKeyEvent(QTest::Press, widget, k, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, widget, k, QString(c), Qt::NoModifier);
        }
    }
    static void click(QPushButton* button, uint32_t after_ms = 1000)
    {
        fake_now_ms += after_ms;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QString question_shown() const { return w->question_box->toPlainText(); }
    QString answer_shown() const { return w->answer_box->toPlainText(); }
    bool grades_shown() const { return !w->grade_buttons[0]->isHidden(); }

    // Runs `open`, then `act` on the window of type T it opened; then ends it by `end`, or closes it.
    template <typename T>
    static void in_window(const std::function<void()>& open, const std::function<void(T*)>& act, void (QDialog::*end)() = nullptr)
    {
        bool opened = false;
        on_next_modal([&](QWidget* dialog) {
            if (auto* t = qobject_cast<T*>(dialog)) {
                opened = true;
                t->activateWindow();
                EXPECT_TRUE(QTest::qWaitForWindowActive(t));
                act(t);
            }
            if (auto* d = qobject_cast<QDialog*>(dialog); d && end)
                (d->*end)();
            else
                dialog->close();
        });
        open();
        ASSERT_TRUE(opened);
    }
    // The dialog of a File menu entry with `path` typed into its path box.
    void in_dialog(const char* entry, const char* path_box, const std::string& path, const std::function<void(QWidget*)>& act)
    {
        in_window<QDialog>([&] { click_file_menu_entry(w, entry); }, [&](QDialog* dialog) {
            auto* line = child<QLineEdit>(dialog, path_box);
            ASSERT_TRUE(QTest::qWaitFor([line] { return QApplication::focusWidget() == line; }));
            QTest::keyClicks(line, QString::fromStdString(path));
            act(dialog);
        });
    }
    void browse(const std::function<void(browser_window*)>& act)
    {
        in_window<browser_window>([this] { QTest::keyClick(w, Qt::Key_B, Qt::ControlModifier); }, act);
    }
    static QString cell(QTableView* view, int row, int column) { return view->model()->index(row, column).data().toString(); }
    static void click_row(QTableView* view, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QRect r = view->visualRect(view->model()->index(row, column_question));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, r.center());
    }
    static void click_header(QTableView* view, int column)
    {
        QHeaderView* header = view->horizontalHeader();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, header->height() / 2));
    }
    // The tree's item of a category path ("" for "All categories").
    static QTreeWidgetItem* category_item(browser_window* b, const QString& path)
    {
        for (QTreeWidgetItemIterator it(b->category_tree()); *it; ++it) {
            const int c = (*it)->data(0, Qt::UserRole).toInt();
            if ((c < 0 ? QString() : QString::fromStdString(category_path(static_cast<uint16_t>(c)))) == path)
                return *it;
        }
        return nullptr;
    }
    static void choose_category(browser_window* b, const QString& path)
    {
        QTreeWidgetItem* item = category_item(b, path);
        QTreeWidget* tree = b->category_tree();
        ASSERT_NE(item, nullptr) << path.toStdString();
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, tree->visualItemRect(item).center());
        ASSERT_EQ(tree->currentItem(), item) << path.toStdString();
    }
    static void answer_next_input(const QString& text, QString* asked = nullptr, QString* offered = nullptr)
    {
        on_next_modal([=](QWidget* dialog) {
            auto* input = qobject_cast<QInputDialog*>(dialog);
            ASSERT_NE(input, nullptr);
            if (asked)
                *asked = input->labelText();
            if (offered)
                *offered = input->textValue();
            input->setTextValue(text);
            QTest::keyClick(input, Qt::Key_Return);
        });
    }
    // A loaded machine may give the focus an event late.
    template <typename T>
    static T* focused()
    {
        static_cast<void>(QTest::qWaitFor([] { return qobject_cast<T*>(QApplication::focusWidget()) != nullptr; }, 2000));
        return qobject_cast<T*>(QApplication::focusWidget());
    }

    main_window* w = nullptr;
};

// Fails when two entries share a mnemonic, or, when `every_entry`, an entry has none.
inline void expect_unique_mnemonics(const QWidget* menu, const QString& where, bool every_entry = false)
{
    std::map<QChar, QString> taken;
    for (const QAction* action : menu->actions()) {
        const QString text = action->text().section(QLatin1Char('\t'), 0, 0);
        const qsizetype at = QString(text).replace(QLatin1String("&&"), QLatin1String("__")).indexOf(QLatin1Char('&'));
        EXPECT_TRUE(!every_entry || action->isSeparator() || at >= 0) << where.toStdString() << ": " << text.toStdString();
        if (at < 0 || at + 1 >= text.size())
            continue;
        const QChar letter = text[at + 1].toLower();
        EXPECT_FALSE(taken.count(letter)) << where.toStdString() << ": \"" << text.toStdString() << "\" and \""
                                          << taken[letter].toStdString() << "\" share Alt+" << QString(letter).toStdString();
        taken[letter] = text;
    }
}

inline const std::set<QAccessible::Role> interactive_roles = {QAccessible::PushButton, QAccessible::CheckBox,
    QAccessible::RadioButton, QAccessible::ComboBox, QAccessible::EditableText, QAccessible::SpinBox,
    QAccessible::Slider, QAccessible::Table, QAccessible::Tree, QAccessible::List, QAccessible::PageTab,
    QAccessible::MenuItem, QAccessible::Link, QAccessible::ButtonMenu, QAccessible::ButtonDropDown,
    QAccessible::ProgressBar};

inline void unnamed_under(QAccessibleInterface* node, QStringList& found, int depth = 0)
{
    if (!node || depth > 40 || node->state().invisible)
        return;
    // A name without a letter says nothing (a bare "0" on a grade button).
    if (interactive_roles.count(node->role()) && !node->text(QAccessible::Name).contains(QRegularExpression(QStringLiteral("\\p{L}")))) {
        const QObject* object = node->object();
        found << QStringLiteral("role %1 (%2 %3)").arg(node->role()).arg(
            object ? QString::fromLatin1(object->metaObject()->className()) : QString(), object ? object->objectName() : QString());
    }
    // A table's cells are named by their texts.
    if (node->role() == QAccessible::Table || node->role() == QAccessible::Tree)
        return;
    for (int i = 0; i < node->childCount(); ++i)
        unnamed_under(node->child(i), found, depth + 1);
}

inline void expect_named(QWidget* window, const QString& where)
{
    QStringList unnamed;
    unnamed_under(QAccessible::queryAccessibleInterface(window), unnamed);
    EXPECT_TRUE(unnamed.isEmpty()) << where.toStdString() << ": " << unnamed.join(QStringLiteral(", ")).toStdString();
}

// Every window, screen and menu of the program, opened by keys and clicks, over a few German items.
class window_tour : public ui_test {
protected:
    using check = std::function<void(QWidget* window, const QString& where)>;

    void fill_collection()
    {
        const uint16_t german = add_category("Deutsch", 0);
        add_item("Hund", "der Hund", german, 0)->ivl = 3;  // reviewed before: its next grade counts for retention
        add_item("Katze", "die Katze", german, 3);
        add_test_pending(german, "Maus", "die Maus");
        show_main_screen();
    }

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
        const std::tuple<const char*, Qt::Key, Qt::KeyboardModifiers> dialogs[] = {{"browser", Qt::Key_B, Qt::ControlModifier},
            {"import", Qt::Key_I, Qt::ControlModifier}, {"export", Qt::Key_E, Qt::ControlModifier},
            {"statistics", Qt::Key_T, Qt::ControlModifier}, {"settings", Qt::Key_Comma, Qt::ControlModifier},
            {"keys and grades", Qt::Key_F1, Qt::NoModifier}, {"about", Qt::Key_Slash, Qt::AltModifier}};
        for (const auto& [where, key, modifiers] : dialogs)
            in_next_dialog(where, at, [&] { QTest::keyClick(w, key, modifiers); });
        in_next_dialog("category selection", at, [&] { QTest::mouseClick(w->review_button, Qt::RightButton); });
        in_next_dialog("fonts", at, [&] { run_command(w, cmd_fonts); });

        key(Qt::Key_Return);
        at(w, QStringLiteral("review screen"));
        key(Qt::Key_Return);
        at(w, QStringLiteral("review screen with the answer"));
        key(Qt::Key_4);
        key(Qt::Key_Escape);
        in_next_dialog("category for new items", at, [&] { key(Qt::Key_Insert); }, &QDialog::accept);
        at(w, QStringLiteral("add screen"));
        key(Qt::Key_Escape);
    }

    void in_next_dialog(const char* where, const check& at, const std::function<void()>& open,
        void (QDialog::*end)() = &QDialog::reject)
    {
        SCOPED_TRACE(where);
        activate();  // shortcuts reach only the active window
        in_window<QWidget>(open, [&](QWidget* dialog) { at(dialog, QString::fromLatin1(where)); }, end);
    }
};
