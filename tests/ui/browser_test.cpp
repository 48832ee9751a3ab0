#include <QComboBox>
#include <QDateTime>
#include <QHeaderView>
#include <QInputDialog>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableView>

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "database/days.h"
#include "session/undo.h"
#include "ui/browser.h"
#include "ui/window_state.h"
#include "browser_fixture.h"

namespace {

TEST_F(Browser, RowsAreTheDatabaseCellByCellAndAHeaderSortsByItsKey)
{
    generate(300);
    add_item("<i>Bild</i><img>pics/a.png</img>", "<snd>s.mp3</snd>Ton", 0, 3);
    add_pending("queued one", "later");
    add_pending("queued two", "later");
    browse([&](browser_window* b) {
        QTableView* view = b->view(browse_kind::scheduled);
        browser_model* model = b->model(browse_kind::scheduled);
        ASSERT_EQ(model->rowCount(), static_cast<int>(db().item_count));
        // Before any sort, the rows are the list itself, record for record.
        int row = 0;
        for (const item* e = db().head; e; e = e->next, ++row)
            ASSERT_EQ(model->row_at(row).scheduled, e);
        EXPECT_EQ(b->count_label()->text(), QStringLiteral("301 of 301 items"));
        EXPECT_EQ(b->model(browse_kind::pending)->rowCount(), 2);
        // The columns fill the table's width, wider or narrower, without a scroll bar across.
        for (const int width : {1400, 1100}) {
            b->resize(width, 600);
            EXPECT_TRUE(QTest::qWaitFor([&] { return view->horizontalHeader()->length() == view->viewport()->width(); }, 2000))
                << width << ": " << view->horizontalHeader()->length() << " of " << view->viewport()->width();
        }

        // One row seen cell by cell.
        const item* e = db().head;
        for (row = 0; model->row_at(row).scheduled->question.view().find("Bild") == std::string_view::npos; ++row)
            e = model->row_at(row + 1).scheduled;
        EXPECT_EQ(cell(view, row, column_question), QStringLiteral("Bild <img>"));
        EXPECT_EQ(cell(view, row, column_answer), QStringLiteral("Ton <snd>"));
        EXPECT_EQ(cell(view, row, column_category), QStringLiteral("root"));
        EXPECT_EQ(cell(view, row, column_due), QStringLiteral("in 3 days"));
        EXPECT_EQ(cell(view, row, column_next_date), QString::fromStdString(date_of_day(e->tmtrpt)));
        const QDate start = QDateTime::fromSecsSinceEpoch(db().time_of_start).date();
        EXPECT_EQ(cell(view, row, column_next_date), start.addDays(e->tmtrpt).toString(Qt::ISODate));

        // A click on a header sorts by its column's key.
        click_header(view, column_interval);
        std::vector<uint16_t> intervals;
        for (int r = 0; r < model->rowCount(); ++r)
            intervals.push_back(model->row_at(r).scheduled->ivl);
        EXPECT_TRUE(std::ranges::is_sorted(intervals));
    });
}

TEST_F(Browser, SearchAsYouTypeIgnoresCaseAndAccentsAndCombinesWithFilters)
{
    generate(200);
    const std::multiset<std::string> bears = questions_starting("Bär");
    std::multiset<std::string> overdue_bears;
    for (const item* e = db().head; e; e = e->next)
        if (e->question.view().starts_with("Bär") && e->tmtrpt < day_number(0))
            overdue_bears.insert(std::string(e->question.view()));
    ASSERT_FALSE(bears.empty());
    ASSERT_NE(bears.size(), overdue_bears.size());
    browse([&](browser_window* b) {
        browser_model* model = b->model(browse_kind::scheduled);
        auto shown = [&] { return shown_questions(model); };
        type(b->search_box(), QStringLiteral("bär"));
        EXPECT_EQ(shown(), bears);
        b->due_box()->setCurrentIndex(b->due_box()->findText(QStringLiteral("Overdue")));
        EXPECT_EQ(shown(), overdue_bears);
        b->due_box()->setCurrentIndex(0);
        // The category filter takes the categories below the one chosen.
        b->search_box()->clear();
        choose_category(b, QStringLiteral("Deutsch"));
        std::set<uint16_t> seen;
        for (int r = 0; r < model->rowCount(); ++r)
            seen.insert(model->row_at(r).scheduled->ctgr);
        EXPECT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen.count(0), 0u);
    });
}

TEST_F(Browser, SearchShowsItsFirstRowsAtOnceAndTheRestInSlicesWhileTyping)
{
    generate(400);
    const std::multiset<std::string> bears = questions_starting("Bär");
    browse([&](browser_window* b) {
        browser_model* model = b->model(browse_kind::scheduled);
        auto shown = [&] { return shown_questions(model); };
        for (browse_kind kind : {browse_kind::scheduled, browse_kind::pending})
            b->model(kind)->set_filter_slices(40, 60);
        // The first key shows what the first forty rows hold; the rest comes in slices.
        type(b->search_box(), QStringLiteral("B"));
        EXPECT_FALSE(model->filter_done());
        EXPECT_LE(model->rowCount(), 40);
        // A key typed before the slices are through starts the search again.
        type(b->search_box(), QStringLiteral("AR"));
        EXPECT_FALSE(model->filter_done());
        EXPECT_TRUE(QTest::qWaitFor([&] { return model->filter_done(); }, 5000));
        EXPECT_EQ(shown(), bears);
        EXPECT_EQ(b->count_label()->text(), QStringLiteral("%1 of 400 items").arg(bears.size()));

        // A sort keeps the rows found and the selection on its item; the second click reverses.
        QTableView* view = b->view(browse_kind::scheduled);
        click_row(view, 3);
        const item* chosen = model->row_at(3).scheduled;
        std::vector<const item*> ascending;
        for (const bool descending : {false, true}) {
            click_header(view, column_question);
            ASSERT_TRUE(model->filter_done());
            std::vector<const item*> order;
            for (int r = 0; r < model->rowCount(); ++r)
                order.push_back(model->row_at(r).scheduled);
            ASSERT_EQ(order.size(), bears.size());
            if (descending)
                EXPECT_TRUE(std::equal(order.begin(), order.end(), ascending.rbegin()));
            else
                ascending = order;
            const QModelIndexList selected = view->selectionModel()->selectedRows();
            ASSERT_EQ(selected.size(), 1);
            EXPECT_EQ(model->row_at(selected[0].row()).scheduled, chosen);
        }
    });
}

TEST_F(Browser, EditsInPlaceReachTheItemAndTheReviewScreen)
{
    item* shown = add_item("Hund", "dog", 0, -1);
    add_item("Katze", "cat", 0, 5);
    show_main_screen();
    click(w->review_button);
    ASSERT_EQ(ui().pass.current_item(), shown);
    ASSERT_EQ(question_shown(), QStringLiteral("Hund"));
    browse([&](browser_window* b) {
        QTableView* view = b->view(browse_kind::scheduled);
        view->setFocus();
        click_row(view, 0);
        QTest::keyClick(view, Qt::Key_F2);
        QWidget* editor = focused<QPlainTextEdit>();
        ASSERT_TRUE(editor);
        ASSERT_TRUE(view->isAncestorOf(editor));
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        type(editor, QStringLiteral("der <b>Hund</b>x"));
        // Delete in the editor is the editor's: it takes the stray letter, not the row.
        QTest::keyClick(editor, Qt::Key_Left);
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
        // The view commits an edit from the event loop.
        QCoreApplication::processEvents();
        EXPECT_EQ(shown->question, "der <b>Hund</b>");
        EXPECT_EQ(cell(view, 0, column_question), QStringLiteral("der Hund"));
        EXPECT_EQ(b->outcome().shown_item_changed, true);
        EXPECT_TRUE(recorded_messages().empty());
    });
    // The review screen shows the item as it now is.
    EXPECT_EQ(ui().pass.current_item(), shown);
    EXPECT_EQ(question_shown(), QStringLiteral("der Hund"));
    EXPECT_EQ(db().item_count, 2u);
}

TEST_F(Browser, SeveralItemsAreDeletedOnlyWhenConfirmed)
{
    const int days[] = {-2, -1, 3, 4, 5, 6};  // two due, whichever of them is shown
    for (int i = 0; i < 6; ++i)
        add_item("item " + std::to_string(i), "a", 0, days[i]);
    show_main_screen();
    click(w->review_button);
    const item* shown = ui().pass.current_item();
    ASSERT_NE(shown, nullptr);
    const int shown_row = shown == db().head ? 0 : 1;
    const std::string other_due = shown_row == 0 ? "item 1" : "item 0";
    browse([&](browser_window* b) {
        QTableView* view = b->view(browse_kind::scheduled);
        click_row(view, 2);
        click_row(view, 4, Qt::ShiftModifier);
        click_row(view, shown_row, Qt::ControlModifier);
        // The box is answered No, as its default would be: nothing goes.
        QTest::keyClick(view, Qt::Key_Delete);
        ASSERT_EQ(recorded_messages().size(), 1u);
        EXPECT_EQ(recorded_messages()[0].text, QStringLiteral("Delete the 4 selected items?"));
        EXPECT_EQ(recorded_messages()[0].buttons, message_buttons::yes_no);
        EXPECT_EQ(db().item_count, 6u);
        message_answers().push_back(message_answer::yes);
        QTest::keyClick(view, Qt::Key_Delete);
        EXPECT_EQ(db().item_count, 2u);
        EXPECT_EQ(b->model(browse_kind::scheduled)->rowCount(), 2);
        EXPECT_EQ(b->count_label()->text(), QStringLiteral("2 of 2 items"));
        // The cursor stays where the first deleted row was, on the row that took its place.
        EXPECT_EQ(view->currentIndex().row(), std::min(shown_row, 1));
    });
    std::vector<std::string> left;
    for (const item* e = db().head; e; e = e->next)
        left.push_back(e->question);
    EXPECT_EQ(left, (std::vector<std::string>{other_due, "item 5"}));
    // The deleted item left the screen; the other due one took its place.
    EXPECT_EQ(ui().pass.mode(), screen_mode::scheduled);
    ASSERT_NE(ui().pass.current_item(), nullptr);
    EXPECT_EQ(question_shown(), QString::fromStdString(other_due));
}

TEST_F(Browser, DueTodayMovesItemsToTodayInTheListAndQueueItemsCanBeDeleted)
{
    add_item("graded", "a", 0, 0);
    add_item("later", "a", 0, 9);
    add_pending("queued", "b");
    // A grade that could be undone, until the list it would restore changes.
    show_main_screen();
    click(w->review_button);
    click(w->ok_button);
    click(w->grade_buttons[5]);
    ASSERT_TRUE(next_undo().available);
    browse([&](browser_window* b) {
        QTableView* view = b->view(browse_kind::scheduled);
        ASSERT_EQ(view->model()->rowCount(), 2);
        const int later = cell(view, 0, column_question) == QStringLiteral("later") ? 0 : 1;
        click_row(view, later);
        QTest::mouseClick(b->findChild<QPushButton*>(QStringLiteral("browser_due_today")), Qt::LeftButton);
        EXPECT_EQ(cell(view, 0, column_question), QStringLiteral("later"));
        EXPECT_EQ(cell(view, 0, column_due), QStringLiteral("today"));
        // The selection followed the item to its new place.
        ASSERT_EQ(view->selectionModel()->selectedRows().size(), 1);
        EXPECT_EQ(view->selectionModel()->selectedRows()[0].row(), 0);
        // The grade's step would put its item back into a list that has changed since.
        EXPECT_FALSE(next_undo().available);
        b->tabs()->setCurrentIndex(1);
        QTableView* pending = b->view(browse_kind::pending);
        click_row(pending, 0);
        message_answers().push_back(message_answer::yes);
        QTest::mouseClick(b->findChild<QPushButton*>(QStringLiteral("browser_delete")), Qt::LeftButton);
    });
    ASSERT_EQ(db().item_count, 2u);
    EXPECT_EQ(db().head->question, "later");
    EXPECT_EQ(db().head->tmtrpt, day_number(0));
    EXPECT_GT(db().head->next->tmtrpt, day_number(0));
    EXPECT_EQ(db().pending_count, 0u);
    EXPECT_EQ(db().pending_head, nullptr);
}

TEST_F(Browser, SeveralItemsMoveToAnotherCategoryAtOnce)
{
    const uint16_t deutsch = add_category("Deutsch", 0);
    const uint16_t verben = add_category("Verben", deutsch);
    item* a = add_item("gehen", "to go", deutsch, 1);
    item* b = add_item("laufen", "to run", deutsch, 2);
    item* c = add_item("Haus", "house", deutsch, 3);
    pending_item* p = add_pending("sehen", "to see", 0);
    browse([&](browser_window* window) {
        choose_category(window, QStringLiteral("Deutsch"));
        QTableView* view = window->view(browse_kind::scheduled);
        ASSERT_EQ(view->model()->rowCount(), 3);
        window->search_box()->setFocus();
        type(window->search_box(), QStringLiteral("EN"));  // gehen and laufen
        ASSERT_EQ(view->model()->rowCount(), 2);
        click_row(view, 0);
        click_row(view, 1, Qt::ShiftModifier);
        QString offered;
        // The category list opens inside the browser's own modal loop.
        QTimer::singleShot(0, [&] {
            auto* choose = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(choose, nullptr);
            offered = choose->labelText();
            choose->setTextValue(QStringLiteral("Deutsch / Verben"));
            QTest::keyClick(choose, Qt::Key_Return);
        });
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("browser_move")), Qt::LeftButton);
        EXPECT_EQ(offered, QStringLiteral("Move the 2 selected items to:"));
        // Deutsch still shows them, with the category below it, and they stay selected.
        EXPECT_EQ(cell(view, 0, column_category), QStringLiteral("Deutsch / Verben"));
        std::set<std::string> selected;
        for (const QModelIndex& i : view->selectionModel()->selectedRows())
            selected.insert(window->model(browse_kind::scheduled)->row_at(i.row()).scheduled->question);
        EXPECT_EQ(selected, (std::set<std::string>{"gehen", "laufen"}));
        choose_category(window, QStringLiteral("Deutsch / Verben"));
        EXPECT_EQ(view->model()->rowCount(), 2);
        // The counts follow the move: Verben holds two now, Deutsch still all three.
        EXPECT_TRUE(chosen_label(window).startsWith(QStringLiteral("Verben (i:2,"))) << chosen_label(window).toStdString();
        EXPECT_TRUE(category_item(window, QStringLiteral("Deutsch"))->text(0).startsWith(QStringLiteral("Deutsch (i:3,")));
        window->search_box()->clear();
        EXPECT_EQ(view->model()->rowCount(), 2);
        EXPECT_TRUE(window->outcome().changed);
    });
    EXPECT_EQ(a->ctgr, verben);
    EXPECT_EQ(b->ctgr, verben);
    EXPECT_EQ(c->ctgr, deutsch);
    EXPECT_EQ(p->ctgr, 0);
    EXPECT_EQ(db().item_count, 3u);
}

// What Forget does to an item is the review session's (its tests); here the button reaches it.
TEST_F(Browser, ForgetStartsItemsAgainAndDeleteInTheSearchBoxEditsTheSearch)
{
    item* known = add_item("gut", "good", 0, 40);
    known->rp = 6;
    add_item("other", "x", 0, 2);
    browse([&](browser_window* b) {
        QTableView* view = b->view(browse_kind::scheduled);
        click_row(view, 1);
        ASSERT_EQ(cell(view, 1, column_question), QStringLiteral("gut"));
        // Delete in the search box takes a letter out of the search, not the selected item.
        b->search_box()->setFocus();
        type(b->search_box(), QStringLiteral("gutx"));
        QTest::keyClick(b->search_box(), Qt::Key_Left);
        QTest::keyClick(b->search_box(), Qt::Key_Delete);
        EXPECT_EQ(b->search_box()->text(), QStringLiteral("gut"));
        EXPECT_TRUE(recorded_messages().empty());
        ASSERT_EQ(view->model()->rowCount(), 1);
        click_row(view, 0);
        message_answers().push_back(message_answer::yes);
        QTest::mouseClick(b->findChild<QPushButton*>(QStringLiteral("browser_forget")), Qt::LeftButton);
        ASSERT_EQ(recorded_messages().size(), 1u);
        EXPECT_EQ(recorded_messages()[0].buttons, message_buttons::yes_no);
    });
    EXPECT_EQ(db().item_count, 2u);
    EXPECT_EQ(known->rp, 0);
    EXPECT_EQ(known->tmtrpt, day_number(0) + known->ivl);
}

}  // namespace
