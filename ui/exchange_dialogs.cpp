#include "ui/exchange_dialogs.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QStandardPaths>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "exchange/column_names.h"
#include "exchange/export.h"
#include "exchange/export_naming.h"
#include "exchange/package_import.h"
#include "exchange/text_import.h"
#include "services/paths.h"
#include "settings/settings_store.h"
#include "ui/problem_texts.h"
#include "ui/window_state.h"

namespace {

constexpr int preview_rows = 10;
constexpr int problems_shown = 10;

bool is_package(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QStringLiteral("apkg") || suffix == QStringLiteral("colpkg");
}

QString summary_text(const import_summary& s)
{
    const QLocale locale;
    QString text = QCoreApplication::translate("exchange_dialogs", "Added: %1\nDuplicates skipped: %2\nMedia copied: %3\nProblems: %4")
                       .arg(locale.toString(s.added), locale.toString(s.duplicates), locale.toString(s.media_copied),
                           locale.toString(static_cast<qulonglong>(s.problems.size() + s.problems_not_listed)));
    for (size_t i = 0; i < s.problems.size() && i < problems_shown; ++i)
        text += QStringLiteral("\n") + problem_texts::exchange(s.problems[i]);
    const size_t listed = std::min(s.problems.size(), static_cast<size_t>(problems_shown));
    const size_t more = s.problems.size() + s.problems_not_listed - listed;
    if (more > 0)
        text += QCoreApplication::translate("exchange_dialogs", "\n... and %1 more").arg(locale.toString(static_cast<qulonglong>(more)));
    return text;
}

class import_dialog : public QDialog {
public:
    explicit import_dialog(QWidget* owner) : QDialog(owner)
    {
        setWindowTitle(QCoreApplication::translate("exchange_dialogs", "Import"));
        setObjectName(QStringLiteral("import_dialog"));
        auto* layout = new QVBoxLayout(this);

        auto* file_row = new QHBoxLayout;
        path = new QLineEdit(this);
        path->setObjectName(QStringLiteral("import_path"));
        path->setPlaceholderText(QCoreApplication::translate("exchange_dialogs", "A text file (.txt, .csv) or a package (.apkg, .colpkg)"));
        path->setAccessibleName(QCoreApplication::translate("exchange_dialogs", "File to import"));
        auto* browse = new QPushButton(QCoreApplication::translate("exchange_dialogs", "&Browse..."), this);
        browse->setAutoDefault(false);
        file_row->addWidget(path);
        file_row->addWidget(browse);

        // Every row has its Alt key.
        auto* form = new QFormLayout;
        form->addRow(QCoreApplication::translate("exchange_dialogs", "&File:"), file_row);
        qobject_cast<QLabel*>(form->labelForField(file_row))->setBuddy(path);
        separator = new QComboBox(this);
        separator->setObjectName(QStringLiteral("separator_combo"));
        separator->addItems({QCoreApplication::translate("exchange_dialogs", "Detect"), QCoreApplication::translate("exchange_dialogs", "Tab"), QCoreApplication::translate("exchange_dialogs", "Comma"),
            QCoreApplication::translate("exchange_dialogs", "Semicolon")});
        form->addRow(QCoreApplication::translate("exchange_dialogs", "Fields &separated by:"), separator);
        header = new QCheckBox(QCoreApplication::translate("exchange_dialogs", "The first &row names the columns"), this);
        header->setObjectName(QStringLiteral("header_check"));
        form->addRow(header);
        question = column_combo("question_column", false);
        answer = column_combo("answer_column", false);
        category = column_combo("category_column", true);
        form->addRow(QCoreApplication::translate("exchange_dialogs", "&Question:"), question);
        form->addRow(QCoreApplication::translate("exchange_dialogs", "&Answer:"), answer);
        form->addRow(QCoreApplication::translate("exchange_dialogs", "&Category:"), category);
        target = new QComboBox(this);
        target->setObjectName(QStringLiteral("target_combo"));
        target->addItems({QCoreApplication::translate("exchange_dialogs", "Into the queue"), QCoreApplication::translate("exchange_dialogs", "Straight into learning")});
        form->addRow(QCoreApplication::translate("exchange_dialogs", "&New items go:"), target);
        scheduling = new QCheckBox(QCoreApplication::translate("exchange_dialogs", "&Keep the cards' scheduling (new cards go to the queue)"), this);
        scheduling->setObjectName(QStringLiteral("scheduling_check"));
        form->addRow(scheduling);
        layout->addLayout(form);

        preview = new QTableWidget(this);
        preview->setObjectName(QStringLiteral("preview_table"));
        preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
        preview->setAccessibleName(QCoreApplication::translate("exchange_dialogs", "Preview"));
        layout->addWidget(preview);
        status = new QLabel(this);
        status->setObjectName(QStringLiteral("import_status"));
        status->setWordWrap(true);
        layout->addWidget(status);
        progress = new QProgressBar(this);
        progress->setObjectName(QStringLiteral("import_progress"));
        progress->setRange(0, 100);
        progress->setAccessibleName(QCoreApplication::translate("exchange_dialogs", "Progress"));
        progress->setValue(0);
        layout->addWidget(progress);

        auto* buttons = new QDialogButtonBox(this);
        import_button = buttons->addButton(QCoreApplication::translate("exchange_dialogs", "&Import"), QDialogButtonBox::AcceptRole);
        import_button->setObjectName(QStringLiteral("import_button"));
        buttons->addButton(QDialogButtonBox::Cancel);
        layout->addWidget(buttons);

        connect(browse, &QPushButton::clicked, this, [this] {
            const QString chosen = QFileDialog::getOpenFileName(this, QCoreApplication::translate("exchange_dialogs", "Import"), QString(),
                QCoreApplication::translate("exchange_dialogs", "Cards (*.txt *.csv *.tsv *.apkg *.colpkg);;All files (*)"));
            if (!chosen.isEmpty())
                path->setText(chosen);
        });
        connect(path, &QLineEdit::textChanged, this, [this] { refresh(); });
        connect(separator, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
        connect(header, &QCheckBox::toggled, this, [this] { refresh(); });
        connect(import_button, &QPushButton::clicked, this, [this] { run(); });
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        refresh();
        resize(560, 520);
    }

    int added = -1;

private:
    QComboBox* column_combo(const char* name, bool with_none)
    {
        auto* combo = new QComboBox(this);
        combo->setObjectName(QLatin1String(name));
        combo->setProperty("with_none", with_none);
        return combo;
    }

    text_import_options text_options() const
    {
        text_import_options o;
        o.separator = static_cast<text_separator>(separator->currentIndex());
        o.header_row = header->isChecked();
        const int none = 1;
        o.columns = column_mapping{question->currentIndex(), answer->currentIndex(),
            category->currentIndex() < none ? no_column : category->currentIndex() - none};
        o.target = target->currentIndex() == 1 ? import_target::learning : import_target::queue;
        return o;
    }

    void fill_columns(size_t count, const std::vector<std::string>& names, const column_mapping& guess)
    {
        for (QComboBox* combo : {question, answer, category}) {
            const QSignalBlocker quiet(combo);
            combo->clear();
            if (combo->property("with_none").toBool())
                combo->addItem(QCoreApplication::translate("exchange_dialogs", "None (the first category)"));
            for (size_t c = 0; c < count; ++c) {
                QString label = QCoreApplication::translate("exchange_dialogs", "Column %1").arg(c + 1);
                if (c < names.size() && !names[c].empty())
                    label += QStringLiteral(": ") + QString::fromStdString(names[c]);
                combo->addItem(label);
            }
        }
        question->setCurrentIndex(std::min<int>(guess.question, question->count() - 1));
        answer->setCurrentIndex(std::min<int>(guess.answer, answer->count() - 1));
        category->setCurrentIndex(guess.category == no_column ? 0 : std::min<int>(guess.category + 1, category->count() - 1));
    }

    void refresh()
    {
        const QString file = path->text().trimmed();
        const bool package = is_package(file);
        for (QWidget* text_only : std::initializer_list<QWidget*>{separator, header, question, answer, category})
            text_only->setEnabled(!package);
        scheduling->setEnabled(package);
        target->setEnabled(!package);
        preview->clear();
        preview->setRowCount(0);
        preview->setColumnCount(0);
        import_button->setEnabled(!file.isEmpty() && QFileInfo(file).isFile());
        if (file.isEmpty() || !QFileInfo(file).isFile()) {
            status->setText(file.isEmpty() ? QString() : QCoreApplication::translate("exchange_dialogs", "There is no file of that name."));
            return;
        }
        if (package) {
            show_package(file);
            return;
        }
        text_table table = read_text_table(file.toStdString(),
            static_cast<text_separator>(separator->currentIndex()), preview_rows + 1);
        if (!table.read) {
            status->setText(problem_texts::exchange(table.error));
            import_button->setEnabled(false);
            return;
        }
        if (file != proposed_for_) {
            // A new file: its first row is taken for names when it looks like them; the user's
            // later choice stands until another file is chosen.
            proposed_for_ = file;
            const QSignalBlocker quiet(header);
            header->setChecked(propose_columns(table).header_row);
        }
        std::vector<std::string> names = table.column_names;
        size_t first = 0;
        if (header->isChecked() && !table.rows.empty()) {
            if (names.empty())
                names = table.rows[0];
            first = 1;
        }
        size_t columns = names.size();
        for (const auto& row : table.rows)
            columns = std::max(columns, row.size());
        fill_columns(std::max<size_t>(columns, 2), names, guess_columns(names, table.category_column, table.other_columns));
        preview->setColumnCount(static_cast<int>(columns));
        preview->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        QStringList labels;
        for (size_t c = 0; c < columns; ++c)
            labels << (c < names.size() && !names[c].empty() ? QString::fromStdString(names[c])
                                                              : QCoreApplication::translate("exchange_dialogs", "Column %1").arg(c + 1));
        preview->setHorizontalHeaderLabels(labels);
        const size_t shown = std::min<size_t>(table.rows.size() - first, preview_rows);
        preview->setRowCount(static_cast<int>(shown));
        // Rows are numbered by their line in the file, as the import's problems name them.
        QStringList lines;
        for (size_t r = 0; r < shown; ++r) {
            lines << (first + r < table.row_lines.size() ? QString::number(table.row_lines[first + r]) : QString());
            for (size_t c = 0; c < table.rows[first + r].size(); ++c)
                preview->setItem(static_cast<int>(r), static_cast<int>(c),
                    new QTableWidgetItem(QString::fromStdString(table.rows[first + r][c])));
        }
        preview->setVerticalHeaderLabels(lines);
        const char* separator_name = table.separator == '\t' ? QT_TRANSLATE_NOOP("exchange_dialogs", "tab")
            : table.separator == ','                         ? QT_TRANSLATE_NOOP("exchange_dialogs", "comma")
            : table.separator == ';'                         ? QT_TRANSLATE_NOOP("exchange_dialogs", "semicolon")
                                                             : QT_TRANSLATE_NOOP("exchange_dialogs", "other");
        status->setText(QCoreApplication::translate("exchange_dialogs", "Fields separated by %1%2.")
                            .arg(QCoreApplication::translate("exchange_dialogs", separator_name))
                            .arg(table.html.value_or(false) ? QCoreApplication::translate("exchange_dialogs", "; the fields are HTML") : QString())
            + (table.encoding == text_encoding::windows_1252
                    ? QStringLiteral(" ") + QCoreApplication::translate("exchange_dialogs", "The file is not UTF-8: it is read as Western European (Windows-1252).")
                    : QString()));
    }

    // The package's decks with their notes in the preview, in place of the text columns.
    void show_package(const QString& file)
    {
        const package_contents contents = read_package_contents(file.toStdString());
        if (!contents.read) {
            status->setText(problem_texts::exchange(contents.error));
            import_button->setEnabled(false);
            return;
        }
        preview->setColumnCount(2);
        preview->setHorizontalHeaderLabels({QCoreApplication::translate("exchange_dialogs", "Deck"), QCoreApplication::translate("exchange_dialogs", "Notes")});
        preview->setRowCount(static_cast<int>(contents.decks.size()));
        for (size_t r = 0; r < contents.decks.size(); ++r) {
            const package_deck& d = contents.decks[r];
            preview->setItem(static_cast<int>(r), 0,
                new QTableWidgetItem(d.name.empty() ? QCoreApplication::translate("exchange_dialogs", "(no deck: the first category)")
                                                    : QString::fromStdString(d.name)));
            auto* notes = new QTableWidgetItem(QString::number(d.notes));
            notes->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            preview->setItem(static_cast<int>(r), 1, notes);
        }
        preview->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
        preview->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        status->setText(QCoreApplication::translate("exchange_dialogs", "A package of %1 notes in %2 decks: each note's first field becomes the question, "
                                   "its second the answer, its deck the category.")
                            .arg(contents.notes)
                            .arg(contents.decks.size()));
    }

    void run()
    {
        const QString file = path->text().trimmed();
        QElapsedTimer since_drawn;
        since_drawn.start();
        const auto report = [this, &since_drawn](size_t done, size_t total) {
            // A few times a second is enough to see it move; a redraw at each report cost the
            // import of a large package a fifth of its time.
            if (since_drawn.elapsed() < 40 && done < total)
                return;
            since_drawn.restart();
            progress->setValue(total == 0 ? 100 : static_cast<int>(done * 100 / total));
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        };
        import_button->setEnabled(false);
        import_summary s;
        if (is_package(file)) {
            package_import_options o;
            o.keep_scheduling = scheduling->isChecked();
            o.progress = report;
            s = import_package(file.toStdString(), o);
        } else {
            text_import_options o = text_options();
            o.progress = report;
            s = import_text_file(file.toStdString(), o);
        }
        import_button->setEnabled(true);
        if (!s.done) {
            show_failure(this, QCoreApplication::translate("exchange_dialogs", "Import Failed"),
                QCoreApplication::translate("exchange_dialogs", "Nothing was imported: %1").arg(problem_texts::exchange(s.error)));
            return;
        }
        progress->setValue(100);
        show_message(this, QCoreApplication::translate("exchange_dialogs", "Import"), summary_text(s));
        added = static_cast<int>(s.added);
        accept();
    }

    QLineEdit* path;
    QComboBox* separator;
    QCheckBox* header;
    QComboBox* question;
    QComboBox* answer;
    QComboBox* category;
    QComboBox* target;
    QCheckBox* scheduling;
    QTableWidget* preview;
    QLabel* status;
    QProgressBar* progress;
    QPushButton* import_button;
    QString proposed_for_;  // the file whose header row was last looked at
};

class export_dialog : public QDialog {
public:
    explicit export_dialog(QWidget* owner) : QDialog(owner)
    {
        setWindowTitle(QCoreApplication::translate("exchange_dialogs", "Export"));
        setObjectName(QStringLiteral("export_dialog"));
        auto* layout = new QVBoxLayout(this);
        // Labelled rows with their Alt keys, as in the import dialog.
        auto* form = new QFormLayout;
        auto* file_row = new QHBoxLayout;
        path = new QLineEdit(this);
        path->setObjectName(QStringLiteral("export_path"));
        path->setAccessibleName(QCoreApplication::translate("exchange_dialogs", "File to write"));
        auto* browse = new QPushButton(QCoreApplication::translate("exchange_dialogs", "&Browse..."), this);
        browse->setAutoDefault(false);
        file_row->addWidget(path);
        file_row->addWidget(browse);
        form->addRow(QCoreApplication::translate("exchange_dialogs", "&File:"), file_row);
        qobject_cast<QLabel*>(form->labelForField(file_row))->setBuddy(path);
        format = new QComboBox(this);
        format->setObjectName(QStringLiteral("format_combo"));
        format->setAccessibleName(QCoreApplication::translate("exchange_dialogs", "Format"));
        format->addItems({QCoreApplication::translate("exchange_dialogs", "Text, tab-separated, with categories"),
            QCoreApplication::translate("exchange_dialogs", "XML database, with all scheduling")});
        form->addRow(QCoreApplication::translate("exchange_dialogs", "F&ormat:"), format);
        layout->addLayout(form);
        with_queue = new QCheckBox(QCoreApplication::translate("exchange_dialogs", "&Include the items waiting in the queue"), this);
        with_queue->setObjectName(QStringLiteral("queue_check"));
        layout->addWidget(with_queue);
        auto* buttons = new QDialogButtonBox(this);
        QPushButton* go = buttons->addButton(QCoreApplication::translate("exchange_dialogs", "&Export"), QDialogButtonBox::AcceptRole);
        go->setObjectName(QStringLiteral("export_button"));
        buttons->addButton(QDialogButtonBox::Cancel);
        layout->addWidget(buttons);
        // A name to start from, selected so that typing replaces it.
        path->setText(proposed_path());
        path->selectAll();
        // Wide enough to show the whole offer, as far as a usual screen allows.
        path->setMinimumWidth(std::min(path->fontMetrics().horizontalAdvance(path->text()) + 24, 640));
        connect(browse, &QPushButton::clicked, this, [this] {
            const QString filters[] = {QCoreApplication::translate("exchange_dialogs", "Text (*.txt *.tsv *.csv)"), QCoreApplication::translate("exchange_dialogs", "XML (*.xml)")};
            QString filter = filters[format->currentIndex()];
            const QString chosen = QFileDialog::getSaveFileName(
                this, QCoreApplication::translate("exchange_dialogs", "Export"), path->text(), filters[0] + QStringLiteral(";;") + filters[1], &filter);
            if (!chosen.isEmpty()) {
                path->setText(chosen);
                // The file dialog has asked already whether to replace it.
                replace_confirmed = chosen;
            }
        });
        // The name's extension chooses the form, and the form the extension.
        connect(path, &QLineEdit::textChanged, this, [this](const QString& typed) {
            if (const auto asked = export_format_of(typed.trimmed().toStdString())) {
                const QSignalBlocker quiet(format);
                format->setCurrentIndex(*asked == export_format::xml ? 1 : 0);
                with_queue->setEnabled(*asked == export_format::text);
            }
        });
        connect(format, &QComboBox::currentIndexChanged, this, [this](int i) {
            with_queue->setEnabled(i == 0);
            const QString named = QString::fromStdString(
                with_export_extension(path->text().trimmed().toStdString(), i == 1 ? export_format::xml : export_format::text));
            if (named != path->text().trimmed()) {
                const QSignalBlocker quiet(path);
                path->setText(named);
            }
        });
        connect(go, &QPushButton::clicked, this, [this] { run(); });
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    }

    bool written = false;

private:
    // The documents folder, or the home folder where there is none.
    static QString offered_folder()
    {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return folder.isEmpty() || !QFileInfo(folder).isDir() ? QDir::homePath() : folder;
    }

    // In the offered folder, named after the data directory and today.
    static QString proposed_path()
    {
        const QString collection = QDir(QString::fromUtf8(data_path(""))).dirName();
        return QDir(offered_folder()).filePath(QString::fromStdString(proposed_export_name(collection.toStdString(),
            QDate::currentDate().toString(Qt::ISODate).toStdString(), export_format::text)));
    }

    void run()
    {
        const QString typed = path->text().trimmed();
        if (typed.isEmpty()) {
            show_message(this, QCoreApplication::translate("exchange_dialogs", "Export"), QCoreApplication::translate("exchange_dialogs", "Please name the file to write."));
            return;
        }
        // A name without a folder goes where the offer was, not into the folder the program was
        // started from, which the user does not know.
        const QString target = expand_typed_path(typed, offered_folder());
        if (target != typed) {
            const QSignalBlocker quiet(path);
            path->setText(target);
        }
        // A name typed over the offer may be that of a file the user wants to keep.
        if (target != replace_confirmed && QFileInfo(target).isFile()
            && show_message(this, QCoreApplication::translate("exchange_dialogs", "Export"),
                   QCoreApplication::translate("exchange_dialogs", "%1 already exists.\n\nReplace it?").arg(target),
                   message_buttons::yes_no)
                != message_answer::yes)
            return;
        const std::string file = target.toStdString();
        const export_result r = format->currentIndex() == 0 ? export_text_file(file, with_queue->isChecked())
                                                            : export_xml(file);
        if (!r.done) {
            show_failure(this, QCoreApplication::translate("exchange_dialogs", "Export Failed"),
                QCoreApplication::translate("exchange_dialogs", "The file was not written: %1").arg(problem_texts::exchange(r.error)));
            return;
        }
        const int written_items = static_cast<int>(r.items);
        QString summary = QCoreApplication::translate("exchange_dialogs", "%n items written to %1.", nullptr, written_items)
                              .arg(QString::fromStdString(file));
        // Said, not only logged: these texts come back with LF where the user had CR LF.
        if (r.line_ends_changed > 0)
            summary += QCoreApplication::translate("exchange_dialogs", " %1 texts too close to the length limit for their CR LF were written with line feeds.")
                           .arg(r.line_ends_changed);
        if (const int paths = static_cast<int>(r.category_paths_changed); paths > 0)
            summary += QCoreApplication::translate("exchange_dialogs",
                " %n categories have names a text file cannot hold as they are (\"::\" in one name and \"/\" in another, or a blank at either end of a name): read back, their items go to other categories. An XML export keeps them.",
                nullptr, paths);
        show_message(this, QCoreApplication::translate("exchange_dialogs", "Export"), summary);
        written = true;
        accept();
    }

    QLineEdit* path;
    QComboBox* format;
    QCheckBox* with_queue;
    QString replace_confirmed;  // the file the file dialog was told to replace
};

}  // namespace

int run_import_dialog(QWidget* owner)
{
    import_dialog dialog(owner);
    dialog.exec();
    return dialog.added;
}

bool run_export_dialog(QWidget* owner)
{
    export_dialog dialog(owner);
    dialog.exec();
    return dialog.written;
}
