#include <tuple>

#include "formats_fixture.h"

namespace {

using OldXmlTest = formats_test;

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

TEST_F(OldXmlTest, TheOldestFilesGetARootCategory)
{
    ASSERT_EQ(load(old_file(old_item(1, 1, "-", "a") + old_item(2, 2, "-", "b") + "</cardwright>\n", "<cardix")), 0);
    EXPECT_EQ(std::tuple(category_count(), name_of(0), scheduled_items().at(1)->ctgr), std::tuple(1u, "root", 0u));

    // A category the file made keeps slot 0.
    ASSERT_EQ(load(old_file("<category name=\"First\" bgcolor=\"3\">\n" + old_item(1, 1, "-", "a") + "</cardwright>\n")),
        0);
    EXPECT_EQ(std::tuple(category_count(), name_of(0), category_at(0)->qbgclr), std::tuple(1u, "First", 3u));

    // Items that all name an empty category leave the table empty; ma_init adds the root.
    ASSERT_EQ(load(old_file(old_item(1, 1, "", "a") + "</cardwright>\n")), 0);
    EXPECT_EQ(category_count(), 0u);
}

TEST_F(OldXmlTest, OldTagsAndFailures)
{
    // Lower-case tags are not the old question and answer tags.
    ASSERT_EQ(load(old_file("<item id=\"1\" tm_t_rpt=\"1\">\n<q>lower</q>\n<A>upper</A>\n</item>\n")), 0);
    EXPECT_EQ(texts(), (text_list{{"", "upper"}}));
    EXPECT_TRUE(log_has("WARNING: </cardwright> tag in elements.xml file not found, some items could be missed.\n"));

    clear_log();
    EXPECT_EQ(load_old_xml(xml_path().c_str()), xml_load_status::done);  // the same file, read directly
    write_file(xml_path(), "<cardwright core_version=\"12\" time_of_start=\"1\">\n</cardwright>\n");
    EXPECT_EQ(load_old_xml(xml_path().c_str()), xml_load_status::not_read);
    EXPECT_TRUE(log_has("ERROR: your 'Cardwright core version'=12, while elements.xml file I'm just reading was "
                        "saved using 12 version."));

    clear_log();
    write_file(xml_path(), "<cardix core_version=\"3\">\n</cardwright>\n");
    EXPECT_EQ(load_old_xml(xml_path().c_str()), xml_load_status::not_read);
    EXPECT_EQ(log(), "ERROR: error while reading " + xml_path() + "\n");

    clear_log();
    EXPECT_EQ(load(old_file(old_item(1, 1, "C", "a") + "<item id=\"2\">\n<A>unfinished\n")), 1);
    EXPECT_TRUE(log_has("ERROR: a problem while reading an answer in elements.xml - aborting reading " + xml_path()));
    EXPECT_EQ(std::tuple(db().head, category_count()), std::tuple(static_cast<item*>(nullptr), 0u));

    clear_log();
    ASSERT_EQ(load(old_file("<category bgcolor=\"5\">\n<item tm_t_rpt=\"1\">\n<Q>x</Q>\n</item>\n</cardwright>\n")), 0);
    EXPECT_TRUE(log_has("WARNING: a <category> without name= in elements.xml is ignored.\n") &&
        log_has("WARNING: an <item> without id= in elements.xml is skipped") && db().head == nullptr) << log();
}

}  // namespace
