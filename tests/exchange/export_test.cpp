// Exports read back (XML by the database's reader, text by the text import); a refused write;
// the offered name; the scan every exported field takes.
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <map>

#include "exchange/byte_scan.h"
#include "exchange/export_naming.h"
#include "exchange/text_import.h"
#include "exchange_fixture.h"

namespace {

// Everything of an item but its category index, which a category's place in the table decides.
using item_fields = std::tuple<std::string, std::string, std::string, uint32_t, uint16_t, uint16_t, uint16_t, uint16_t,
    uint16_t, uint16_t, uint16_t, uint32_t, uint32_t>;

std::multiset<item_fields> snapshot()
{
    std::multiset<item_fields> all;
    for (const item* e : scheduled_items())
        all.emplace(category_path_text(e->ctgr), e->question, e->answer, e->id, e->tmtrpt, e->stmtrpt, e->livl,
            e->rllivl, e->ivl, e->rp, e->gr, e->sstick, e->hstick);
    return all;
}

struct category_fields {
    uint32_t qbgclr, abgclr, qfntclr, afntclr;
    std::optional<std::string> qimg, aimg, qfont, afont;
    bool operator==(const category_fields&) const = default;
};

std::map<std::string, category_fields> categories_snapshot()
{
    std::map<std::string, category_fields> all;
    for (uint16_t c = 0; c < category_count(); ++c) {
        const category& k = *category_at(c);
        all[category_path_text(c)] = {k.qbgclr, k.abgclr, k.qfntclr, k.afntclr, k.qimg, k.aimg, k.qfont, k.afont};
    }
    return all;
}

class Export : public exchange_test {
protected:
    void reopen_with(const std::string& xml_path)
    {
        ma_discard();
        write_file(second.file("elements.xml"), read_file(xml_path));
        ASSERT_EQ(ma_init(second.path().c_str()), init_status::bin_not_read);
    }
    temp_dir second;
};

TEST_F(Export, XmlGivesBackTheSameItemsCategoriesAndScheduling)
{
    db().time_of_start = 1768478400;
    const uint16_t lang = add_category("Sprachen", -1);
    const uint16_t verbs = add_category("Verben", lang);
    const uint16_t deep = add_category("tief & <innen>", verbs);
    const uint16_t other = add_category("Other", -1);
    category& k = *category_at(verbs);
    std::tie(k.qbgclr, k.afntclr, k.qfont, k.aimg) = std::tuple(0xFF102030u, 0xFFABCDEFu, "DejaVu Sans,12", "pics/bg.png");
    item* e = add_test_item(40, verbs, 12, "gehen <b>laufen</b>", "to go\nto walk");
    std::tie(e->id, e->stmtrpt, e->livl, e->rllivl, e->rp, e->gr, e->sstick, e->hstick) =
        std::tuple(4000000000u, 38, 2047, 5, 127, 5, 7u, 0xFFFFFFFFu);
    add_test_item(2, deep, 0, "has </q> inside", "and </a> too");
    add_test_item(2, deep, 0, "<![CDATA[ looks like a section", "ends ]]> with");
    add_test_item(65535, other, 2047, "two\n\nblank lines\n", "\n");
    add_test_item(0, 0, 1, std::string(import_text_limit, 'q'), std::string(4000, 'a') + "\n" + std::string(4000, 'b'));
    for (const std::string t : {"one\r\ntwo", "a\r\r\nb\r", "\r\n", "<![CDATA[x</q>\r\ny", "end\r\n"})
        add_test_item(1, 0, 1, t, t + "!");
    auto items_before = snapshot();
    const auto categories_before = categories_snapshot();
    // Doubled carriage returns would not fit the reader's room: only here line feeds go alone.
    add_test_item(2, 0, 1, "near", std::string(8184, 'a') + "\r\nc");
    items_before.emplace(category_path_text(0), "near", std::string(8184, 'a') + "\nc", 0u, 2, 2, 0, 0, 1, 0, 0, 0u, 0u);

    const export_result r = export_xml(files.file("out.xml"));
    ASSERT_TRUE(r.done) << log_text(r.error);
    EXPECT_EQ(std::pair(r.items, r.line_ends_changed), std::pair(11u, 1u));
    reopen_with(files.file("out.xml"));
    EXPECT_EQ(std::tuple(db().time_of_start, snapshot(), categories_snapshot()), std::tuple(1768478400u, items_before, categories_before));
    EXPECT_EQ(read_file(second.file("error.log")).find("WARNING"), std::string::npos) << read_file(second.file("error.log"));
}

TEST_F(Export, XmlRefusesAnItemTheReaderCouldNotTakeBackAndWritesNothing)
{
    add_test_item(1, 0, 1, "fine", "fine");
    // The section would end at the first "]]>", and the text after it holds the closing tag.
    add_test_item(1, 0, 1, "a ]]> b </q> c", "x");
    const export_result r = export_xml(files.file("out.xml"));
    EXPECT_EQ(std::tuple(r.done, log_text(r.error), file_exists(files.file("out.xml"))),
        std::tuple(false, "item_not_exportable \"a ]]> b </q> c\"", false));

    db().head->next->question = "q";
    db().head->next->answer = std::string(8100, 'a') + "\n" + std::string(89, 'b');
    EXPECT_FALSE(export_xml(files.file("out.xml")).done);
}

TEST_F(Export, TextFileComesBackThroughTheTextImport)
{
    const uint16_t verbs = add_category("Verben", add_category("Deutsch", -1));
    const uint16_t odd = add_category("a/b", -1);
    add_test_item(1, verbs, 1, "tab\there", "quote \"x\" and\nline");
    add_test_item(2, odd, 1, "#not a header", " leading blank");
    add_test_item(2, add_category("C++::STL", verbs), 1, "vector", "array");
    add_test_item(3, 0, 1, "plain", "text");
    add_test_pending(verbs, "queued", "too");
    const export_result r = export_text_file(files.file("out.txt"), true);
    ASSERT_TRUE(r.done) << log_text(r.error);
    EXPECT_EQ(std::pair(r.items, r.category_paths_changed), std::pair(5u, 0u));
    const std::string text = read_file(files.file("out.txt"));
    EXPECT_EQ(text.substr(0, text.find("\"tab")),
        "#separator:tab\n#html:false\n#columns:question\tanswer\tcategory\n#deck column:3\n");

    std::vector<std::tuple<std::string, std::string, std::string>> expected;
    for (const item* e : scheduled_items())
        expected.emplace_back(e->question, e->answer, category_path_text(e->ctgr));
    expected.emplace_back("queued", "too", "Deutsch::Verben");

    ma_discard();
    ASSERT_EQ(ma_init(second.path().c_str()), init_status::new_database);
    const import_summary s = import_text_file(files.file("out.txt"), {});
    ASSERT_TRUE(s.done) << log_text(s.error);
    // Categories root, Deutsch, Verben, a/b, C++::STL.
    EXPECT_EQ(std::tuple(problems(s), queue_contents(), category_count()), std::tuple(std::vector<std::string>{}, expected, 5u));

    add_test_item(1, add_category("c/d", add_category("a::b", -1)), 1, "q", "a");
    add_test_item(1, add_category(" padded", -1), 1, "q2", "a");
    EXPECT_EQ(export_text_file(files.file("again.txt"), false).category_paths_changed, 2u);
}

TEST_F(Export, AWriteRefusedAfterTheFirstChunksEndsWithItsReasonAndKeepsTheOldFile)
{
    // Some mebibytes, so that chunks reach the file before the limit stops one.
    for (int i = 0; i < 40000; ++i)
        add_test_item(0, 0, 1, "question " + std::to_string(i), std::string(60, 'a'));
    const std::string path = file("out.export", "the export before\n");
    for (const bool xml : {false, true}) {
        // Past the child's file size limit a write fails with EFBIG, as on a full disk.
        const int code = run_in_child([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{size_t{3} << 19, size_t{3} << 19};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 99;
            const export_result r = xml ? export_xml(path) : export_text_file(path, false);
            return !r.done && r.error.code == exchange_problem_code::cannot_write && r.error.os_error == EFBIG ? 0 : 1;
        });
        EXPECT_EQ(code, 0) << xml;
        EXPECT_EQ(read_file(path), "the export before\n");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files.path()), {}), 1) << "a temporary file was left";
    }
}

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
        EXPECT_EQ(std::tuple(export_format_of(c.name), with_export_extension(c.name, f::text), with_export_extension(c.name, f::xml)),
            std::tuple(c.asks, c.as_text, c.as_xml));
    }
    EXPECT_EQ(proposed_export_name("cardwrightdb", "2026-12-07", f::text), "cardwrightdb-2026-12-07.txt");
    EXPECT_EQ(proposed_export_name("", "2026-12-07", f::xml), "cardwright-2026-12-07.xml");
}

// Every length around the sixteen-byte steps, the byte sought at every place.
TEST(ByteScan, FindsEachSoughtByteAtEveryPlaceAndNothingElse)
{
    for (size_t length = 0; length <= 50; ++length) {
        std::string text(length, 'a');
        // Bytes beside the sought ones, and those with the high bit, are no match.
        for (size_t i = 0; i < length; ++i)
            text[i] = "a\x09\x0b\x0c\xe2\x80\xa6#"[i % 8];
        SCOPED_TRACE(length);
        EXPECT_FALSE(holds_any_of(text, '<', '\n', '\r', '"'));
        for (size_t at = 0; at < length; ++at)
            for (const char sought : {'<', '\n', '\r', '"'}) {
                std::string with = text;
                with[at] = sought;
                EXPECT_TRUE(holds_any_of(with, '<', '\n', '\r', '"')) << "at " << at << " byte " << int{sought};
            }
    }
}

}  // namespace
