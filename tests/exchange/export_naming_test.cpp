// The export's offered file name, and the form a typed name asks for.
#include <gtest/gtest.h>

#include "exchange/export_naming.h"

namespace {

TEST(ExportNaming, TheExtensionChoosesTheFormAndTheFormTheExtension)
{
    using f = export_format;
    const struct {
        const char* name;
        std::optional<f> asks;  // what export_format_of says
        const char* as_text;  // with_export_extension(name, text)
        const char* as_xml;  // with_export_extension(name, xml)
    } cases[] = {
        {"/home/u/cards.xml", f::xml, "/home/u/cards.txt", "/home/u/cards.xml"},
        {"cards.XML", f::xml, "cards.txt", "cards.xml"}, {"cards.tsv", f::text, "cards.txt", "cards.xml"},
        {"a.b/cards.CSV", f::text, "a.b/cards.txt", "a.b/cards.xml"}, {"cards.txt", f::text, "cards.txt", "cards.xml"},
        // No extension: the form chosen stands and the name gets its extension.
        {"a.b/cards", std::nullopt, "a.b/cards.txt", "a.b/cards.xml"},
        {"/home/u/.cards", std::nullopt, "/home/u/.cards.txt", "/home/u/.cards.xml"},
        // Another extension is the user's: kept as typed.
        {"cards.apkg", std::nullopt, "cards.apkg", "cards.apkg"}, {"/home/u/", std::nullopt, "/home/u/", "/home/u/"},
        {"", std::nullopt, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(export_format_of(c.name), c.asks);
        EXPECT_EQ(std::tuple(with_export_extension(c.name, f::text), with_export_extension(c.name, f::xml)),
            std::tuple(c.as_text, c.as_xml));
    }
    EXPECT_EQ(proposed_export_name("cardwrightdb", "2026-12-07", f::text), "cardwrightdb-2026-12-07.txt");
    EXPECT_EQ(proposed_export_name("", "2026-12-07", f::xml), "cardwright-2026-12-07.xml");
}

}  // namespace
