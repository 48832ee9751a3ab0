// What a screen reader gets: every control of every window has a name that says what it is,
// through the same accessibility interfaces the desktop's screen reader reads.

#include "ui/overview_panel.h"
#include "ui_fixture.h"

namespace {

// The roles of what a user acts on; these must be named.
const std::set<QAccessible::Role> interactive_roles = {QAccessible::PushButton, QAccessible::CheckBox,
    QAccessible::RadioButton, QAccessible::ComboBox, QAccessible::EditableText, QAccessible::SpinBox,
    QAccessible::Slider, QAccessible::Table, QAccessible::Tree, QAccessible::List, QAccessible::PageTab,
    QAccessible::MenuItem, QAccessible::Link, QAccessible::ButtonMenu, QAccessible::ButtonDropDown,
    QAccessible::ProgressBar};

// The unnamed interactive elements under `node`, as "role (object name)".
void unnamed_under(QAccessibleInterface* node, QStringList& found, int depth = 0)
{
    if (!node || depth > 40 || node->state().invisible)
        return;
    // A name that says nothing is empty or has no letter at all (a bare "0" on a grade button).
    if (interactive_roles.count(node->role()) && !node->text(QAccessible::Name).contains(QRegularExpression(QStringLiteral("\\p{L}")))) {
        const QObject* object = node->object();
        found << QStringLiteral("role %1 (%2 %3)").arg(node->role()).arg(
            object ? QString::fromLatin1(object->metaObject()->className()) : QString(), object ? object->objectName() : QString());
    }
    // A table's cells are its data, named by their texts; their number can be large.
    if (node->role() == QAccessible::Table || node->role() == QAccessible::Tree)
        return;
    for (int i = 0; i < node->childCount(); ++i)
        unnamed_under(node->child(i), found, depth + 1);
}

class Accessibility : public window_tour {};

TEST_F(Accessibility, EveryControlOfEveryWindowHasAName)
{
    fill_collection();
    tour([](QWidget* window, const QString& where) {
        QStringList unnamed;
        unnamed_under(QAccessible::queryAccessibleInterface(window), unnamed);
        EXPECT_TRUE(unnamed.isEmpty()) << where.toStdString() << ": " << unnamed.join(QStringLiteral(", ")).toStdString();
    });
}

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

// Tab into the overview tells the current row's sentence, not only the tree; Tab visits the
// controls as they stand on the screen (the overview on the left first, then from the top down
// and, in a row, from the left); the review screen's parts say what they are.
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
