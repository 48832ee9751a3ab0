// The export dialog offers a file name and keeps the name's extension and the form in step.
#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QLineEdit>

#include "ui_fixture.h"

namespace {

class ExportName : public ui_test {
protected:
    temp_dir files;
};

TEST_F(ExportName, AProposedNameAndTheFormFollowingTheExtension)
{
    add_item("frage", "antwort", 0, 3);
    const QString typed = QString::fromStdString(files.file("cards.xml"));
    on_next_modal([&](QWidget* dialog) {
        // A failed check leaves the inner function only: the dialog still goes.
        [&] {
            auto* path = dialog->findChild<QLineEdit*>(QStringLiteral("export_path"));
            auto* format = dialog->findChild<QComboBox*>(QStringLiteral("format_combo"));
            // Offscreen, the dialog may be made active a moment after it opens.
            ASSERT_TRUE(QTest::qWaitFor([path] { return QApplication::focusWidget() == path; }));
            EXPECT_TRUE(path->text().endsWith(
                QStringLiteral("/cardwrightdb-%1.txt").arg(QDate::currentDate().toString(Qt::ISODate))))
                << path->text().toStdString();
            EXPECT_EQ(path->selectedText(), path->text());
            // Typing replaces the offer; ".xml" chooses the XML form.
            QTest::keyClicks(path, typed);
            EXPECT_EQ(path->text(), typed);
            EXPECT_EQ(format->currentIndex(), 1);
            // The text form chosen by keys gives the name its extension; back to XML for the export.
            for (int i = 0; i < 2; ++i)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            ASSERT_EQ(QApplication::focusWidget(), format);
            QTest::keyClick(format, Qt::Key_Up);
            EXPECT_EQ(path->text(), QString::fromStdString(files.file("cards.txt")));
            QTest::keyClick(format, Qt::Key_Down);
            EXPECT_EQ(path->text(), typed);
            QTest::keyClick(format, Qt::Key_Return);
        }();
        if (dialog->isVisible())
            static_cast<QDialog*>(dialog)->reject();
    });
    press(Qt::Key_E, Qt::ControlModifier);
    ASSERT_EQ(recorded_messages().size(), 1u);
    EXPECT_NE(read_file(typed.toStdString()).find("<q>frage</q>"), std::string::npos);
}

}  // namespace
