#pragma once
// The Fonts, Settings and About dialogs of the File and Help menus, and the font changes they
// make on the two text boxes.
#include <QDialog>
#include <QFont>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
struct settings;

constexpr int max_font_families = 24;
constexpr int min_font_height = 6;
constexpr int max_font_height = 32;

// The font of a box from the system font and the settings: size (negative or positive, 0 for
// the system's), face (empty for the system's) and cleartype (0 off, 1 on, else the desktop's).
void apply_box_font(QWidget* box, int32_t size, const QString& face, uint32_t cleartype);
// Each changes one part of the box's font and sets the new font on the box.
void set_box_font_height(QWidget* box, int height);
void set_box_cleartype(QWidget* box, bool on);
void set_box_font_face(QWidget* box, const QString& face);

// ClearType stands for antialiased text on the desktop.
bool font_is_cleartype(const QFont& font);
// The height in pixels, the measure of the size slider.
int font_pixel_height(const QFont& font);
// The families offered by the Fonts dialog: the first ones the font database lists.
QStringList first_font_families(const QStringList& all);
// "Name" of a family that the font database lists as "Name [Foundry]".
QString family_without_foundry(const QString& family);
// The installed families without the unwanted ones, each foundry's copy of a family merged into
// one name, those of `first` that are installed at the front in their order.
QStringList order_font_families(const QStringList& installed, const QStringList& first,
    const std::function<bool(const QString&)>& unwanted);
// The desktop's default sans-serif, serif and monospace families.
QStringList desktop_default_families();
// The installed text families: the desktop's defaults first, then those of `in_use`, then the
// rest; symbol fonts, private families and generic names left out.
QStringList system_font_families(const QStringList& in_use = {});
// The family the box's text is drawn with.
QString font_family_in_use(const QWidget* box);

class fonts_dialog : public QDialog {
    Q_OBJECT
public:
    // Without a list of families, the first ones installed are offered.
    fonts_dialog(settings* record, QWidget* question_box, QWidget* answer_box, QWidget* parent = nullptr,
        std::optional<QStringList> families = std::nullopt);
    // The values are stored and applied when the dialog is accepted.
    void done(int result) override;

private:
    struct side {
        QWidget* box = nullptr;
        QComboBox* face = nullptr;
        QCheckBox* cleartype = nullptr;
        QSlider* size = nullptr;
        QLabel* size_value = nullptr;  // the slider's value as a number
    };
    QWidget* make_side(side& s, const QString& title, const char* name, uint32_t cleartype_setting,
        const QStringList& families);
    void store_side(const side& s, uint32_t* cleartype, QString* face, int32_t* size);

    settings* record_;
    side question_;
    side answer_;
};

class settings_dialog : public QDialog {
    Q_OBJECT
public:
    settings_dialog(settings* record, QWidget* parent = nullptr);
    void done(int result) override;

private:
    settings* record_;
    QLineEdit* path_ = nullptr;
    QLabel* path_problem_ = nullptr;  // why the path typed cannot be taken, shown once OK is pressed
    QCheckBox* random_pick_ = nullptr;
    QLineEdit* sync_folder_ = nullptr;  // empty: no sync folder
};

class about_dialog : public QDialog {
    Q_OBJECT
public:
    explicit about_dialog(QWidget* parent = nullptr);
};

// The program's icon, also shown by the About dialog.
QIcon program_icon();
