#pragma once
// The browser opened from the main window, with helpers that act on its widgets as a user does.
#include <QApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ui/browser.h"
#include "ui_fixture.h"

class Browser : public ui_test {
protected:
    // Opens the browser with Ctrl+B on the main window, runs `act` on it, then closes it.
    void browse(const std::function<void(browser_window*)>& act)
    {
        bool opened = false;
        on_next_modal([&](QWidget* dialog) {
            auto* browser = qobject_cast<browser_window*>(dialog);
            opened = browser != nullptr;
            if (browser) {
                browser->activateWindow();
                EXPECT_TRUE(QTest::qWaitForWindowActive(browser));
                act(browser);
            }
            dialog->close();
        });
        QTest::keyClick(w, Qt::Key_B, Qt::ControlModifier);
        ASSERT_TRUE(opened);
    }

    // Types a text as keys; letters past ASCII come as the keys of a keyboard that has them.
    static void type(QWidget* widget, const QString& text)
    {
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(widget, static_cast<char>(c.unicode()));
                continue;
            }
            const auto key = static_cast<Qt::Key>(c.toUpper().unicode());
            QTest::sendKeyEvent(QTest::Press, widget, key, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, widget, key, QString(c), Qt::NoModifier);
        }
    }

    static QString cell(QTableView* view, int row, int column)
    {
        return view->model()->index(row, column).data().toString();
    }

    // Clicks on a row's question cell, with the modifiers that extend a selection.
    static void click_row(QTableView* view, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QRect r = view->visualRect(view->model()->index(row, column_question));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, r.center());
    }

    // The questions of the scheduled rows the model shows.
    static std::multiset<std::string> shown_questions(const browser_model* model)
    {
        std::multiset<std::string> questions;
        for (int r = 0; r < model->rowCount(); ++r)
            questions.insert(model->row_at(r).scheduled->question);
        return questions;
    }

    // The questions of the scheduled items that begin with `start`.
    static std::multiset<std::string> questions_starting(std::string_view start)
    {
        std::multiset<std::string> questions;
        for (const item* e = db().head; e; e = e->next)
            if (e->question.view().starts_with(start))
                questions.insert(std::string(e->question.view()));
        return questions;
    }

    // The category tree's item of the category with this path ("" for "All categories").
    static QTreeWidgetItem* category_item(browser_window* b, const QString& path)
    {
        for (QTreeWidgetItemIterator it(b->category_tree()); *it; ++it) {
            const int c = (*it)->data(0, Qt::UserRole).toInt();
            const QString here = c < 0 ? QString() : QString::fromStdString(category_path(static_cast<uint16_t>(c)));
            if (here == path)
                return *it;
        }
        return nullptr;
    }

    // Clicks the category with this path in the tree.
    static void choose_category(browser_window* b, const QString& path)
    {
        QTreeWidgetItem* item = category_item(b, path);
        ASSERT_NE(item, nullptr) << path.toStdString();
        QTreeWidget* tree = b->category_tree();
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, tree->visualItemRect(item).center());
        ASSERT_EQ(tree->currentItem(), item) << path.toStdString();
    }

    // The label of the chosen category: its name and counts.
    static QString chosen_label(browser_window* b)
    {
        const QTreeWidgetItem* current = b->category_tree()->currentItem();
        return current ? current->text(0) : QString();
    }

    // The paths of every category in the tree, in the tree's order.
    static QStringList tree_paths(browser_window* b)
    {
        QStringList paths;
        for (QTreeWidgetItemIterator it(b->category_tree()); *it; ++it)
            if (const int c = (*it)->data(0, Qt::UserRole).toInt(); c >= 0)
                paths << QString::fromStdString(category_path(static_cast<uint16_t>(c)));
        return paths;
    }

    static void click_header(QTableView* view, int column)
    {
        QHeaderView* header = view->horizontalHeader();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, header->height() / 2));
    }

    // Answers the input dialog that opens next inside the browser's modal loop with `text`
    // (Return), or cancels it (Escape) when `text` is null; `label` gets the question it asked
    // and `offered` the text it offered.
    static void answer_input(const QString* text, QString* label = nullptr, QString* offered = nullptr)
    {
        const std::optional<QString> answer = text ? std::optional<QString>(*text) : std::nullopt;
        QTimer::singleShot(0, [answer, label, offered] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            if (label)
                *label = dialog->labelText();
            if (offered)
                *offered = dialog->textValue();
            if (!answer) {
                QTest::keyClick(dialog, Qt::Key_Escape);
                return;
            }
            dialog->setTextValue(*answer);
            QTest::keyClick(dialog, Qt::Key_Return);
        });
    }

    // Waits until the focus is on a widget of type T, which a loaded machine may give an event late.
    template <typename T>
    static T* focused()
    {
        static_cast<void>(QTest::qWaitFor([] { return qobject_cast<T*>(QApplication::focusWidget()) != nullptr; }, 2000));
        return qobject_cast<T*>(QApplication::focusWidget());
    }

    // A collection with accents, tags, media, categories and every kind of due day.
    void generate(int count)
    {
        const uint16_t deutsch = add_category("Deutsch", 0);
        const uint16_t verben = add_category("Verben", deutsch);
        const std::vector<uint16_t> categories{0, deutsch, verben};
        const std::vector<std::string> words{"Bär", "über", "Straße", "<b>fête</b>", "Haus", "naïve", "ÉCOLE"};
        std::mt19937 random(17);
        for (int i = 0; i < count; ++i) {
            const std::string& word = words[random() % words.size()];
            item* e = add_item(word + " " + std::to_string(i), "answer " + std::to_string(i),
                categories[random() % categories.size()], static_cast<int>(random() % 30) - 10);
            e->ivl = static_cast<uint16_t>(random() % 200);
            e->rp = static_cast<uint16_t>(random() % 20);
            e->gr = static_cast<uint16_t>(random() % 6);
            e->id = 1'700'000'000u + static_cast<uint32_t>(random() % 10'000'000);
        }
    }
};
