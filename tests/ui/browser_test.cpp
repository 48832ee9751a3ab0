// The browser opened from the main window: its table and tree, and that its keys, headers, boxes
// and buttons reach the session's sorts, filters and edits; its preparing threads.

#include <algorithm>
#include <random>
#include <ranges>
#include <thread>

#include "database/days.h"
#include "session/undo.h"
#include "settings/category_dialog.h"
#include "ui_fixture.h"

namespace {

class Browser : public ui_test {
protected:
    // A collection with accents, categories, and every kind of due day, interval and grade.
    void generate(int count)
    {
        const uint16_t deutsch = add_category("Deutsch", 0);
        const std::vector<uint16_t> categories{0, deutsch, add_category("Verben", deutsch)};
        const std::vector<std::string> words{"Bär", "über", "Straße", "<b>fête</b>", "Haus", "naïve", "ÉCOLE"};
        std::mt19937 random(17);
        for (int i = 0; i < count; ++i) {
            item* e = add_item(words[random() % words.size()] + " " + std::to_string(i), "answer " + std::to_string(i),
                categories[random() % categories.size()], static_cast<int>(random() % 30) - 10);
            e->ivl = static_cast<uint16_t>(random() % 200);
            e->rp = static_cast<uint16_t>(random() % 20);
            e->gr = static_cast<uint16_t>(random() % 6);
        }
    }
    static std::vector<const item*> rows(const browser_model* model)
    {
        std::vector<const item*> items;
        for (int r = 0; r < model->rowCount(); ++r)
            items.push_back(model->row_at(r).scheduled);
        return items;
    }
    static std::multiset<std::string> shown_questions(const browser_model* model)
    {
        std::multiset<std::string> questions;
        for (const item* e : rows(model))
            questions.insert(e->question);
        return questions;
    }
    static std::multiset<std::string> questions_where(const std::function<bool(const item*)>& wanted)
    {
        std::multiset<std::string> questions;
        for (const item* e = db().head; e; e = e->next)
            if (wanted(e))
                questions.insert(e->question);
        return questions;
    }
    static void press_button(browser_window* b, const char* name) { QTest::mouseClick(child<QPushButton>(b, name), Qt::LeftButton); }
    static QString chosen_label(browser_window* b) { return b->category_tree()->currentItem()->text(0); }
};

class BrowserPrepare : public ui_test {};

bool starts_bear(const item* e) { return e->question.view().starts_with("Bär"); }

TEST_F(Browser, SearchAndEachHeaderSortWorkOnRowsThatAreTheDatabase)
{
    generate(400);
    item* shown = add_item("<i>Bild</i><img>pics/a.png</img>", "<snd>s.mp3</snd>Ton", 0, 3);
    shown->gr = 4;  // its first grade, before any repetition counts
    add_test_pending(0, "queued", "later");
    const std::multiset<std::string> bears = questions_where(starts_bear);
    browse([&](browser_window* b) {
        QTableView* view = b->view(browse_kind::scheduled);
        browser_model* model = b->model(browse_kind::scheduled);
        ASSERT_EQ(rows(model), scheduled_items());  // before any sort, the list itself
        EXPECT_EQ(b->model(browse_kind::pending)->rowCount(), 1);
        for (browse_kind kind : {browse_kind::scheduled, browse_kind::pending})
            b->model(kind)->set_filter_slices(40, 60);
        // The first key shows what the first forty rows hold, and the clear button in full (no
        // fade over later frames), named for a screen reader; cleared, every row is there at once.
        QLineEdit* search = b->search_box();
        auto* clear = search->findChild<QToolButton*>();
        ASSERT_TRUE(clear && !clear->isVisible());
        const QImage empty = search->grab().toImage();
        type_into(search, QStringLiteral("B"));
        EXPECT_TRUE(!model->filter_done() && model->rowCount() <= 40);
        ASSERT_TRUE(clear->isVisible());
        EXPECT_NE(search->grab().toImage().copy(clear->geometry()), empty.copy(clear->geometry()));
        EXPECT_EQ(clear->toolTip() + "|" + QAccessible::queryAccessibleInterface(clear)->text(QAccessible::Name),
            QStringLiteral("Clear the search|Clear the search"));
        QTest::mouseClick(clear, Qt::LeftButton);
        EXPECT_TRUE(search->text().isEmpty() && !clear->isVisible() && model->filter_done() && model->rowCount() == 401);
        EXPECT_EQ(b->count_label()->text(), QStringLiteral("401 of 401 items"));
        // A key typed before the slices are through starts the search again.
        type_into(b->search_box(), QStringLiteral("BAR"));
        EXPECT_FALSE(model->filter_done());
        auto settled = [&] { return QTest::qWaitFor([&] { return model->filter_done(); }, 5000); };
        ASSERT_TRUE(settled());
        EXPECT_EQ(std::tuple(shown_questions(model), b->count_label()->text()),
            std::tuple(bears, QStringLiteral("%1 of 401 items").arg(bears.size())));

        QTest::keyClick(b->search_box(), Qt::Key_Down);
        EXPECT_TRUE(view->hasFocus() && view->selectionModel()->isRowSelected(0));

        // A sort keeps the rows found and the selection on its item; the second click reverses.
        click_row(view, 3);
        const item* chosen = model->row_at(3).scheduled;
        std::vector<const item*> ascending;
        for (const bool descending : {false, true}) {
            click_header(view, column_question);
            std::vector<const item*> order = rows(model);
            ASSERT_EQ(order.size(), bears.size());
            EXPECT_TRUE(!descending || std::ranges::equal(order, ascending | std::views::reverse));
            ascending = order;
            ASSERT_EQ(view->selectionModel()->selectedRows().size(), 1);
            EXPECT_EQ(model->row_at(view->selectionModel()->selectedRows()[0].row()).scheduled, chosen);
        }

        // The due box and the category tree narrow the search; a category takes those below it.
        b->due_box()->setCurrentIndex(b->due_box()->findText(QStringLiteral("Overdue")));
        ASSERT_TRUE(settled());
        EXPECT_EQ(shown_questions(model), questions_where([](const item* e) { return starts_bear(e) && e->tmtrpt < day_number(0); }));
        b->due_box()->setCurrentIndex(0);
        b->search_box()->clear();
        choose_category(b, QStringLiteral("Deutsch"));
        ASSERT_TRUE(settled());
        EXPECT_EQ(shown_questions(model), questions_where([](const item* e) { return e->ctgr != 0; }));

        // Every row again: the columns fill the width, show the item, and each header sorts by its field.
        choose_category(b, QString());
        ASSERT_TRUE(settled());
        b->resize(1100, 600);
        QTRY_VERIFY(view->horizontalHeader()->length() == view->viewport()->width());
        const std::vector<const item*> order = rows(model);
        const auto row = static_cast<int>(std::ranges::find(order, shown) - order.begin());
        QStringList cells;
        for (const int c : {column_question, column_answer, column_category, column_due, column_next_date, column_grade})
            cells << cell(view, row, c);
        const QDate start = QDateTime::fromSecsSinceEpoch(db().time_of_start).date();
        EXPECT_EQ(cells.join('|'), "Bild <img>|Ton <snd>|root|in 3 days|" + start.addDays(shown->tmtrpt).toString(Qt::ISODate) + "|4");
        const std::pair<int, uint16_t item::*> columns[] = {{column_next_date, &item::tmtrpt}, {column_due, &item::tmtrpt},
            {column_interval, &item::ivl}, {column_repetitions, &item::rp}, {column_grade, &item::gr}};
        for (const auto& [column, field] : columns) {
            click_header(view, column);
            EXPECT_TRUE(std::ranges::is_sorted(rows(model), {}, [field](const item* e) { return e->*field; })) << column;
        }
    });
}

TEST_F(Browser, EditsInPlaceKeepTheMarkupAndReachTheReviewScreen)
{
    item* e = add_item("Hund\n<b>zwei</b><img>p.png</img>", "dog", 0, -1);
    add_item("Katze", "cat", 0, 5);
    show_main_screen();
    click(w->review_button);
    ASSERT_EQ(ui().pass.current_item(), e);
    browse([&](browser_window* b) {
        QTableView* view = b->view(browse_kind::scheduled);
        EXPECT_EQ(cell(view, 0, column_question), QStringLiteral("Hund zwei <img>"));
        click_row(view, 0);
        QTest::keyClick(view, Qt::Key_F2);
        auto* editor = focused<QPlainTextEdit>();
        ASSERT_TRUE(editor && view->isAncestorOf(editor));
        // The text as stored; Return breaks the line, Delete is the editor's, Ctrl+Return stores.
        EXPECT_EQ(editor->toPlainText(), QStringLiteral("Hund\n<b>zwei</b><img>p.png</img>"));
        EXPECT_TRUE(child<QLabel>(editor, "browser_editor_hint")->isVisible());  // how the edit ends is said
        QTest::keyClick(editor, Qt::Key_Home, Qt::ControlModifier);
        type_into(editor, QStringLiteral("derx"));
        QTest::keyClick(editor, Qt::Key_Left);
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClick(editor, Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), editor);
        QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
        QCoreApplication::processEvents();  // the view commits an edit from the event loop
        EXPECT_EQ(std::tuple(e->question, cell(view, 0, column_question)),
            std::tuple("der\nHund\n<b>zwei</b><img>p.png</img>", QStringLiteral("der Hund zwei <img>")));
        view->setFocus();
        view->setCurrentIndex(view->model()->index(0, column_answer));
        QTest::keyClick(view, Qt::Key_F2);
        editor = focused<QPlainTextEdit>();
        ASSERT_TRUE(editor);
        type_into(editor, QStringLiteral("zzz"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QCoreApplication::processEvents();
        EXPECT_TRUE(e->answer == "dog" && b->isVisible() && recorded_messages().empty());
    });
    EXPECT_EQ(question_shown(), QStringLiteral("der\nHund\nzwei <img>"));
}

TEST_F(Browser, SeveralItemsAreDeletedOnlyWhenConfirmedAndTheReviewScreenMovesOn)
{
    const int days[] = {-2, -1, 3, 4, 5, 6};  // two due, whichever of them is shown
    for (int i = 0; i < 6; ++i)
        add_item("item " + std::to_string(i), "a", 0, days[i]);
    show_main_screen();
    click(w->review_button);
    const item* shown = ui().pass.current_item();
    const int shown_row = shown == db().head ? 0 : 1;
    const std::string other_due = shown_row == 0 ? "item 1" : "item 0";
    browse([&](browser_window* b) {
        QTableView* view = b->view(browse_kind::scheduled);
        click_row(view, 2);
        click_row(view, 4, Qt::ShiftModifier);
        click_row(view, shown_row, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_Delete);  // answered No, the box's default
        ASSERT_TRUE(told(1, 0, {}, QStringLiteral("Delete the 4 selected items?")));
        EXPECT_TRUE(recorded_messages()[0].buttons == message_buttons::yes_no && db().item_count == 6u);
        message_answers().push_back(message_answer::yes);
        QTest::keyClick(view, Qt::Key_Delete);
        EXPECT_EQ(b->count_label()->text(), QStringLiteral("2 of 2 items"));
        EXPECT_EQ(view->currentIndex().row(), std::min(shown_row, 1));  // where the first deleted row was
    });
    EXPECT_TRUE(scheduled_items().size() == 2u && ui().pass.mode() == screen_mode::scheduled);
    EXPECT_EQ(question_shown(), QString::fromStdString(other_due));
}

TEST_F(Browser, TheButtonsMoveRescheduleAndForgetTheSelection)
{
    const uint16_t deutsch = add_category("Deutsch", 0);
    const uint16_t verben = add_category("Verben", deutsch);
    item* gehen = add_item("gehen", "to go", deutsch, 1);
    item* laufen = add_item("laufen", "to run", deutsch, 9);
    laufen->rp = 6;
    item* haus = add_item("Haus", "house", deutsch, 3);
    add_test_pending(0, "queued", "b");
    // A grade that could be undone, until the list it would restore changes.
    add_item("graded", "a");
    show_main_screen();
    click(w->review_button);
    click(w->ok_button);
    click(w->grade_buttons[5]);
    ASSERT_TRUE(next_undo().available);
    browse([&](browser_window* b) {
        QTableView* view = b->view(browse_kind::scheduled);
        b->search_box()->setFocus();
        type_into(b->search_box(), QStringLiteral("EN"));  // gehen and laufen
        ASSERT_EQ(view->model()->rowCount(), 2);
        click_row(view, 0);
        click_row(view, 1, Qt::ShiftModifier);
        QString label;
        answer_next_input(QStringLiteral("Deutsch / Verben"), &label);
        press_button(b, "browser_move");
        EXPECT_EQ(label + "|" + cell(view, 0, column_category), QStringLiteral("Move the 2 selected items to:|Deutsch / Verben"));
        EXPECT_EQ(view->selectionModel()->selectedRows().size(), 2);
        // Due today moves laufen to today, the selection following it; the undo goes.
        click_row(view, cell(view, 0, column_question) == QStringLiteral("laufen") ? 0 : 1);
        press_button(b, "browser_due_today");
        EXPECT_EQ(laufen->tmtrpt, day_number(0));
        const QModelIndexList selected = view->selectionModel()->selectedRows();
        EXPECT_TRUE(selected.size() == 1 && b->model(browse_kind::scheduled)->row_at(selected[0].row()).scheduled == laufen);
        EXPECT_FALSE(next_undo().available);
        message_answers().push_back(message_answer::yes);
        press_button(b, "browser_forget");
        EXPECT_EQ(recorded_messages().back().buttons, message_buttons::yes_no);
        // Delete in the search box edits the search.
        b->search_box()->setFocus();
        for (const Qt::Key k : {Qt::Key_End, Qt::Key_Left, Qt::Key_Delete})
            QTest::keyClick(b->search_box(), k);
        EXPECT_TRUE(b->search_box()->text() == QStringLiteral("E") && recorded_messages().size() == 1u);
    });
    EXPECT_TRUE(gehen->ctgr == verben && laufen->ctgr == verben && haus->ctgr == deutsch && laufen->rp == 0 && db().item_count == 4u);
}

TEST_F(Browser, CategoriesAreMadeRenamedAndDeletedFromTheTreeAndTheSettingsFollow)
{
    const uint16_t deutsch = add_category("Deutsch", -1);
    const uint16_t verben = add_category("Verben", deutsch);
    add_category("Leer", -1);
    const uint16_t french = add_category("French", -1);
    item* etre = add_item("être", "to be", french, 2);
    add_item("gehen", "to go", verben, 1);
    ui().settings_record->acs1 = std::vector<uint8_t>{static_cast<uint8_t>(1u << french)};
    ui().settings_record->acs3 = ui().new_item_category = french;
    browse([&](browser_window* b) {
        EXPECT_FALSE(child<QPushButton>(b, "browser_rename_category")->isEnabled());
        choose_category(b, QStringLiteral("Deutsch"));
        QString label;
        answer_next_input(QStringLiteral("Nomen"), &label);
        press_button(b, "browser_new_category");
        EXPECT_EQ(label, QStringLiteral("Name of the new category under \"Deutsch\":"));
        EXPECT_TRUE(chosen_label(b).startsWith(QStringLiteral("Nomen (i:0,"))) << chosen_label(b).toStdString();
        // F2 on the tree renames, offering the name it has; the table follows.
        choose_category(b, QStringLiteral("Deutsch / Verben"));
        b->category_tree()->setFocus();
        QString offered;
        answer_next_input(QStringLiteral("Zeitwörter"), nullptr, &offered);
        QTest::keyClick(b->category_tree(), Qt::Key_F2);
        EXPECT_EQ(offered, QStringLiteral("Verben"));
        EXPECT_TRUE(chosen_label(b).startsWith(QStringLiteral("Zeitwörter (i:1,"))) << chosen_label(b).toStdString();
        EXPECT_EQ(cell(b->view(browse_kind::scheduled), 0, column_category), QStringLiteral("Deutsch / Zeitwörter"));
        choose_category(b, QStringLiteral("Leer"));
        b->category_tree()->setFocus();
        message_answers().push_back(message_answer::yes);
        QTest::keyClick(b->category_tree(), Qt::Key_Delete);
        ASSERT_TRUE(told(1, 0, {}, QStringLiteral("Delete the category \"Leer\"?")));
        EXPECT_EQ(chosen_label(b), QStringLiteral("All categories"));
        EXPECT_TRUE(category_item(b, QStringLiteral("Leer")) == nullptr && category_item(b, QStringLiteral("Deutsch"))->childCount() == 2);
    });
    // French moved into Leer's place, and what named it follows.
    const uint16_t french_now = static_cast<uint16_t>(french - 1);
    ASSERT_EQ(category_at(french_now)->name, "French");
    EXPECT_TRUE(etre->ctgr == french_now && ui().new_item_category == french_now && ui().settings_record->acs3 == french_now);
    std::vector<uint8_t> ticked(category_count());
    ticked[french_now] = 1;
    EXPECT_EQ(selection_from_settings(&ui().settings_record->acs1), ticked);
}

TEST_F(BrowserPrepare, APreparedSearchIsWholeAtOnceAndAnEditOutlivesWhatWasPreparedBeforeIt)
{
    // More rows than the first screen's search and than the preparing thread's slice.
    for (int i = 0; i < 41'000; ++i)
        add_item("Frage " + std::to_string(1000 + i), i % 3 ? "Antwort" : "Straße", 0, i % 7);
    browse([&](browser_window* b) {
        browser_model* model = b->model(browse_kind::scheduled);
        QTRY_VERIFY(model->prepared() && b->model(browse_kind::pending)->prepared());
        type_into(b->search_box(), QStringLiteral("STRASSE"));
        ASSERT_TRUE(model->filter_done() && model->rowCount() == 13'667);
        for (const int row : {0, 6'666, 13'666})
            EXPECT_EQ(model->row_at(row).scheduled->answer.str(), "Straße") << row;
        b->search_box()->clear();

        // Handed over but not taken when the last question changes to sort first: the old ranks must not sort it.
        model->reload();
        while (model->preparing())
            std::this_thread::yield();
        const int last = model->rowCount() - 1;
        item* edited = model->row_at(last).scheduled;
        ASSERT_TRUE(model->setData(model->index(last, column_question), QStringLiteral("Aal"), Qt::EditRole));
        QTRY_VERIFY(model->prepared());
        click_header(b->view(browse_kind::scheduled), column_question);
        EXPECT_EQ(model->row_at(0).scheduled, edited);
        type_into(b->search_box(), QStringLiteral("aal"));
        EXPECT_TRUE(model->rowCount() == 1 && model->row_at(0).scheduled == edited);
        // A sort made before the preparing thread hands over its order (the list's) stays.
        b->search_box()->clear();
        model->reload();
        QTRY_VERIFY(model->prepared() && model->row_at(0).scheduled == edited);
    });
}

}  // namespace

// Without a thread, or without the memory for what it prepares, the browser searches as it did
// before it prepared anything: folding the rows it looks at.
TEST_F(BrowserPrepare, WithoutAThreadOrItsMemoryTheSearchFoldsAsItGoes)
{
    if (sanitized_build)
        GTEST_SKIP() << "a sanitizer's allocator does not live under an address space limit";
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a process of its own, no memory left free by others
    for (const size_t headroom : {size_t {2} << 20, size_t {20} << 20}) {  // no thread's stack; no 32 MiB of folded texts
        EXPECT_EXIT({
            for (int i = 0; i < 4000; ++i)
                add_item(std::string(4000, 'q') + std::to_string(i), std::string(4000, 'a'));
            browser_model model(browse_kind::scheduled);
            if (!limit_address_space(headroom))
                std::_Exit(90);
            model.begin_preparing();
            model.set_filter({"q3999", due_filter::any, {}, 0});
            const bool ended = QTest::qWaitFor([&] { return !model.preparing() && model.filter_done(); });
            std::_Exit(!ended || model.prepared() ? 2 : model.rowCount() == 1 ? 0 : 3);
        }, testing::ExitedWithCode(0), "") << headroom;
    }
}
