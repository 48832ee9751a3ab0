// The window's screens at the smallest size the window takes and at a large one: the question
// and every shown button are on screen, whole, readable and clear of each other.

#include "ui/screens.h"
#include "ui_fixture.h"

namespace {

class WindowLayout : public ui_test {
protected:
    // The screen's shown controls, each checked against the area and the others.
    void check_screen(const char* screen)
    {
        SCOPED_TRACE(screen);
        QWidget* area = w->client_area;
        std::vector<QWidget*> shown;
        for (QWidget* c : area->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (c->isVisible())
                shown.push_back(c);
        ASSERT_TRUE(w->question_box->isVisible());
        const int line = w->question_box->fontMetrics().lineSpacing();
        EXPECT_GE(w->question_box->viewport()->height(), line);
        for (size_t i = 0; i < shown.size(); ++i) {
            const QRect r = shown[i]->geometry();
            EXPECT_TRUE(area->rect().contains(r)) << shown[i]->objectName().toStdString();
            if (auto* button = qobject_cast<QPushButton*>(shown[i])) {
                EXPECT_GE(r.height(), button->fontMetrics().height()) << button->objectName().toStdString();
                EXPECT_GE(r.width(), button->fontMetrics().horizontalAdvance(button->text()))
                    << button->objectName().toStdString();
            }
            for (size_t j = i + 1; j < shown.size(); ++j)
                EXPECT_FALSE(r.intersects(shown[j]->geometry()))
                    << shown[i]->objectName().toStdString() << " / " << shown[j]->objectName().toStdString();
        }
    }
    void resize_and_check(const QSize& size, const char* screen)
    {
        w->resize(size);
        QApplication::processEvents();
        check_screen(screen);
    }
};

TEST_F(WindowLayout, EveryScreenFitsTheSmallestAndALargeWindow)
{
    add_item("Welches Tier bellt?", "der Hund", 0, -1);
    for (const QSize size : {QSize(1, 1), QSize(1600, 1000)}) {
        SCOPED_TRACE(size.width());
        show_main_screen();
        resize_and_check(size, "main");
        if (size.width() == 1) {
            // The smallest window holds the overview beside the screen, and no more than it needs.
            EXPECT_LE(w->width(), 640);
            EXPECT_LE(w->height(), 480);
        }
        key(Qt::Key_Return);
        ASSERT_EQ(ui().pass.mode(), screen_mode::scheduled);
        resize_and_check(size, "question");
        key(Qt::Key_Return);
        ASSERT_TRUE(grades_shown());
        resize_and_check(size, "answer and grades");
        key(Qt::Key_Escape);
    }
}

}  // namespace
