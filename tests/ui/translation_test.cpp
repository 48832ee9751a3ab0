// The program in German: no English text in any window, menu, tooltip or message; German dates and numbers.
#include <QtCharts>

#include <cerrno>
#include <cstring>

#include "ui/program.h"
#include "ui_fixture.h"

namespace {

// Words of the English texts that German does not share; a text holding one is English.
const std::set<QString> english_words = {"the", "of", "and", "to", "is", "are", "item", "items", "review", "reviews",
    "due", "queue", "queued", "add", "new", "delete", "question", "answer", "file", "settings", "browse", "grade",
    "grades", "day", "days", "cancel", "close", "help", "undo", "exit", "skip", "stop", "search", "all", "with", "from",
    "category", "categories", "font", "size", "small", "big", "save", "restore", "backup", "show", "repetitions",
    "created", "next", "last", "keys", "forget", "move", "scheduled", "pending", "nothing", "yet", "share", "network",
    "retention", "weeks", "today", "yes", "no", "cut", "copy", "paste", "about", "random", "pick", "path", "type",
    "here", "key", "or", "first", "more", "separated", "column", "detect", "comma", "learning", "include", "waiting",
    "preview", "progress", "selection", "getting", "started", "data", "directory", "read", "only", "shows", "typeface",
    "overdue", "interval"};

// A text as compared: no mnemonic marks, no key after a tab, markup as its plain text.
QString normalized(QString text)
{
    if (text.contains(QLatin1Char('<')))
        text = QTextDocumentFragment::fromHtml(text).toPlainText();
    text = text.section(QLatin1Char('\t'), 0, 0);
    text.replace(QLatin1String("&&"), QLatin1String("\x01")).remove(QLatin1Char('&')).replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text.simplified();
}

// The English texts that German replaces (those it keeps, as "OK", are not English).
std::set<QString> replaced_sources()
{
    QFile file(qEnvironmentVariable("CARDWRIGHT_TEST_SOURCE_DIR") + QStringLiteral("/translations/cardwright_de.ts"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    std::set<QString> sources;
    QString source;
    for (QXmlStreamReader xml(&file); !xml.atEnd();) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const bool is_source = xml.name() == QLatin1String("source");
        if (!is_source && xml.name() != QLatin1String("translation") && xml.name() != QLatin1String("numerusform"))
            continue;
        const QString t = normalized(xml.readElementText(QXmlStreamReader::IncludeChildElements));
        if (is_source)
            source = t;
        else if (!t.isEmpty() && t != source && !source.isEmpty())
            sources.insert(source);
    }
    return sources;
}

std::vector<std::pair<QString, QString>> shown_texts(QWidget* window)
{
    std::vector<std::pair<QString, QString>> texts;
    auto add = [&texts](QObject* at, const QString& text) {
        if (!text.trimmed().isEmpty())
            texts.emplace_back(QString::fromLatin1(at->metaObject()->className()) + QLatin1Char(' ') + at->objectName(), text);
    };
    add(window, window->windowTitle());
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* widget : widgets) {
        if (!widget->isVisible())
            continue;
        // What a label, button, box or group shows; a line edit's own text is the user's.
        for (const char* shown : {"toolTip", "accessibleName", "accessibleDescription", "text", "placeholderText", "plainText", "title"})
            if (std::strcmp(shown, "text") != 0 || !qobject_cast<QLineEdit*>(widget))
                add(widget, widget->property(shown).toString());
        for (QAction* action : widget->actions())
            for (const QString& text : {action->text(), action->toolTip()})
                add(action, text);
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            for (int i = 0; i < combo->count(); ++i)
                add(widget, combo->itemText(i));
        if (auto* tabs = qobject_cast<QTabWidget*>(widget))
            for (int i = 0; i < tabs->count(); ++i)
                add(widget, tabs->tabText(i));
        if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->model()) {
            const QAbstractItemModel* model = view->model();
            for (int c = 0; c < model->columnCount(); ++c) {
                add(widget, model->headerData(c, Qt::Horizontal).toString());
                add(widget, model->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString());
                for (int r = 0; r < std::min(model->rowCount(), 20); ++r)
                    for (const int role : {Qt::DisplayRole, Qt::ToolTipRole, Qt::AccessibleTextRole})
                        add(widget, model->index(r, c).data(role).toString());
            }
        }
        if (auto* chart_view = qobject_cast<QChartView*>(widget)) {
            add(widget, chart_view->chart()->title());
            for (const QAbstractAxis* axis : chart_view->chart()->axes())
                add(widget, axis->titleText());
            for (const QAbstractSeries* series : chart_view->chart()->series())
                add(widget, series->name());
        }
    }
    return texts;
}

class German : public window_tour {
protected:
    void SetUp() override
    {
        before_ = QLocale();
        const QLocale german(QLocale::German, QLocale::Germany);
        QLocale::setDefault(german);
        translators_ = install_translations(german, {QFileInfo(QStringLiteral(CARDWRIGHT_PROGRAM)).path()});
        ASSERT_EQ(translators_.size(), 2u) << "the program's German translation or Qt's was not found";
        window_tour::SetUp();
    }
    void TearDown() override
    {
        window_tour::TearDown();
        translators_.clear();
        QLocale::setDefault(before_);
    }

    void expect_german(QWidget* window, const QString& where)
    {
        static const std::set<QString> sources = replaced_sources();
        ASSERT_GT(sources.size(), 200u);
        for (const auto& [at, raw] : shown_texts(window)) {
            // The test's folders in the status line are not the program's.
            const QString text = normalized(raw).remove(QString::fromStdString(home_->path()));
            EXPECT_FALSE(sources.count(text)) << where.toStdString() << ", " << at.toStdString() << ": \""
                                              << text.toStdString() << "\" is not translated";
            const QString words = QString(text).remove(QRegularExpression(QStringLiteral("[\\w-]+\\.(txt|bin|log)\\b")));
            for (const QString& word : words.toLower().split(QRegularExpression(QStringLiteral("[^a-z]+")), Qt::SkipEmptyParts))
                EXPECT_FALSE(english_words.count(word)) << where.toStdString() << ", " << at.toStdString() << ": \""
                                                        << text.toStdString() << "\" is English";
        }
    }
    void expect_german_messages()
    {
        for (const recorded_message& m : recorded_messages()) {
            QLabel shown(m.title + QLatin1Char('\n') + m.text);
            expect_german(&shown, QStringLiteral("message"));
        }
    }

private:
    QLocale before_;
    std::vector<std::unique_ptr<QTranslator>> translators_;
};

TEST_F(German, EveryWindowMenuAndMessageIsGermanWithItsControlsNamedAndDatesAndNumbersInGermanForm)
{
    expect_german(w, QStringLiteral("the welcome of an empty collection"));
    fill_collection();
    expect_unique_mnemonics(w->menuBar(), QStringLiteral("menu bar"));
    tour([this](QWidget* window, const QString& where) {
        expect_german(window, where);
        expect_named(window, where);
        if (qobject_cast<QMenu*>(window))
            expect_unique_mnemonics(window, where);
    });
    on_next_modal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); });
    key(Qt::Key_Insert);
    key(Qt::Key_3);
    key(Qt::Key_Escape);
    activate();
    QTest::keyClick(w, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_GE(recorded_messages().size(), 2u);
    expect_german_messages();
    // The tour's grade recalled a due review: 100 % retention.
    activate();
    browse([](browser_window* b) {
        QTableView* view = b->view(browse_kind::scheduled);
        ASSERT_EQ(view->model()->rowCount(), 2);
        const QRegularExpression german_date(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4}$"));
        for (int r = 0; r < 2; ++r) {
            EXPECT_TRUE(german_date.match(cell(view, r, column_next_date)).hasMatch());
            EXPECT_TRUE(cell(view, r, column_due).contains(QStringLiteral(" Tag")));
        }
    });
    in_next_dialog("statistics", [](QWidget* dialog, const QString&) {
        const auto* retention = dialog->findChild<QLabel*>(QStringLiteral("recent_retention"));
        EXPECT_TRUE(retention && retention->text().contains(QStringLiteral("100,0 %")));
    }, [&] { QTest::keyClick(w, Qt::Key_T, Qt::ControlModifier); });
}

// The library's codes reach the user in German: import problems and a failed save.
TEST_F(German, ImportProblemsAndAFailedSaveAreToldInGerman)
{
    const std::string bad = home_->path() + "bad.txt";
    write_file(bad, "Hund\tdog\n\tno question\nKatze\t\n");
    const std::string broken = home_->path() + "broken.txt";
    write_file(broken, "q\ta\n\"never closed\tx\n");
    in_dialog("import_action", "import_path", bad, [](QWidget* d) { QTest::mouseClick(child<QPushButton>(d, "import_button"), Qt::LeftButton); });
    in_dialog("import_action", "import_path", broken, [](QWidget* dialog) {
        EXPECT_EQ(child<QLabel>(dialog, "import_status")->text(),
            QStringLiteral("Zeile 2: Ein Feld in Anführungszeichen wird vor dem Ende der Datei nicht geschlossen"));
        EXPECT_FALSE(child<QPushButton>(dialog, "import_button")->isEnabled());
    });

    fail_file_operations({{.op = file_op::write, .path_part = data_dir() + "queue.txt.tmp-", .error = ENOSPC}});
    message_answers() = {message_answer::discard};
    activate();
    QTest::keyClick(w, Qt::Key_Q, Qt::ControlModifier);
    fail_file_operations({});
    ASSERT_EQ(recorded_messages().size(), 2u);
    EXPECT_EQ(recorded_messages()[0].text,
        QStringLiteral("Hinzugef\u00fcgt: 1\nDoppelte \u00fcbersprungen: 0\nMediendateien kopiert: 0\nProbleme: 2\n"
                       "Zeile 2: keine Frage; ausgelassen\nZeile 3: keine Antwort; ausgelassen"));
    for (const QString& part : {default_dir() + "queue.txt", QStringLiteral("Kein Platz mehr auf dem Ger\u00e4t")})
        EXPECT_TRUE(told(2, 1, {}, part));
    expect_german_messages();
}

TEST(EnglishPlurals, ALocaleWithoutATranslationOfItsOwnCountsInEnglish)
{
    const auto translators = install_translations(QLocale::c(), {QFileInfo(QStringLiteral(CARDWRIGHT_PROGRAM)).path()});
    for (const auto& [n, text] : {std::pair{1, "1 item written to %1."}, {2, "2 items written to %1."}})
        EXPECT_EQ(QCoreApplication::translate("exchange_dialogs", "%n items written to %1.", nullptr, n), QLatin1String(text));
}

}  // namespace
