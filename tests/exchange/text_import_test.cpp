// Delimited text files of every shape that spreadsheets and other trainers write.
#include <cerrno>

#include "ann/ann_files.h"
#include "calendar/calendar.h"
#include "exchange/column_names.h"
#include "exchange/delimited.h"
#include "exchange/text_decoding.h"
#include "exchange/text_import.h"
#include "exchange_fixture.h"
#include "formats/queue.h"
#include "platform/utf.h"

// Options are written with designated initializers: the fields left out keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using row = std::tuple<std::string, std::string, std::string>;

std::string utf16_bytes(const std::string& utf8, bool little, bool mark)
{
    std::u16string units;
    utf8_to_utf16(utf8, &units);
    std::string out = mark ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
    for (const char16_t u : units) {
        const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        out.push_back(little ? lo : hi);
        out.push_back(little ? hi : lo);
    }
    return out;
}

class TextImport : public exchange_test {
protected:
    import_summary import(const std::string& contents, text_import_options options = {})
    {
        return import_text_file(file("cards.txt", contents), options);
    }
};

TEST_F(TextImport, EachShapeOfFileGivesItsItemsAndNamesWhatItLeavesOut)
{
    const std::string longest(import_text_limit - 2, 'x');  // with its line break: exactly the limit
    struct file_case {
        const char* what;
        std::string contents;
        text_import_options options;
        std::vector<row> items;
        std::vector<std::string> problems;
        std::string refused = "";  // the error when nothing is imported
    };
    const file_case cases[] = {
        {"tabs", "Hund\tdog\nKatze\tcat, the pet\n", {}, {{"Hund", "dog", "root"}, {"Katze", "cat, the pet", "root"}}, {}},
        // Semicolon files often hold commas in their texts: as many of each is a semicolon file.
        {"semicolons with as many commas", "Hund;dog, the dog\nKatze;cat, the pet\n", {},
            {{"Hund", "dog, the dog", "root"}, {"Katze", "cat, the pet", "root"}}, {}},
        {"one comma more makes a comma file", "Katze;cat, the, pet\n", {}, {{"Katze;cat", " the", "root"}}, {}},
        {"a chosen comma splits a semicolon file", "Hund;dog;x\nKatze;cat, the pet\n", {.separator = text_separator::comma},
            {{"Katze;cat", " the pet", "root"}}, {"text_missing at line 1 (answer)"}},
        {"quoted separators, quotes and line breaks",
            "\xEF\xBB\xBF\"a, b\",\"say \"\"hi\"\"\"\r\n\"two\r\nlines\",plain\r\n\r\n\"x\"tail,\"\"\"quoted\"\"\"\nlast,no line end",
            {}, {{"a, b", "say \"hi\"", "root"}, {"two\nlines", "plain", "root"}, {"xtail", "\"quoted\"", "root"},
                {"last", "no line end", "root"}}, {}},
        {"header lines and HTML",
            "#separator:semicolon\n#html:true\n#columns:Back;Front;Deck\n\"<b>dog</b>&amp;co<br>two\";Hund<div>x</div>;Tiere::Haus\n",
            {}, {{"Hund\nx", "<b>dog</b>&co\ntwo", "Tiere::Haus"}}, {}},
        {"without #html:true the markup is the program's own", "#separator:Tab\nq&amp;\t<b>a</b>\n", {},
            {{"q&amp;", "<b>a</b>", "root"}}, {}},
        {"a header row", "category,answer,question\nA/B,one,eins\n", {.header_row = true}, {{"eins", "one", "A::B"}}, {}},
        {"a NUL in either text, every line end", "q1\ta1\rq" + std::string(1, '\0') + "2\ta2\r\nq3\ta" + std::string(1, '\0') +
            "\nq4\ta4\n", {}, {{"q1", "a1", "root"}, {"q4", "a4", "root"}},
            {"text_holds_nul at line 2 (question)", "text_holds_nul at line 3 (answer)"}},
        {"a separator that is none", "#separator:X\nq\ta\n", {}, {}, {}, "unknown_separator \"X\" line 1"},
        {"an open quote", "good\tone\n\"open quote\tnever closed\nmore\tlines\n", {}, {}, {}, "quote_not_closed line 2"},
        // Problems name the line a record begins on, past a quoted text of two lines.
        {"texts past the limits",
            "\"" + longest.substr(0, 10) + "\n" + longest.substr(10) + "\"\tfits \xC3\xA4\n" + std::string(import_text_limit + 1, 'y') +
                "\ttoo long\n\xC3\x28\tbroken UTF-8\nhas </q> in it\tans\nq\ta</a>\nempty answer\t\n",
            {}, {{longest.substr(0, 10) + "\n" + longest.substr(10), "fits \xC3\xA4", "root"}},
            {"text_too_long at line 3 (question) size 8192", "text_not_utf8 at line 4 (question)",
                "text_holds_closing_tag at line 5", "text_holds_closing_tag at line 6", "text_missing at line 7 (answer)"}},
    };
    for (const file_case& c : cases) {
        SCOPED_TRACE(c.what);
        free_pending_list();
        const import_summary s = import(c.contents, c.options);
        EXPECT_EQ(std::tuple(s.done ? "" : log_text(s.error), s.added, queue_contents(), problems(s)),
            std::tuple(c.refused, c.items.size(), c.items, c.problems));
    }
    EXPECT_EQ(category_count(), 5u);  // root, Tiere, Haus, A, B
    // The last file's item, which reaches the limit, survives queue.txt being written and read again.
    EXPECT_EQ(display_length(db().pending_head->question), import_text_limit);
    ASSERT_EQ(save_queue(), queue_save_status::done);
    load_queue();
    EXPECT_EQ(db().pending_head->question, longest.substr(0, 10) + "\n" + longest.substr(10));

    const import_summary missing = import_text_file(files.file("absent.txt"), {});
    EXPECT_EQ(std::tuple(missing.done, missing.error.code, missing.error.os_error),
        std::tuple(false, exchange_problem_code::cannot_open, ENOENT));
    std::string lines;
    for (size_t i = 0; i < max_listed_problems + 5; ++i)
        lines += "q\t\n";
    const import_summary garbage = import(lines);
    EXPECT_EQ(std::tuple(garbage.problems.size(), garbage.problems_not_listed), std::tuple(max_listed_problems, 5u));
}

TEST_F(TextImport, ReadsUtf16AndByteOrderMarksWithEveryKindOfLineEnd)
{
    const std::string body = "#columns:front;back\nB\xC3\xA4r;bear\n\xF0\x9F\x98\x80;smile\nq;\"two\nlines\"\n";
    const std::vector<row> expected = {{"B\xC3\xA4r", "bear", "root"}, {"\xF0\x9F\x98\x80", "smile", "root"},
        {"q", "two\nlines", "root"}};
    for (const char* end : {"\n", "\r", "\r\n"}) {
        std::string text;
        for (const char c : body)
            text += c == '\n' ? std::string(end) : std::string(1, c);
        const std::string encodings[] = {text, "\xEF\xBB\xBF" + text, utf16_bytes(text, true, true),
            utf16_bytes(text, true, false), utf16_bytes(text, false, true), utf16_bytes(text, false, false)};
        for (size_t e = 0; e < std::size(encodings); ++e) {
            free_pending_list();
            const import_summary s = import(encodings[e]);
            EXPECT_TRUE(s.done && s.problems.empty());
            EXPECT_EQ(queue_contents(), expected) << "encoding " << e << ", line end " << int(end[0]) << end[1];
        }
    }
    // Bytes that are not UTF-8, with no character of UTF-8's several bytes: Windows-1252, the
    // undefined 0x81 kept as its Latin-1 control code.
    free_pending_list();
    ASSERT_TRUE(import("B\xE4r;bear\n\x80 5;\x93\x81\xFF\x94\n").done);
    EXPECT_EQ(queue_contents(), (std::vector<row>{{"B\xC3\xA4r", "bear", "root"},
                                    {"\xE2\x82\xAC 5", "\xE2\x80\x9C\xC2\x81\xC3\xBF\xE2\x80\x9D", "root"}}));
}

// A piece may end inside a UTF-16 unit or pair; an ASCII start is decided at the first byte beyond it.
TEST(TextDecoding, APieceMayEndAnywhere)
{
    const std::string ascii(5000, 'x');
    const std::string text = ascii + "a\xF0\x9F\x98\x80\xC3\xA4z";
    const std::string little = utf16_bytes(text, true, true), big = utf16_bytes(text, false, true);
    struct {
        std::string start, later, expected;
    } cases[] = {
        {little.substr(0, little.size() - 12), little.substr(little.size() - 12), text},
        {big.substr(0, big.size() - 12), big.substr(big.size() - 12), text},
        // A half unit or a lone high surrogate at the file's end is a replacement character.
        {utf16_bytes("a", true, true), "\x3D\xD8" "b", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
        {ascii, "B\xE4r \x80", ascii + "B\xC3\xA4r \xE2\x82\xAC"},  // Windows-1252 after all
        {ascii, "B\xC3\xA4r \xFF", ascii + "B\xC3\xA4r \xFF"},  // UTF-8, its fault named later
        {"\xEF\xBB\xBF" + ascii, "B\xE4r", ascii + "B\xE4r"},  // a mark settles UTF-8
    };
    for (const auto& c : cases)
        for (size_t cut = 0; cut <= c.later.size(); ++cut) {
            text_decoder d;
            std::string out;
            d.decode(c.start, false, out);
            d.decode(c.later.substr(0, cut), false, out);
            d.decode(c.later.substr(cut), true, out);
            EXPECT_EQ(out, c.expected) << c.later << " cut at " << cut;
        }
}

TEST_F(TextImport, RecordsAndLineEndsMayStraddleThePiecesTheFileIsReadIn)
{
    // Pieces of 1 MiB: a CR ends the first, a quoted CR LF spans the second boundary.
    const size_t mib = size_t{1} << 20;
    std::string contents = "p\t" + std::string(mib - 3, 'x') + "\r\n";
    contents += "q\t\"" + std::string(mib - 8, 'y') + "\r\nz\"\"\"\r\n";
    std::vector<row> expected;
    size_t line = 4;  // where the next record begins
    for (int i = 0; contents.size() < 3 * mib + 100; ++i, line += 2) {
        contents += "k" + std::to_string(i) + "\t\"v\r\nw\"\r";
        expected.emplace_back("k" + std::to_string(i), "v\nw", "root");
    }
    // Old Mac line ends too: a record a line, and problems name the line.
    contents += "last\t\rq\ta\r";
    expected.emplace_back("q", "a", "root");
    const import_summary s = import(contents);
    ASSERT_TRUE(s.done) << log_text(s.error);
    EXPECT_EQ(problems(s), (std::vector<std::string>{"text_too_long at line 1 (answer) size " + std::to_string(mib - 3),
                               "text_too_long at line 2 (answer) size " + std::to_string(mib - 4),
                               "text_missing at line " + std::to_string(line) + " (answer)"}));
    EXPECT_EQ(queue_contents(), expected);
}

TEST_F(TextImport, NestsCategoriesOnceAndFallsBackToTheDefaultOrTheNearestParent)
{
    const uint16_t other = add_category("Other", -1);
    text_import_options options{.columns = column_mapping{1, 2, 0}, .default_category = other};
    const import_summary s =
        import("Deutsch::Verben\tgehen\tto go\nDeutsch/Verben\tsehen\tto see\n\tohne\twithout\n  Deutsch :: Nomen \tHaus\thouse\n", options);
    ASSERT_TRUE(s.done) << log_text(s.error);
    EXPECT_EQ(queue_contents(), (std::vector<row>{{"gehen", "to go", "Deutsch::Verben"}, {"sehen", "to see", "Deutsch::Verben"},
                                    {"ohne", "without", "Other"}, {"Haus", "house", "Deutsch::Nomen"}}));
    EXPECT_EQ(category_count(), 5u);  // root, Other, Deutsch, Verben, Nomen

    // A category the full table cannot take is named, and its items go to its nearest parent.
    free_pending_list();
    while (category_count() < UINT16_MAX - 1)
        add_category(("c" + std::to_string(category_count())).c_str(), -1);
    options = {.columns = column_mapping{0, 1, 2}};
    const import_summary full = import("q1\ta\tNew::Sub\nq2\ta\tFresh\nq3\ta\tNew::Sub\n", options);
    EXPECT_EQ(std::pair(full.added, problems(full)), std::pair(3u, std::vector<std::string>{"category_not_made \"New::Sub\" \"New\" limit 65535",
                                                         "category_not_made \"Fresh\" \"root\" limit 65535"}));
    EXPECT_EQ(queue_contents(), (std::vector<row>{{"q1", "a", "New"}, {"q2", "a", "root"}, {"q3", "a", "New"}}));
}

TEST_F(TextImport, SkipsAndCountsDuplicatesOfTheDatabaseAndOfTheFile)
{
    const uint16_t a = add_category(" A\t", -1);  // an older file's blanks, which a path in a file loses
    add_test_item(3, a, 1, "q1", "a1");
    add_test_pending(0, "q2", "a2");
    add_test_item(3, a, 1, "typed\r\nlines", "a\rb");  // as the boxes store a line break, or a handheld's file
    add_test_item(3, a, 1, "B\xC3\xA4ume", "\xED\x95\x9C");  // "Bäume", Korean "han", composed as typed here
    const text_import_options options{.columns = column_mapping{0, 1, 2}};
    const import_summary s = import("q1\ta1\tA\n"  // as a scheduled item
                                    "q2\ta2\troot\n"  // as a pending item
                                    "\"typed\nlines\"\t\"a\r\nb\"\tA\n"  // the same line breaks, written otherwise
                                    "Ba\xCC\x88ume\t\xE1\x84\x92\xE1\x85\xA1\xE1\x86\xAB\tA\n"  // decomposed, as some systems export
                                    "q1\ta1\tB\n"  // another category: not a duplicate
                                    "q1\tother\tA\n"  // another answer: not a duplicate
                                    "q3\ta3\tB\nq3\ta3\tB\n"  // twice in the file
                                    "Ka\xCC\x88" "fer\t\xE2\x84\xAB \xD0\xB8\xCC\x86\tA\n"  // kept composed, the whole text (the Angstrom sign is A with a ring then)
                                    "\xE2\x84\xAB" "ngstr\xC3\xB6m\t\xCE\x87\tA\n",  // without a mark: the Angstrom sign, the Greek ano teleia
        options);
    EXPECT_EQ(std::pair(s.added, s.duplicates), std::pair(5u, 5u));
    const auto queued = queue_contents();
    EXPECT_EQ(std::vector<row>(queued.end() - 2, queued.end()),
        (std::vector<row>{{"K\xC3\xA4" "fer", "\xC3\x85 \xD0\xB9", " A\t"}, {"\xC3\x85" "ngstr\xC3\xB6m", "\xC2\xB7", " A\t"}}));

    // The duplicate table grows many times while the database's items join it group by group.
    uint32_t existing = 0;
    std::string lines;
    for (int i = 0; i < 3000; ++i) {
        const std::string q = "w" + std::string(static_cast<size_t>(i % 7), '-') + std::to_string(i);
        if (i % 3 == 0) {
            add_test_item(5, a, 1, q, "x" + std::to_string(i));
            ++existing;
        }
        lines += q + "\tx" + std::to_string(i) + "\tA\n";
        if (i % 10 == 0)
            lines += q + "\tx" + std::to_string(i) + "\tA\n";  // twice in the file
    }
    const import_summary large = import(lines, options);
    EXPECT_EQ(std::pair(large.duplicates, large.added), std::pair(existing + 300, 3000 - existing));

    // One group far larger than the table it joins.
    for (int i = 0; i < 2000; ++i)
        add_test_item(5, a, 1, "k" + std::to_string(10000 + i), "v" + std::to_string(10000 + i));
    EXPECT_EQ(import("k99999\tv99999\tA\nk10007\tv10007\tA\n", options).added, 1u);
}

TEST_F(TextImport, PutsItemsStraightIntoLearningEachWithItsOwnId)
{
    ma_nn_init();
    go_to_day(7);
    const text_import_options options{.target = import_target::learning, .first_grade = 4};
    const import_summary s = import("eins\tone\ndrei\tthree\n", options);
    EXPECT_EQ(std::tuple(s.added, pending_count()), std::tuple(2u, 0u));
    for (const item* e : scheduled_items())
        EXPECT_EQ(std::tuple(e->gr, e->tmtrpt, e->stmtrpt, e->rp), std::tuple(4, 7 + e->ivl, 7 + e->ivl, 0));
    // Each item its own id: the creation second, or the next free one after the newest.
    const auto ids = [] {
        std::set<uint32_t> all;
        for (const item* e : scheduled_items())
            all.insert(e->id);
        return all;
    };
    EXPECT_EQ(ids(), (std::set<uint32_t>{time_now(), time_now() + 1}));
    db().head->id = time_now() + 100;
    ASSERT_TRUE(import("vier\tfour\nfuenf\tfive\n", options).done);
    EXPECT_TRUE(ids().size() == 4 && ids().contains(time_now() + 101) && ids().contains(time_now() + 102));
}

TEST_F(TextImport, PreviewReadsOnlyTheFirstRows)
{
    std::string contents = "#columns:front\tback\n";
    for (int i = 0; i < 100; ++i)
        contents += "q" + std::to_string(i) + "\ta\n";
    const text_table t = read_text_table(file("many.txt", contents), text_separator::detect, 5);
    ASSERT_TRUE(t.read);
    EXPECT_EQ(std::tuple(t.rows.size(), t.cut_short, t.row_lines[4]), std::tuple(size_t{5}, true, size_t{6}));
    EXPECT_EQ(t.column_names, (std::vector<std::string>{"front", "back"}));
}

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
        {"Cat\xC3\xA9gorie;Recto;Verso\nx;y;z\n", true, {1, 2, 0}},
        {"\xC3\x9C" "bersetzung;Wort\ndog;Hund\n", true, {1, 0, no_column}},
        // A first item whose words happen to be one role's names is an item, not a header.
        {"question;Frage\nanswer;Antwort\n", false, {0, 1, no_column}},
        {"Deck\tdog\n", false, {0, 1, no_column}},
        // The file's own "#columns:" line names them, so no record is a header.
        {"#columns:Back\tFront\tTags\nHund\tdog\tx\n", false, {1, 0, 2}},
        // Texts go in the first columns that neither a name nor "#deck column:" gives another role.
        {"#deck column:1\nTiere\tHund\tdog\n", false, {1, 2, 0}},
        {"#guid column:1\n#notetype column:2\n#deck column:3\nf7Qa\tBasic\tTiere\tHund\tdog\n", false, {3, 4, 2}},
        {"#columns:Back\tNotes\ndog\tHund\n", false, {1, 0, no_column}},
        {"", false, {0, 1, no_column}},
    };
    for (const proposal_case& c : cases) {
        SCOPED_TRACE(c.text);
        const column_proposal p = propose_columns(parse_text_table(c.text, text_separator::detect));
        EXPECT_EQ(std::tuple(p.header_row, p.columns.question, p.columns.answer, p.columns.category),
            std::tuple(c.header, c.columns.question, c.columns.answer, c.columns.category));
    }
}

}  // namespace
