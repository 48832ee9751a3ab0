#include "settings/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

#include "resources/ids.h"
#include "resources/version.h"
#include "settings/settings_store.h"

namespace {

QDialogButtonBox* add_buttons(QDialog* dialog, QBoxLayout* layout, QDialogButtonBox::StandardButtons buttons)
{
    auto* box = new QDialogButtonBox(buttons, dialog);
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addStretch(1);
    layout->addWidget(box);
    return box;
}

// Why the data directory could not be opened at the next start; empty when it could. A missing
// folder is made then, so the nearest folder that exists must take it.
QString data_dir_problem(const QString& dir)
{
    if (dir.isEmpty())
        return settings_dialog::tr("Please name the folder of the database.");
    const QString path = QDir::cleanPath(dir);
    const QFileInfo info(path);
    if (info.exists())
        return info.isDir() ? QString() : settings_dialog::tr("%1 is a file, not a folder.").arg(path);
    QString existing = path;
    while (!QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).path();
        if (parent == existing)
            break;
        existing = parent;
    }
    const QFileInfo base(existing);
    if (!base.isDir())
        return settings_dialog::tr("%1 cannot be made: %2 is a file, not a folder.").arg(path, existing);
    if (!base.isWritable())
        return settings_dialog::tr("%1 cannot be made: %2 cannot be written.").arg(path, existing);
    return {};
}

void name_control(QWidget* control, const char* name, int id)
{
    control->setObjectName(QLatin1String(name));
    control->setProperty("control_id", id);
}

}  // namespace

fonts_dialog::fonts_dialog(settings* record, QWidget* question_box, QWidget* answer_box, QWidget* parent,
    std::optional<QStringList> offered)
    : QDialog(parent), record_(record)
{
    QStringList in_use;
    for (QWidget* box : {question_box, answer_box})
        if (box)
            in_use.append(font_family_in_use(box));
    const QStringList families = first_font_families(offered ? *offered : system_font_families(in_use));
    setWindowTitle(tr("Fonts"));
    setProperty("dialog_id", dialog_fonts);
    question_.box = question_box;
    answer_.box = answer_box;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(make_side(question_, tr("Question font"), "question",
        record ? record->qcleartype : 2, families));
    layout->addWidget(make_side(answer_, tr("Answer font"), "answer",
        record ? record->acleartype : 2, families));
    name_control(question_.face, "question_face", id_question_face);
    name_control(question_.cleartype, "question_cleartype", id_question_cleartype);
    name_control(question_.size, "question_size", id_question_size);
    name_control(answer_.face, "answer_face", id_answer_face);
    name_control(answer_.cleartype, "answer_cleartype", id_answer_cleartype);
    name_control(answer_.size, "answer_size", id_answer_size);
    add_buttons(this, layout, QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
}

QWidget* fonts_dialog::make_side(side& s, const QString& title, const char* name, uint32_t cleartype_setting,
    const QStringList& families)
{
    auto* group = new QGroupBox(title, this);
    group->setObjectName(QLatin1String(name) + QStringLiteral("_group"));
    const QFont font = s.box ? s.box->font() : QFont();

    s.face = new QComboBox(group);
    // Insertion order is kept: the list shows the families in the order they were found.
    s.face->addItems(families);
    const QString family = s.box ? font_family_in_use(s.box) : font.family();
    s.face->setCurrentIndex(std::max<qsizetype>(0, families.indexOf(family)));

    s.cleartype = new QCheckBox(tr("ClearType"), group);
    s.cleartype->setChecked(cleartype_setting == 1 || (cleartype_setting != 0 && font_is_cleartype(font)));

    s.size = new QSlider(Qt::Horizontal, group);
    s.size->setRange(min_font_height, max_font_height);
    s.size->setTickPosition(QSlider::TicksAbove);
    s.size->setTickInterval(1);
    s.size->setPageStep(2);
    s.size->setValue(font_pixel_height(font));

    auto* grid = new QGridLayout(group);
    grid->addWidget(s.face, 0, 0, 1, 3);
    grid->addWidget(s.cleartype, 1, 0, 1, 3);
    auto* size_label = new QLabel(tr("Font size:"), group);
    size_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(size_label, 2, 0, 1, 2);
    s.size_value = new QLabel(group);
    s.size_value->setObjectName(QLatin1String(name) + QStringLiteral("_size_value"));
    s.size_value->setNum(s.size->value());
    connect(s.size, &QSlider::valueChanged, s.size_value, qOverload<int>(&QLabel::setNum));
    grid->addWidget(s.size_value, 2, 2);
    grid->addWidget(new QLabel(tr("Small"), group), 3, 0);
    grid->addWidget(s.size, 3, 1);
    grid->addWidget(new QLabel(tr("Big"), group), 3, 2);
    grid->setColumnStretch(1, 1);
    // Named by their side: two lists and two sliders would otherwise sound alike.
    s.face->setAccessibleName(tr("%1: typeface").arg(title));
    s.size->setAccessibleName(tr("%1: size").arg(title));
    s.cleartype->setAccessibleName(tr("%1: ClearType").arg(title));
    return group;
}

void fonts_dialog::store_side(const side& s, uint32_t* cleartype, QString* face, int32_t* size)
{
    const bool on = s.cleartype->isChecked();
    *cleartype = on ? 1 : 0;
    if (s.box)
        set_box_cleartype(s.box, on);
    // With nothing selected there is no face to apply; the previous one stays.
    if (s.face->currentIndex() >= 0) {
        const QString chosen = s.face->currentText();
        if (s.box)
            set_box_font_face(s.box, chosen);
        *face = chosen.left(max_face_units);
    }
    *size = s.size->value();
    if (s.box)
        set_box_font_height(s.box, *size);
}

void fonts_dialog::done(int result)
{
    // Cancel and Escape leave the fonts as they were, as a desktop user expects.
    if (result != QDialog::Accepted) {
        QDialog::done(result);
        return;
    }
    if (record_) {
        store_side(question_, &record_->qcleartype, &record_->qfontface, &record_->qfontsize);
        store_side(answer_, &record_->acleartype, &record_->afontface, &record_->afontsize);
    } else {
        settings scratch;
        store_side(question_, &scratch.qcleartype, &scratch.qfontface, &scratch.qfontsize);
        store_side(answer_, &scratch.acleartype, &scratch.afontface, &scratch.afontsize);
    }
    QDialog::done(result);
}

settings_dialog::settings_dialog(settings* record, QWidget* parent) : QDialog(parent), record_(record)
{
    setWindowTitle(tr("Settings"));
    setProperty("dialog_id", dialog_settings);
    auto* layout = new QVBoxLayout(this);
    // Each field has a key of its own (Alt and the underlined letter), as desktop dialogs do.
    auto* path_label = new QLabel(tr("&Database path:"), this);
    layout->addWidget(path_label);
    path_ = new QLineEdit(this);
    path_label->setBuddy(path_);
    path_->setAccessibleName(tr("Database path"));
    path_->setMaxLength(max_data_dir_units);
    name_control(path_, "data_path", id_data_path_edit);
    layout->addWidget(path_);
    path_problem_ = new QLabel(this);
    path_problem_->setObjectName(QStringLiteral("data_path_problem"));
    path_problem_->setWordWrap(true);
    path_problem_->hide();
    layout->addWidget(path_problem_);
    auto* note = new QLabel(tr("New path takes effect after MCW restart"), this);
    note->setObjectName(QStringLiteral("data_path_note"));
    layout->addWidget(note);
    layout->addSpacing(12);
    random_pick_ = new QCheckBox(tr("&Random pick from queue"), this);
    name_control(random_pick_, "random_pick", id_random_pick);
    layout->addWidget(random_pick_);
    layout->addSpacing(12);
    auto* sync_label = new QLabel(tr("&Sync folder (empty: off; takes effect at once):"), this);
    layout->addWidget(sync_label);
    auto* sync_row = new QHBoxLayout;
    sync_folder_ = new QLineEdit(this);
    sync_label->setBuddy(sync_folder_);
    sync_folder_->setObjectName(QStringLiteral("sync_folder"));
    sync_folder_->setAccessibleName(tr("Sync folder"));
    sync_folder_->setClearButtonEnabled(true);
    auto* choose = new QPushButton(tr("Synchronise &through folder..."), this);
    choose->setAccessibleName(tr("Synchronise through folder..."));
    choose->setObjectName(QStringLiteral("choose_sync_folder"));
    connect(choose, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(this, tr("Synchronise through folder"),
            sync_folder_->text());
        if (!chosen.isEmpty())
            sync_folder_->setText(chosen);
    });
    sync_row->addWidget(sync_folder_);
    sync_row->addWidget(choose);
    layout->addLayout(sync_row);
    if (record_) {
        path_->setText(record_->pathtodatadir.left(max_data_dir_units));
        random_pick_->setChecked(record_->randompick != 0);
        sync_folder_->setText(record_->syncfolder);
    }
    add_buttons(this, layout, QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    setMinimumWidth(360);
}

void settings_dialog::done(int result)
{
    if (record_ && result == QDialog::Accepted) {
        const QString path = resolve_data_dir(path_->text().left(max_data_dir_units));
        // Said now, while it can be mended: the next start would fall back on the default folder.
        if (const QString problem = path == record_->pathtodatadir ? QString() : data_dir_problem(path);
            !problem.isEmpty()) {
            path_problem_->setText(problem);
            path_problem_->show();
            // The dialog grows to the lines the text wraps to, or their lower half is cut off.
            layout()->activate();
            resize(width(), std::max(height(), heightForWidth(width())));
            path_->setAccessibleDescription(problem);
            path_->setFocus();
            path_->selectAll();
            return;
        }
        record_->pathtodatadir = path;
        record_->randompick = random_pick_->isChecked() ? 1 : 0;
        record_->syncfolder = sync_folder_->text().trimmed();
    }
    QDialog::done(result);
}

about_dialog::about_dialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("About MobileCardwright"));
    setProperty("dialog_id", dialog_about);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(14);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("about_icon"));
    icon->setPixmap(program_icon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignHCenter);
    layout->addWidget(icon);
    auto* line = new QLabel(tr("MobileCardwright Version %1").arg(QLatin1String(version_text)), this);
    line->setObjectName(QStringLiteral("about_text"));
    line->setAlignment(Qt::AlignHCenter);
    layout->addWidget(line);
    add_buttons(this, layout, QDialogButtonBox::Ok)->setCenterButtons(true);
    setMinimumWidth(300);
}
