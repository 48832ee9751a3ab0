#include "ui/help_page.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

struct key_line {
    const char* keys;
    const char* action;
};

// The keys as the window handles them; the menus show the same.
constexpr key_line key_lines[] = {
    {"Return or Space", "Main screen: go through the scheduled reviews. Review: show the answer."},
    {"0 to 5", "Grade the answer once it is shown. Add screen: add the item with that grade."},
    {"Ctrl+0 to Ctrl+5", "The same from a box you are typing in."},
    {"Ctrl+Return", "Show the answer from a box you are typing in. Add screen: add with the last grade used."},
    {"Insert", "Main screen: add new items."},
    {"Ctrl+U", "Main screen: add items from the queue."},
    {"Ctrl+F", "Main screen: force reviews of items not yet due."},
    {"Ctrl+N", "Skip the item shown."},
    {"Delete", "Delete the item shown (asks first; No is the default)."},
    {"Ctrl+R", "Play the sounds of the side shown again."},
    {"Escape", "End typing in a box; again: back to the main screen."},
    {"Tab, Shift+Tab", "Add screen: go from one box to the other."},
    {"Click into a box", "Edit the item's text; its formatting tags are shown while you edit."},
    {"Double click", "Open the item's picture in the picture viewer."},
    {"Right click or hold", "On a box: its menu. On a review button: choose the categories first."},
    {"F1", "This page."},
    {"Alt+/", "About."},
    {"Ctrl+Q or Alt+F4", "Exit; everything is saved."},
};

}  // namespace

QString grade_meaning(int grade)
{
    switch (grade) {
    case 0:
    case 1:
        return QStringLiteral("Grade %1: forgotten").arg(grade);
    case 2:
    case 3:
        return QStringLiteral("Grade %1: recalled with difficulty").arg(grade);
    case 4:
        return QStringLiteral("Grade 4: recalled, the interval was right");
    case 5:
        return QStringLiteral("Grade 5: easy, the interval could be longer");
    default:
        return QString();
    }
}

help_page::help_page(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Keys and Grades"));
    setObjectName(QStringLiteral("help_page"));
    // The grades first: only grade 5 lengthens the intervals, which a new user must learn.
    QString html = QStringLiteral("<h3>Grades</h3><table cellspacing=\"0\" cellpadding=\"3\">");
    for (int grade = 0; grade <= 5; ++grade)
        html += QStringLiteral("<tr><td>%1</td></tr>").arg(grade_meaning(grade).toHtmlEscaped());
    html += QStringLiteral(
        "</table><p>The next interval is chosen from your grades. Only grade 5 tells the scheduler that "
        "the interval could be longer; give it whenever the answer came easily, or the intervals stay "
        "short.</p><h3>Keys</h3><table cellspacing=\"0\" cellpadding=\"3\">");
    for (const key_line& line : key_lines)
        html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>")
                    .arg(QString::fromUtf8(line.keys).toHtmlEscaped(), QString::fromUtf8(line.action).toHtmlEscaped());
    html += QStringLiteral("</table>");
    auto* text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("help_text"));
    text->setHtml(html);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(540, 720);
}
