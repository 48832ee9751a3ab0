#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QIcon>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <functional>

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

QString family_without_foundry(const QString& family)
{
    // The font database names a family offered by several foundries "Name [Foundry]".
    const qsizetype bracket = family.lastIndexOf(QLatin1String(" ["));
    return bracket > 0 && family.endsWith(QLatin1Char(']')) ? family.left(bracket) : family;
}

QStringList order_font_families(const QStringList& installed, const QStringList& first,
    const std::function<bool(const QString&)>& unwanted)
{
    QStringList merged;
    for (const QString& family : installed) {
        if (unwanted(family))
            continue;
        const QString name = family_without_foundry(family);
        if (!name.isEmpty() && !merged.contains(name))
            merged.append(name);
    }
    QStringList ordered;
    for (const QString& face : first) {
        const QString name = family_without_foundry(face);
        if (merged.contains(name) && !ordered.contains(name))
            ordered.append(name);
    }
    for (const QString& name : merged)
        if (!ordered.contains(name))
            ordered.append(name);
    return ordered;
}

QStringList desktop_default_families()
{
    // The names that fontconfig resolves to the desktop's chosen families.
    QStringList defaults;
    for (const char* generic : {"sans-serif", "serif", "monospace"})
        defaults.append(QFontInfo(QFont(QLatin1String(generic))).family());
    return defaults;
}

QStringList system_font_families(const QStringList& in_use)
{
    // After the desktop's defaults come the faces in use: with more families installed than
    // are offered, opening and closing the dialog would otherwise replace the user's font.
    const QStringList first = desktop_default_families() + in_use;
    return order_font_families(QFontDatabase::families(), first, [](const QString& family) {
        static const QStringList aliases = {QStringLiteral("sans serif"), QStringLiteral("sans-serif"),
            QStringLiteral("sans"), QStringLiteral("serif"), QStringLiteral("monospace"), QStringLiteral("mono"),
            QStringLiteral("system-ui")};
        // Generic names are no families of their own; symbol fonts cannot show an item's text.
        return QFontDatabase::isPrivateFamily(family) || aliases.contains(family.toLower())
            || QFontDatabase::writingSystems(family).contains(QFontDatabase::Symbol);
    });
}

QString font_family_in_use(const QWidget* box) { return QFontInfo(box->font()).family(); }

QIcon program_icon() { return QIcon(QStringLiteral(":/cardwright/cardwright.png")); }
