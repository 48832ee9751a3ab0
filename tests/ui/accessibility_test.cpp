// What a screen reader gets: every control of every window has a name that says what it is,
// through the same accessibility interfaces the desktop's screen reader reads.
#include <QAccessible>
#include <QRegularExpression>
#include <QTreeWidget>

#include <set>

#include "ui/overview_panel.h"
#include "window_tour.h"

namespace {

// The roles of what a user acts on; these must be named.
const std::set<QAccessible::Role> interactive_roles = {QAccessible::PushButton, QAccessible::CheckBox,
    QAccessible::RadioButton, QAccessible::ComboBox, QAccessible::EditableText, QAccessible::SpinBox,
    QAccessible::Slider, QAccessible::Table, QAccessible::Tree, QAccessible::List, QAccessible::PageTab,
    QAccessible::MenuItem, QAccessible::Link, QAccessible::ButtonMenu, QAccessible::ButtonDropDown,
    QAccessible::ProgressBar};

// Names that say nothing: empty, or no letter at all (a bare "0" on a grade button).
bool says_nothing(const QString& name) { return !name.contains(QRegularExpression(QStringLiteral("\\p{L}"))); }

// The unnamed interactive elements under `node`, as "role (object name)".
void unnamed_under(QAccessibleInterface* node, QStringList& found, int depth = 0)
{
    if (!node || depth > 40 || node->state().invisible)
        return;
    if (interactive_roles.count(node->role()) && says_nothing(node->text(QAccessible::Name))) {
        const QObject* object = node->object();
        found << QStringLiteral("role %1 (%2 %3)")
                     .arg(node->role())
                     .arg(object ? QString::fromLatin1(object->metaObject()->className()) : QString(),
                         object ? object->objectName() : QString());
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

TEST_F(Accessibility, GradesBoxesAndCategoriesSayWhatTheyAre)
{
    fill_collection();
    key(Qt::Key_Return);
    key(Qt::Key_Return);
    for (int grade = 0; grade <= 5; ++grade) {
        QAccessibleInterface* button = QAccessible::queryAccessibleInterface(w->grade_buttons[grade]);
        EXPECT_EQ(button->text(QAccessible::Name), QStringLiteral("Grade %1").arg(grade));
        EXPECT_FALSE(button->text(QAccessible::Description).isEmpty()) << grade;
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w->question_box)->text(QAccessible::Name), QStringLiteral("Question"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w->answer_box)->text(QAccessible::Name), QStringLiteral("Answer"));
    key(Qt::Key_Escape);

    // The overview's row reads as one sentence with the category's counts.
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(w->overview->tree());
    QStringList rows;
    for (int i = 0; i < tree->childCount(); ++i)
        rows << tree->child(i)->text(QAccessible::Name);
    EXPECT_TRUE(rows.contains(QStringLiteral("Deutsch: 1 due, 1 queued, 2 items"))) << rows.join(QLatin1Char('|')).toStdString();
}

// Tab visits the controls of the review screen as they stand on it: the boxes from the top,
// then the buttons of the bottom row from the left.
TEST_F(Accessibility, TabFollowsTheReviewScreenFromTopToBottomAndLeftToRight)
{
    fill_collection();
    key(Qt::Key_Return);
    key(Qt::Key_Return);
    client()->setFocus();
    std::vector<QWidget*> visited;
    for (int step = 0; step < 12; ++step) {
        QWidget* focus = QApplication::focusWidget();
        if (std::find(visited.begin(), visited.end(), focus) != visited.end())
            break;
        visited.push_back(focus);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    ASSERT_GE(visited.size(), 7u);
    for (size_t i = 1; i < visited.size(); ++i) {
        const QPoint a = visited[i - 1]->mapTo(w, QPoint(0, 0));
        const QPoint b = visited[i]->mapTo(w, QPoint(0, 0));
        EXPECT_TRUE(b.y() > a.y() || (b.y() == a.y() && b.x() >= a.x()))
            << visited[i - 1]->objectName().toStdString() << " before " << visited[i]->objectName().toStdString();
    }
}

}  // namespace
