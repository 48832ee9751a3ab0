// What the import dialog shows before an import: a text file's header row and proposed
// columns, a package's decks and their note counts.
#include "exchange/column_names.h"
#include "exchange/package_import.h"
#include "exchange_fixture.h"
#include "tools/package_builder.h"

namespace {

struct proposal_case {
    const char* text;
    bool header;
    column_mapping columns;
};

TEST(ImportPreview, AHeaderRowIsRecognisedAndItsCategoryColumnProposed)
{
    const proposal_case cases[] = {
        // Names in English, German and French, any case, with blanks around them.
        {"Front\tBack\tDeck\nHund\tdog\tTiere\n", true, {0, 1, 2}},
        {"Kategorie;Frage;Antwort\nTiere;Hund;dog\n", true, {1, 2, 0}},
        {" ANSWER ,question,Tags\ndog,Hund,animals\n", true, {1, 0, 2}},
        {"Word;Translation;Category\nHund;dog;Tiere\n", true, {0, 1, 2}},
        {"Cat\xC3\xA9gorie;Recto;Verso\nx;y;z\n", true, {1, 2, 0}},
        {"\xC3\x9C" "bersetzung;Wort\ndog;Hund\n", true, {1, 0, no_column}},
        // A first item whose words happen to be one role's names is an item, not a header.
        {"question;Frage\nanswer;Antwort\n", false, {0, 1, no_column}},
        {"Hund\tdog\nKatze\tcat\n", false, {0, 1, no_column}},
        {"Deck\tdog\n", false, {0, 1, no_column}},
        // The file's own "#columns:" line names them, so no record is a header.
        {"#columns:Back\tFront\tTags\nHund\tdog\tx\n", false, {1, 0, 2}},
        {"", false, {0, 1, no_column}},
    };
    for (const proposal_case& c : cases) {
        SCOPED_TRACE(c.text);
        const column_proposal p = propose_columns(parse_text_table(c.text, text_separator::detect));
        EXPECT_EQ(std::tuple(p.header_row, p.columns.question, p.columns.answer, p.columns.category),
            std::tuple(c.header, c.columns.question, c.columns.answer, c.columns.category));
    }
}

class PackagePreview : public exchange_test {};

TEST_F(PackagePreview, ListsEachDeckWithItsNotesAndImportsNothing)
{
    for (const package_form form : {package_form::anki2, package_form::anki21b}) {
        SCOPED_TRACE(static_cast<int>(form));
        deck_package p;
        p.form = form;
        p.decks = {{1, "Default"}, {20, "Sprachen::Deutsch"}, {21, "Sprachen"}, {22, "Leer"}};
        p.notes = {{101, "Hund\x1f" "dog", 20}, {102, "Katze\x1f" "cat", 20}, {103, "Maus\x1f" "mouse", 21},
            {104, "x\x1fy", 99}};
        const package_contents c = read_package_contents(p.build(files.path()));
        ASSERT_TRUE(c.read) << log_text(c.error);
        EXPECT_EQ(c.notes, 4u);
        std::vector<std::pair<std::string, uint32_t>> decks;
        for (const package_deck& d : c.decks)
            decks.emplace_back(d.name, d.notes);
        // A note of a deck the package does not list counts under no name, as it goes to the
        // first category.
        EXPECT_EQ(decks, (std::vector<std::pair<std::string, uint32_t>>{{"", 1}, {"Sprachen", 1}, {"Sprachen::Deutsch", 2}}));
        EXPECT_TRUE(queue_contents().empty());
    }
    const package_contents broken = read_package_contents(file("broken.apkg", "PK no zip"));
    EXPECT_TRUE(!broken.read && broken.error && broken.decks.empty());
}

}  // namespace
