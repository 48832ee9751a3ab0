#include <QFontDatabase>
#include <QFontInfo>
#include <QIcon>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

#include "settings/dialogs.h"

void set_box_font_height(QWidget* box, int height)
{
    QFont font = box->font();
    font.setPixelSize(std::max(1, std::abs(height)));
    font.setWeight(QFont::Normal);
    box->setFont(font);
}

void set_box_cleartype(QWidget* box, bool on)
{
    QFont font = box->font();
    font.setStyleStrategy(on ? QFont::PreferAntialias : QFont::NoAntialias);
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
