// elements.xml in the current form and in the old forms that are handed over to their own rules.
#include <map>
#include <tuple>

#include "formats/xml_scan.h"
#include "formats_fixture.h"

namespace {

using XmlTest = formats_test;
using OldXmlTest = formats_test;

TEST_F(XmlTest, TheHeaderAndTheEndOfTheFileDecideWhetherItIsRead)
{
    struct header_case {
        const char* what;
        std::string file;
        int result;  // of load: 0 read, 1 not read
        uint32_t time_of_start;  // when read
        uint32_t items;
        std::string logged;  // the whole log
    };
    const std::string item = xml_item(1, 3, "Q", "A");
    const header_case cases[] = {
        {"a commented root with an old version is not seen; the real root is",
            "<!-- <cardwright core_version=\"5\" time_of_start=\"1\">\nstill comment -->\n"
            "<cardwright core_version=\"11\" time_of_start=\"42\">\n" + item + "</cardwright>\n",
            0, 42, 1, ""},
        {"a byte-order mark does not hide a comment at the start of the first line",
            "\xEF\xBB\xBF<!-- <cardwright core_version=\"13\"> -->\n"
            "<cardwright core_version=\"12\" time_of_start=\"43\">\n</cardwright>\n",
            0, 43, 0, ""},
        {"without a version the current rules apply; attributes may stand on later lines",
            "<cardwright\n time_of_start=\"44\">\n" + item + "</cardwright>\n", 0, 44, 1, ""},
        {"a newer version", xml_file(item, "13"), 1, 0, 0,
            "ERROR: your 'Cardwright core version'=12, while elements.xml file I'm just reading was saved using 13 "
            "version. I'm not prepared to this version! Please upgrade me.\n"},
        {"no start time", "<cardwright core_version=\"12\">\n" + item + "</cardwright>\n", 1, 0, 0,
            "ERROR: problem while reading " + xml_path() + ", aborting reading it.\n"},
        {"on one line the version must come first",
            "<cardwright time_of_start=\"9\" core_version=\"12\">\n</cardwright>\n", 1, 0, 0,
            "ERROR: problem while reading " + xml_path() + ", aborting reading it.\n"},
        {"the end of the file 20,000 bytes into a line is met in a later piece",
            xml_file(xml_item(1, 1, "q", "a") + std::string(20000, '.') + "</cardwright>\n"), 0, 1700000000, 1, ""},
        {"an unfinished section", xml_file("<item id=\"1\">\n<q><![CDATA[never closed</q>\nmore </q>"), 1, 0, 0,
            "ERROR: extract_cdata() hit EOF; your elements.xml file doesn't look well.\n"
            "ERROR: a problem while reading a question in elements.xml - aborting reading " + xml_path() + "\n"},
        {"an unfinished text", xml_file("<item id=\"1\">\n<q>open\n"), 1, 0, 0,
            "ERROR: an error in extract_cdata().\n"
            "ERROR: a problem while reading a question in elements.xml - aborting reading " + xml_path() + "\n"},
        {"a file ending right after its header", xml_file(""), 0, 1700000000, 0,
            "WARNING: </cardwright> tag in elements.xml file not found, some elements could be lost.\n"},
    };
    for (const header_case& c : cases) {
        SCOPED_TRACE(c.what);
        clear_log();
        EXPECT_EQ(load(c.file), c.result);
        EXPECT_EQ(std::tuple(c.result == 0 ? db().time_of_start : 0u, db().item_count, log()),
            std::tuple(c.time_of_start, c.items, c.logged));
    }
    EXPECT_EQ(category_count(), 0u);  // after the last: nothing but its header
    EXPECT_EQ(load_xml(dir.file("missing.xml").c_str()), xml_load_status::not_read);
}

TEST_F(XmlTest, ItemAttributesAreReadInOrderAndGetDefinedValues)
{
    // sstick and hstick on a line of their own; a question on the item's line.
    ASSERT_EQ(load(xml_file("<category name=\"C\">\n"
                            "<item id=\"77\" tmtrpt=\"70005\" stmtrpt=\"-12\"\n"
                            "  livl=\"3\" rllivl=\"4\" ivl=\"5\" rp=\"128\" gr=\"2\">\n"
                            "<q>Q1</q>\n<a>A1</a>\n</item>\n"
                            "<item id=\"78\" tmtrpt=\"2\">\n<q>Q2</q>\n</item>\n"
                            "<item id=\"5\" tmtrpt=\"3\" stmtrpt=\"1\" livl=\"1\" rllivl=\"1\" ivl=\"1\" rp=\"1\" "
                            "gr=\"1\"\n sstick=\"4000000000\" hstick=\"9\"><q>Same line</q>\n<a>x</a>\n</item>\n"
                            "</category>\n</cardwright>\n")),
        0);
    const auto list = scheduled_items();
    ASSERT_EQ(std::tuple(list.size(), db().item_count), std::tuple(3u, 3u));
    EXPECT_EQ(texts(), (text_list{{"Q2", ""}, {"Same line", "x"}, {"Q1", "A1"}}));
    const item &b = *list[0], &c = *list[1], &a = *list[2];
    EXPECT_EQ(std::make_tuple(b.id, b.livl, b.gr, c.sstick, c.hstick), std::make_tuple(78u, 0, 0, 4000000000u, 9u));
    // tmtrpt wraps at 16 bits; the sign of stmtrpt is skipped; rp one past its largest is its largest.
    EXPECT_EQ(std::make_tuple(a.id, a.tmtrpt, a.stmtrpt, a.livl, a.rllivl, a.ivl, a.rp, a.gr, a.sstick, a.hstick, a.ctgr),
        std::make_tuple(77u, 70005 - 65536, 12, 3, 4, 5, 127, 2, 0u, 0u, 0));
}

TEST_F(XmlTest, NestedCategoriesFollowTheStackAndANamelessFirstOneIsTheRoot)
{
    ASSERT_EQ(load(xml_file("<category name=\"B\" qbgclr=\"#102030\" abgclr=\"#a0B0c0\" qfntclr=\"#010203\" "
                            "afntclr=\"#0\" qfont=\"Sans\" afont=\"\" qimg=\"q.png\" aimg=\"a.png\">\n"
                            "<category name=\"A\">\n" +
                            xml_item(1, 1, "in A", "x") + "</category>\n" + xml_item(2, 2, "in B", "x") +
                            "</category>\n" + xml_item(3, 3, "outside", "x") +
                            "<category name=\"A\" aimg=\"late.png\" qfont=\"before\">\n</category>\n"
                            "</category>\n</cardwright>\n")),
        0);
    ASSERT_EQ(category_count(), 3u);
    std::vector<std::pair<std::string, uint16_t>> table;
    for (uint16_t c = 0; c < 3; ++c)
        table.emplace_back(name_of(c), category_at(c)->parent);
    EXPECT_EQ(table, (std::vector<std::pair<std::string, uint16_t>>{{"B", 0}, {"A", 0}, {"A", 2}}));
    const category& b = *category_at(0);
    // A short colour reads as far as it goes; an empty value leaves the attribute unchanged.
    EXPECT_EQ(std::tuple(b.qbgclr, b.abgclr, b.qfntclr, b.afntclr), std::tuple(0xFF302010u, 0xFFC0B0A0u, 0xFF030201u, 0xFF000000u));
    using text = std::optional<std::string>;
    EXPECT_EQ(std::tuple(b.qfont, b.afont, b.qimg, b.aimg), std::tuple(text("Sans"), text(), text("q.png"), text("a.png")));
    // Attributes out of order: one standing before a match is not seen.
    const category& late = *category_at(2);
    EXPECT_EQ(std::tuple(late.qfont, late.aimg, late.qbgclr), std::tuple(text("before"), text(), 0u));

    EXPECT_EQ(item_categories(), (std::vector<uint32_t>{1, 0, 0}));
    // The last </category> has nothing to close.
    EXPECT_EQ(log(), "WARNING: excessive </category> tag detected.\n");

    // A nameless first element is the root category, which takes its attributes.
    ASSERT_EQ(load(xml_file("<category id=\"1\" qbgclr=\"#ff0000\">\n" + xml_item(1, 1, "q", "a") + "</category>\n" +
                            "<category name=\"second\">\n</category>\n</cardwright>\n")),
        0);
    ASSERT_EQ(category_count(), 2u);
    EXPECT_EQ(std::tuple(name_of(0), category_at(0)->qbgclr, name_of(1), scheduled_items().at(0)->ctgr),
        std::tuple("root", 0xFF0000FFu, "second", 0u));
}

TEST_F(XmlTest, NestingBeyondTheStackStaysInTheInnermostCategory)
{
    std::string body;
    for (int i = 1; i <= 100; ++i)
        body += "<category name=\"L" + std::to_string(i) + "\">\n";
    body += xml_item(1, 1, "deep", "x");
    for (int i = 1; i <= 99; ++i)
        body += "</category>\n";
    body += xml_item(2, 2, "in L1", "x") + "</category>\n" + xml_item(3, 3, "top", "x") + "</cardwright>\n";
    ASSERT_EQ(load(xml_file(body)), 0);
    ASSERT_EQ(category_count(), 63u);
    EXPECT_EQ(std::tuple(name_of(62), category_at(62)->parent, item_categories()), std::tuple("L63", 61u, std::vector<uint32_t>{62, 0, 0}));
    const std::string text = log();
    EXPECT_NE(text.find("WARNING: categories nested deeper than 63 levels"), std::string::npos);
    EXPECT_EQ(text.find("WARNING", text.find("WARNING") + 1), std::string::npos) << text;
}

TEST_F(XmlTest, QuestionAndAnswerTexts)
{
    // An item without id is skipped, even with one in its text.
    ASSERT_EQ(load(xml_file("<item tmtrpt=\"1\">\n<q>id=\"55\" lost</q>\n<a>lost</a>\n</item>\n"
                            "<item id=\"1\" tmtrpt=\"1\">\n"
                            "<q><![CDATA[a </q> b]]> tail</q> ignored\n"
                            "<a>first\r\n"
                            "second</a>\r\n"
                            "</item>\n"
                            "<item id=\"2\" tmtrpt=\"2\">\n"
                            "<q><![CDATA[multi\n"
                            "line]]></q>\n"
                            "<a>x</a><a>lost</a>\n"
                            "</item>\n"
                            "<item id=\"3\" tmtrpt=\"3\">\n"
                            "<q>q</q><a>lost</a>\n"
                            "</item>\n"
                            "<item id=\"4\" tmtrpt=\"4\"><q>on one line</q><a>a</a></item>\n"
                            "</cardwright>\n")),
        0);
    EXPECT_EQ(texts(), (text_list{{"a </q> b tail", "first\nsecond"}, {"multi\nline", "x"}, {"q", ""}}));
    // What the line scanner passes over is said, down to an item that never ends.
    EXPECT_EQ(std::tuple(db().item_count, log()),
        std::tuple(3u, "WARNING: an <item> without id= in elements.xml is skipped (file position 135).\n"
                       "WARNING: what follows </a> on its line in elements.xml is not read (file position 326)\n"
                       "WARNING: what follows </q> on its line in elements.xml is not read (file position 379)\n"
                       "WARNING: what follows </q> on its line in elements.xml is not read (file position 445)\n"
                       "WARNING: item 4 in elements.xml has no </item> line before the file ends; it is not read\n"
                       "WARNING: </cardwright> tag in elements.xml file not found, some elements could be lost.\n"));
}

// An overlong text is cut at a UTF-8 boundary with a warning, and read past to its closing tag.
TEST_F(XmlTest, OverLongTextsAreCutAndTheItemsAroundThemKept)
{
    const std::string euro = "\xE2\x82\xAC";  // three bytes
    // The limit falls inside the 2,731st euro sign: 2,730 whole signs are kept.
    std::string signs;
    for (int i = 0; i < 3000; ++i)
        signs += euro;
    const std::string megabyte(1 << 20, 'm');
    std::string cdata_lines = "<![CDATA[";
    for (int i = 0; i < 400; ++i)
        cdata_lines += "line " + std::to_string(i) + " </q> inside the section " + std::string(20, 'c') + "\n";
    cdata_lines += "end]]> after";
    // On one line a text gets the line's room; over lines, 8,191 bytes up to the closing tag's end.
    const std::string one_line(12000, 'x');
    const std::string fits = std::string(4000, 'a') + "\n" + std::string(4186, 'b');  // + "</q>" = 8191
    const std::string spanning = std::string(5000, 'p') + "\n" + std::string(3000, 'q');
    const std::string body = xml_item(1, 1, "before", "a1") + xml_item(2, 2, megabyte, "a2")
        + xml_item(3, 3, "q3", signs + "\n" + signs) + xml_item(4, 4, cdata_lines, "a4")
        + xml_item(5, 5, "after", "a5") + xml_item(6, 6, one_line, "a6") + xml_item(7, 7, fits, "a7")
        + "<item id=\"8\">\n" + std::string(10000, ' ') + "<q>" + spanning + "</q>\n<a>a</a>\n</item>\n"
        + "<item id=\"9\">\n<a>" + std::string(9000, 'y') + "\nmore</a>\n</item>\n</cardwright>\n";
    write_file(xml_path(), xml_file(body));
    const std::string before = read_file(xml_path());
    ASSERT_EQ(load_xml(xml_path().c_str()), xml_load_status::done);

    std::map<uint32_t, std::pair<std::string, std::string>> by_id;
    for (const item* e : scheduled_items())
        by_id[e->id] = {e->question.str(), e->answer.str()};
    ASSERT_EQ(by_id.size(), 9u) << log();
    EXPECT_EQ(std::tuple(by_id[1].first + "|" + by_id[1].second, by_id[2].first, by_id[3].second, by_id[5].second),
        std::tuple("before|a1", std::string(8191, 'm'), signs.substr(0, 2730 * 3), "a5"));
    EXPECT_EQ(by_id[4].first.substr(0, 38) + "|" + by_id[4].second, "line 0 </q> inside the section ccccccc|a4");
    EXPECT_EQ(by_id[4].first.find("<![CDATA["), std::string::npos);
    EXPECT_EQ(std::tuple(by_id[6].first, by_id[7].first, by_id[8].first, by_id[9].second),
        std::tuple(one_line, fits, spanning, std::string(8191, 'y')));
    for (const char* warning : {"WARNING: the question of item 2 in elements.xml is longer than 8191 bytes",
             "WARNING: the answer of item 3 in elements.xml is longer than 8191 bytes; only its first 8190 bytes",
             "WARNING: the question of item 4 in elements.xml is longer than 8191 bytes",
             "WARNING: the answer of item 9 in elements.xml is longer than 8191 bytes"})
        EXPECT_TRUE(log_has(warning)) << warning << "\n" << log();
    EXPECT_FALSE(log_has("ERROR"));
    EXPECT_EQ(read_file(xml_path()), before);
}

std::string old_file(const std::string& body, const std::string& root = "<cardwright")
{
    return root + " core_version=\"10\" time_of_start=\"1600000000\">\n" + body;
}

std::string old_item(unsigned id, unsigned due, const std::string& ctgr, const std::string& question)
{
    std::string line = "<item id=\"" + std::to_string(id) + "\" tm_t_rpt=\"" + std::to_string(due) +
                       "\" stm_t_rpt=\"1\"";
    if (ctgr != "-")
        line += " ctgr=\"" + ctgr + "\"";
    line += " l_ivl=\"2\" rl_l_ivl=\"3\" ivl=\"4\" rp=\"200\" gr=\"5\">\n";
    return line + "<Q>" + question + "</Q>\n<A>answer " + question + "</A>\n</item>\n";
}

TEST_F(OldXmlTest, OldFilesAreHandedOverAndReadByTheirOwnRules)
{
    ASSERT_EQ(load(old_file("<category name=\"Flat\" bgcolor=\"255\">\n"
                            "<category bgcolor=\"0\" name=\"Flat\">\n"
                            "<category name=\"\" bgcolor=\"7\">\n" +
                            old_item(1, 9, "Verbs", "v") + old_item(2, 3, "Flat", "f") + old_item(3, 5, "Verbs", "w") +
                            old_item(4, 1, "", "none") + "</category>\n</cardwright>\n")),
        0);
    EXPECT_EQ(std::pair(log(), db().time_of_start),
        std::pair(std::string("WARNING: old (pre CW-1-3) elements.xml file detected, will read using old routines\n"), 1600000000u));
    ASSERT_EQ(category_count(), 2u);
    // bgcolor 0 on the second line changed nothing.
    EXPECT_EQ(std::tuple(name_of(0), category_at(0)->qbgclr, category_at(0)->abgclr, name_of(1), category_at(1)->parent),
        std::tuple("Flat", 255u, 255u, "Verbs", 1u));

    const auto list = scheduled_items();
    ASSERT_EQ(std::pair(list.size(), db().item_count), std::pair(size_t{4}, 4u));
    EXPECT_EQ(std::pair(list[0]->id, item_categories()), std::pair(4u, std::vector<uint32_t>{0, 0, 1, 1}));
    const item& w = *list[2];
    EXPECT_EQ(std::make_tuple(w.id, w.tmtrpt, w.stmtrpt, w.livl, w.rllivl, w.ivl, w.rp, w.gr, w.sstick),
        std::make_tuple(3u, 5, 1, 2, 3, 4, 127, 5, 0u));
    EXPECT_EQ(w.question.str() + "|" + w.answer.str(), "w|answer w");
}

TEST_F(OldXmlTest, TheOldestFilesGetARootCategoryAndOldTagsAndFailuresAreTold)
{
    ASSERT_EQ(load(old_file(old_item(1, 1, "-", "a") + old_item(2, 2, "-", "b") + "</cardwright>\n", "<cardix")), 0);
    EXPECT_EQ(std::tuple(category_count(), name_of(0), scheduled_items().at(1)->ctgr), std::tuple(1u, "root", 0u));

    // A category the file made keeps slot 0.
    ASSERT_EQ(load(old_file("<category name=\"First\" bgcolor=\"3\">\n" + old_item(1, 1, "-", "a") + "</cardwright>\n")), 0);
    EXPECT_EQ(std::tuple(category_count(), name_of(0), category_at(0)->qbgclr), std::tuple(1u, "First", 3u));

    // Items that all name an empty category leave the table empty; ma_init adds the root.
    ASSERT_EQ(load(old_file(old_item(1, 1, "", "a") + "</cardwright>\n")), 0);
    EXPECT_EQ(category_count(), 0u);

    // Lower-case tags are not the old question and answer tags.
    ASSERT_EQ(load(old_file("<item id=\"1\" tm_t_rpt=\"1\">\n<q>lower</q>\n<A>upper</A>\n</item>\n")), 0);
    EXPECT_EQ(texts(), (text_list{{"", "upper"}}));
    EXPECT_TRUE(log_has("WARNING: </cardwright> tag in elements.xml file not found, some items could be missed.\n"));

    for (const auto& [file, logged] : {std::pair<std::string, std::string>{"<cardwright core_version=\"12\" time_of_start=\"1\">\n"
             "</cardwright>\n", "ERROR: your 'Cardwright core version'=12, while elements.xml file I'm just reading was saved "
             "using 12 version."}, {"<cardix core_version=\"3\">\n</cardwright>\n", "ERROR: error while reading " + xml_path() + "\n"}}) {
        clear_log();
        write_file(xml_path(), file);
        EXPECT_EQ(load_old_xml(xml_path().c_str()), xml_load_status::not_read);
        EXPECT_TRUE(log_has(logged)) << log();
    }

    clear_log();
    EXPECT_EQ(load(old_file(old_item(1, 1, "C", "a") + "<item id=\"2\">\n<A>unfinished\n")), 1);
    EXPECT_TRUE(log_has("ERROR: a problem while reading an answer in elements.xml - aborting reading " + xml_path()));
    EXPECT_EQ(std::tuple(db().head, category_count()), std::tuple(static_cast<item*>(nullptr), 0u));

    clear_log();
    ASSERT_EQ(load(old_file("<category bgcolor=\"5\">\n<item tm_t_rpt=\"1\">\n<Q>x</Q>\n</item>\n</cardwright>\n")), 0);
    EXPECT_TRUE(log_has("WARNING: a <category> without name= in elements.xml is ignored.\n")) << log();
    EXPECT_TRUE(log_has("WARNING: an <item> without id= in elements.xml is skipped")) << log();
    EXPECT_EQ(db().head, nullptr);
}

}  // namespace
