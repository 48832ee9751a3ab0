#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QIcon>
#include <QWidget>

#include <algorithm>
#include <cstdint>

#include "settings/dialogs.h"

namespace {

constexpr int64_t largest_box_font = 512;  // pixels; a settings file may hold any number

// A stored size as a height in pixels: its magnitude, at least 1, at most what a box shows.
int box_pixel_size(int64_t size) { return static_cast<int>(std::clamp<int64_t>(size < 0 ? -size : size, 1, largest_box_font)); }

void set_height(QFont& font, int64_t height)
{
    font.setPixelSize(box_pixel_size(height));
    font.setWeight(QFont::Normal);
}

void set_cleartype(QFont& font, bool on) { font.setStyleStrategy(on ? QFont::PreferAntialias : QFont::NoAntialias); }

}  // namespace

void apply_box_font(QWidget* box, int32_t size, const QString& face, uint32_t cleartype)
{
    QFont font = QApplication::font();
    // "Not chosen yet" keeps the desktop's own rendering; off and on are the user's choice.
    if (cleartype == 0 || cleartype == 1)
        set_cleartype(font, cleartype == 1);
    if (size != 0)
        set_height(font, size);
    if (!face.isEmpty())
        font.setFamilies({face});
    box->setFont(font);
}

void set_box_font_height(QWidget* box, int height)
{
    QFont font = box->font();
    set_height(font, height);
    box->setFont(font);
}

void set_box_cleartype(QWidget* box, bool on)
{
    QFont font = box->font();
    set_cleartype(font, on);
    box->setFont(font);
}

void set_box_font_face(QWidget* box, const QString& face)
{
    QFont font = box->font();
    font.setFamilies({face});
    box->setFont(font);
}

bool font_is_cleartype(const QFont& font) { return !(font.styleStrategy() & QFont::NoAntialias); }

int font_pixel_height(const QFont& font)
{
    if (font.pixelSize() > 0)
        return font.pixelSize();
    return QFontInfo(font).pixelSize();
}

QStringList first_font_families(const QStringList& all) { return all.mid(0, max_font_families); }

QStringList system_font_families(const QStringList& in_use)
{
    // The faces in use come first: with more families installed than are offered, opening
    // and closing the dialog would otherwise replace the user's font with another one.
    const QStringList installed = QFontDatabase::families();
    QStringList families;
    for (const QString& face : in_use)
        if (installed.contains(face) && !families.contains(face))
            families.append(face);
    for (const QString& face : installed)
        if (!families.contains(face) && !QFontDatabase::isPrivateFamily(face))
            families.append(face);
    return families;
}

QString font_family_in_use(const QWidget* box) { return QFontInfo(box->font()).family(); }

QIcon program_icon() { return QIcon(QStringLiteral(":/cardwright/cardwright.png")); }
