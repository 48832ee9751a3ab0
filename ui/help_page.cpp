#include "ui/help_page.h"

#include <QCoreApplication>
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
    {QT_TRANSLATE_NOOP("help_page", "Return or Space"), QT_TRANSLATE_NOOP("help_page", "Main screen: go through the scheduled reviews. Review: show the answer.")},
    {QT_TRANSLATE_NOOP("help_page", "0 to 5"), QT_TRANSLATE_NOOP("help_page", "Grade the answer once it is shown. Add screen: add the item with that grade.")},
    {QT_TRANSLATE_NOOP("help_page", "Ctrl+0 to Ctrl+5"), QT_TRANSLATE_NOOP("help_page", "The same from a box you are typing in.")},
    {QT_TRANSLATE_NOOP("help_page", "Ctrl+Return"), QT_TRANSLATE_NOOP("help_page", "Show the answer from a box you are typing in. Add screen: add with the last grade used.")},
    {QT_TRANSLATE_NOOP("help_page", "Insert"), QT_TRANSLATE_NOOP("help_page", "Main screen: add new items.")},
    {QT_TRANSLATE_NOOP("help_page", "Ctrl+U"), QT_TRANSLATE_NOOP("help_page", "Main screen: add items from the queue.")},
    {QT_TRANSLATE_NOOP("help_page", "Ctrl+F"), QT_TRANSLATE_NOOP("help_page", "Main screen: force reviews of items not yet due.")},
    {QT_TRANSLATE_NOOP("help_page", "Ctrl+N"), QT_TRANSLATE_NOOP("help_page", "Skip the item shown.")},
    {QT_TRANSLATE_NOOP("help_page", "Delete"), QT_TRANSLATE_NOOP("help_page", "Delete the item shown (asks first; No is the default).")},
    {QT_TRANSLATE_NOOP("help_page", "Ctrl+R"), QT_TRANSLATE_NOOP("help_page", "Play the sounds of the side shown again.")},
    {QT_TRANSLATE_NOOP("help_page", "Escape"), QT_TRANSLATE_NOOP("help_page", "End typing in a box; again: back to the main screen.")},
    {QT_TRANSLATE_NOOP("help_page", "Tab, Shift+Tab"), QT_TRANSLATE_NOOP("help_page", "Add screen: go from one box to the other.")},
    {QT_TRANSLATE_NOOP("help_page", "Click into a box"), QT_TRANSLATE_NOOP("help_page", "Edit the item's text; its formatting tags are shown while you edit.")},
    {QT_TRANSLATE_NOOP("help_page", "Double click"), QT_TRANSLATE_NOOP("help_page", "Open the item's picture in the picture viewer.")},
    {QT_TRANSLATE_NOOP("help_page", "Right click or hold"), QT_TRANSLATE_NOOP("help_page", "On a box: its menu. On a review button: choose the categories first.")},
    {QT_TRANSLATE_NOOP("help_page", "F1"), QT_TRANSLATE_NOOP("help_page", "This page.")},
    {QT_TRANSLATE_NOOP("help_page", "Alt+/"), QT_TRANSLATE_NOOP("help_page", "About.")},
    {QT_TRANSLATE_NOOP("help_page", "Ctrl+Q or Alt+F4"), QT_TRANSLATE_NOOP("help_page", "Exit; everything is saved.")},
};

}  // namespace

QString grade_meaning(int grade)
{
    switch (grade) {
    case 0:
    case 1:
        return QCoreApplication::translate("help_page", "Grade %1: forgotten").arg(grade);
    case 2:
        // A 2 is scheduled as a lapse: calling it a recall would send hard recalls back today.
        return QCoreApplication::translate("help_page", "Grade 2: forgotten, though the answer was familiar");
    case 3:
        return QCoreApplication::translate("help_page", "Grade %1: recalled with difficulty").arg(grade);
    case 4:
        return QCoreApplication::translate("help_page", "Grade 4: recalled, the interval was right");
    case 5:
        return QCoreApplication::translate("help_page", "Grade 5: easy, the interval could be longer");
    default:
        return QString();
    }
}

help_page::help_page(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Keys and Grades"));
    setObjectName(QStringLiteral("help_page"));
    // The grades first: only grade 5 lengthens the intervals, which a new user must learn.
    QString html = QStringLiteral("<h3>%1</h3><table cellspacing=\"0\" cellpadding=\"3\">").arg(tr("Grades"));
    for (int grade = 0; grade <= 5; ++grade)
        html += QStringLiteral("<tr><td>%1</td></tr>").arg(grade_meaning(grade).toHtmlEscaped());
    html += QStringLiteral("</table><p>%1 %2</p><h3>%3</h3><table cellspacing=\"0\" cellpadding=\"3\">")
                .arg(tr("Grades 0 to 2 count as forgotten: the item comes back the same day."),
                    tr("The next interval is chosen from your grades. Only grade 5 tells the scheduler that the "
                        "interval could be longer; give it whenever the answer came easily, or the intervals stay "
                        "short."),
                    tr("Keys"));
    for (const key_line& line : key_lines)
        html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>")
                    .arg(tr(line.keys).toHtmlEscaped(), tr(line.action).toHtmlEscaped());
    html += QStringLiteral("</table>");
    auto* text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("help_text"));
    text->setAccessibleName(windowTitle());
    text->setHtml(html);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(540, 720);
}
