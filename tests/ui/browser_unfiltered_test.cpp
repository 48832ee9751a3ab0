// The browser without a filter: every row is there at once, without slices.
#include <QLabel>

#include "browser_fixture.h"

TEST_F(Browser, WithTheSearchClearedEveryRowShowsAtOnce)
{
    generate(400);
    browse([&](browser_window* b) {
        browser_model* model = b->model(browse_kind::scheduled);
        model->set_filter_slices(40, 60);
        type(b->search_box(), QStringLiteral("B"));
        EXPECT_FALSE(model->filter_done());
        QTest::keyClick(b->search_box(), Qt::Key_Backspace);
        EXPECT_TRUE(model->filter_done());
        EXPECT_EQ(model->rowCount(), 400);
        EXPECT_EQ(b->count_label()->text(), QStringLiteral("400 of 400 items"));
    });
}
