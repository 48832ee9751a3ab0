// What a screen reader gets (that every control is named is checked on the German tour).

#include "ui/overview_panel.h"
#include "ui_fixture.h"

namespace {

class Accessibility : public window_tour {};

// The widgets Tab visits from `first` until it comes round again.
std::vector<QWidget*> tab_chain(QWidget* first)
{
    first->setFocus();
    std::vector<QWidget*> visited;
    for (int step = 0; step < 20; ++step) {
        QWidget* focus = QApplication::focusWidget();
        if (std::find(visited.begin(), visited.end(), focus) != visited.end())
            break;
        visited.push_back(focus);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    return visited;
}

// Tab into the overview tells the current row; Tab visits the controls in reading order; the
// review screen's parts say what they are.
TEST_F(Accessibility, TheScreensAreReadInTheirOrderAndTheirPartsSayWhatTheyAre)
{
    fill_collection();
    const auto told = [](QWidget* widget, QAccessible::Text what) { return QAccessible::queryAccessibleInterface(widget)->text(what); };
    const auto in_reading_order = [this](const std::vector<QWidget*>& chain, size_t at_least) {
        ASSERT_GE(chain.size(), at_least);
        for (size_t i = 1; i < chain.size(); ++i) {
            const QPoint a = chain[i - 1]->mapTo(w, QPoint(0, 0));
            const QPoint b = chain[i]->mapTo(w, QPoint(0, 0));
            EXPECT_TRUE(b.y() > a.y() || (b.y() == a.y() && b.x() >= a.x()) || b.x() >= a.x() + chain[i - 1]->width())
                << chain[i - 1]->objectName().toStdString() << " before " << chain[i]->objectName().toStdString();
        }
    };
    QTreeWidget* tree = w->overview->tree();
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Tab, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_TRUE(tree->hasFocus());
    const auto row_told = [this] { return w->overview->current_row_cell() ? w->overview->current_row_cell()->text(QAccessible::Name) : QString(); };
    EXPECT_TRUE(row_told().startsWith(QStringLiteral("root: "))) << row_told().toStdString();
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(row_told(), QStringLiteral("Deutsch: 1 due, 1 queued, 2 items"));
    in_reading_order(tab_chain(tree), 4);
    // The main screen's status text, which takes no focus, is read with the area that does.
    EXPECT_EQ(told(client(), QAccessible::Description), question_shown());

    key(Qt::Key_Return);
    key(Qt::Key_Return);
    in_reading_order(tab_chain(client()), 7);
    for (int g = 0; g <= 5; ++g)
        EXPECT_TRUE(told(w->grade_buttons[g], QAccessible::Name) == QStringLiteral("Grade %1").arg(g)
            && !told(w->grade_buttons[g], QAccessible::Description).isEmpty()) << g;
    EXPECT_EQ(told(w->question_box, QAccessible::Name) + "|" + told(w->answer_box, QAccessible::Name), QStringLiteral("Question|Answer"));
}

}  // namespace
