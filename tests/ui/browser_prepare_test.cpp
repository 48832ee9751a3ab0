// The browser's preparing threads: once they are through, a search is whole at once; what they
// made of texts edited since is dropped.
#include <thread>

#include "ui_fixture.h"

namespace {

class BrowserPrepare : public ui_test {};

TEST_F(BrowserPrepare, APreparedSearchIsWholeAtOnceAndAnEditOutlivesWhatWasPreparedBeforeIt)
{
    // More rows than the first screen's search looks at before it shows them, and than the
    // preparing thread folds in one slice.
    for (int i = 0; i < 41'000; ++i)
        add_item("Frage " + std::to_string(1000 + i), i % 3 ? "Antwort" : "Straße", 0, i % 7);
    browse([&](browser_window* b) {
        browser_model* model = b->model(browse_kind::scheduled);
        QTRY_VERIFY(model->prepared() && b->model(browse_kind::pending)->prepared());
        type_into(b->search_box(), QStringLiteral("STRASSE"));
        EXPECT_TRUE(model->filter_done());
        ASSERT_EQ(model->rowCount(), 13'667);
        for (const int row : {0, 6'666, 13'666})
            EXPECT_EQ(model->row_at(row).scheduled->answer.str(), "Straße") << row;
        b->search_box()->clear();

        // Prepared again and handed over, but not yet taken when the last question changes so as
        // to sort first: the ranks of the old texts must not sort it.
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
        ASSERT_EQ(model->rowCount(), 1);
        EXPECT_EQ(model->row_at(0).scheduled, edited);
    });
}

}  // namespace
