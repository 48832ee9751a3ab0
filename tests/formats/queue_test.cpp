#include <sys/stat.h>

#include <filesystem>

#include "session/grading.h"
#include "formats/queue.h"
#include "formats_fixture.h"

namespace {

class QueueTest : public formats_test {
protected:
    std::string queue_path() const { return dir.file("queue.txt"); }
    uint32_t add(const std::string& text, uint16_t default_category = 0) const
    {
        write_file(queue_path(), text);
        return add_queue_from_file(queue_path().c_str(), default_category);
    }
    static std::vector<std::string> described()
    {
        std::vector<std::string> out;
        for (const pending_item* p : pending_items())
            out.push_back(name_of(p->ctgr) + "|" + p->question.str() + "|" + p->answer.str());
        return out;
    }
};

const char header[] =
    "queue.txt\nHere are items (if any) that are waiting for introduction into learning process.\nLines that "
    "don't begin with <q>, <a> or <category\nare ignored (unless a tag is already opened).\nCardwright DELETES "
    "element taken from this file (so it goes to the learning process only once).\nFormat:\n\t<q>Question?</q>\n\t<a>"
    "An answer!</a>\n\n\t<q>questions\n\tand answers</q>\n\t<a>can\n\tbe\n\tmulti-line</q>\n\n\t<category "
    "name=\"blah\">\n\titem(s) here\n\t</category>\n\nItems without category go into default category (i.e. the "
    "first category that is listed in any dialog with categories).\nThis file should be saved using UTF-8 "
    "encoding.\n\n";

TEST_F(QueueTest, ItemsAndCategoriesAreReadLineByLine)
{
    ASSERT_EQ(add(std::string(header) + " <q>indented</q>\n<a>answer before any question</a>\n"
                                        "<q>one</q> trailing\n<q>ignored while awaiting</q>\n<a>1</a> x\n"
                                        "<category name=\"Outer\">\n<category name=\"Inner\" extra>\n"
                                        "<q>two</q>\n<a>2</a>\n</category>\n<q>three</q>\n<a>3</a>\n</category>\n"
                                        "<q>four</q>\n<a>4</a>\n</category>\n<q>five</q>\n<a>5</a>\n<q>dangling</q>\n"),
        5u);
    EXPECT_EQ(described(), (std::vector<std::string>{"root|one|1", "Inner|two|2", "Outer|three|3", "root|four|4",
                               "root|five|5"}));
    ASSERT_EQ(std::pair(pending_count(), category_count()), std::pair(5u, uint16_t{3}));
    EXPECT_EQ(category_at(2)->parent, 1u);
    // The dangling question is no item, but the user's text: it is kept for the rewrite.
    EXPECT_EQ(log(), "WARNING: excessive </category> tag detected.\nWARNING: the item at line 41 of " + queue_path() +
            " is not complete at the end of the file; it is kept in the file as it is, but not offered.\n");
    ASSERT_EQ(db().kept_queue.size(), 1u);
    EXPECT_EQ(std::pair(db().kept_queue[0].lines, db().kept_queue[0].unterminated), std::pair(std::string("<q>dangling</q>\n"), true));

    // Appends; items outside categories take the given default.
    EXPECT_EQ(add("<q>six</q>\n<a>6</a>\n", 2), 1u);
    EXPECT_EQ(std::pair(pending_items().back()->ctgr, pending_count()), std::pair(uint16_t{2}, 6u));

    EXPECT_EQ(add_queue_from_file(dir.file("none.txt").c_str(), 0), 0u);
}

TEST_F(QueueTest, MultiLineTextsByteOrderMarksAndCarriageReturns)
{
    const std::string body = "<q>first\r\nsec\rond\r\nlast\r</q>\r\n<a>x\r\ny</a>\r\n";
    ASSERT_EQ(add("\xEF\xBB\xBF" + body), 1u);
    ASSERT_EQ(add(body), 1u);
    EXPECT_EQ(described(), (std::vector<std::string>(2, "root|first\nsecond\nlast\r|x\ny")));
    // A byte-order mark on the first line does not hide a category line either.
    ASSERT_EQ(add("\xEF\xBB\xBF<category name=\"Bom\r\n<q>q</q>\n<a>a</a>\n"), 1u);
    EXPECT_EQ(name_of(pending_items().back()->ctgr), "Bom");
}

TEST_F(QueueTest, OverlongTextsAreDroppedWithTheirItem)
{
    const std::string big(5000, 'b');
    ASSERT_EQ(add("<q>ok</q>\n<a>ok</a>\n"
                  "<q>" + big + "\n" + big + "</q>\n<a>dropped</a>\n"
                  "<q>next</q>\n<a>" + big + "\n" + big + "\n" + big + "</a>\n"
                  "<q>" + std::string(4000, 'f') + "\n" + std::string(4190, 'f') + "</q>\n<a>fits</a>\n"
                  "<q>" + std::string(4000, 'g') + "\n" + std::string(4191, 'g') + "</q>\n<a>one byte over</a>\n"
                  "<q>last</q>\n<a>fine</a>\n"),
        3u);
    EXPECT_EQ(described(), (std::vector<std::string>{"root|ok|ok",
                               "root|" + std::string(4000, 'f') + "\n" + std::string(4190, 'f') + "|fits", "root|last|fine"}));
    for (const int line : {3, 6, 13})
        EXPECT_NE(log().find("WARNING: the item at line " + std::to_string(line) + " of " + queue_path()), std::string::npos) << log();

    // Whole lines reaching the limit exactly are kept; one byte more drops the item.
    clear_log();
    free_pending_list();
    const std::string lines = "<q>" + std::string(4000, 'f') + "\n" + std::string(4189, 'f') + "\n";
    ASSERT_EQ(add(lines + "</q>\n<a>fits</a>\n" + lines + "f\n</q>\n<a>over</a>\n"), 1u);
    EXPECT_EQ(std::pair(pending_items()[0]->question.size(), pending_items()[0]->answer.str()), std::pair(queue_text_limit, std::string("fits")));

    // A line longer than the buffer arrives in pieces, each a line of its own.
    clear_log();
    free_pending_list();
    ASSERT_EQ(add(std::string(queue_line_size - 1, 'x') + "<q>piece</q>\n<a>a</a>\n"), 1u);
    EXPECT_EQ(pending_items()[0]->question, "piece");
}

TEST_F(QueueTest, CategoriesNestedPastTheStackStayInTheInnermost)
{
    std::string deep;
    for (int i = 0; i < 80; ++i)
        deep += "<category name=\"D" + std::to_string(i) + "\">\n";
    deep += "<q>deep</q>\n<a>a</a>\n";
    for (int i = 0; i < 80; ++i)
        deep += "</category>\n";
    deep += "<q>top</q>\n<a>a</a>\n";
    ASSERT_EQ(add(deep), 2u);
    EXPECT_EQ(std::pair(name_of(pending_items()[0]->ctgr), pending_items()[1]->ctgr), std::pair(std::string("D62"), uint16_t{0}));
}

TEST_F(QueueTest, WrittenQueueReadsBackTheSame)
{
    const uint16_t lang = add_category("Lang", -1);
    const uint16_t empty = add_category("Empty", -1);
    const uint16_t verbs = add_category("Verbs", lang);
    const uint16_t irregular = add_category("Irregular", verbs);
    const uint16_t nouns = add_category("Nouns", lang);
    ASSERT_EQ(empty, 2u);
    for (const auto& [c, q, a] : {std::tuple{lang, "lang q", "lang a"}, {irregular, "go", "went\ngone"}, {0, "root q", ""},
             {verbs, "multi\nline", "verb a"}, {nouns, "noun", "n"}, {irregular, "be", "was"}})
        add_test_pending(c, q, a);

    ASSERT_EQ(save_queue(), queue_save_status::done);
    const std::string written = read_file(queue_path());
    EXPECT_EQ(written, std::string(header) +
                           "<category name=\"root\">\n\n<q>root q</q>\n<a></a>\n\n</category>\n\n"
                           "<category name=\"Lang\">\n\n"
                           "<category name=\"Verbs\">\n\n"
                           "<category name=\"Irregular\">\n\n<q>go</q>\n<a>went\ngone</a>\n\n<q>be</q>\n<a>was</a>\n\n"
                           "</category>\n\n"
                           "<q>multi\nline</q>\n<a>verb a</a>\n\n</category>\n\n"
                           "<category name=\"Nouns\">\n\n<q>noun</q>\n<a>n</a>\n\n</category>\n\n"
                           "<q>lang q</q>\n<a>lang a</a>\n\n</category>\n\n");
    EXPECT_EQ(written.find("Empty"), std::string::npos);

    EXPECT_EQ(load_queue(), 6);
    EXPECT_EQ(described(), (std::vector<std::string>{"root|root q|", "Irregular|go|went\ngone", "Irregular|be|was",
                               "Verbs|multi\nline|verb a", "Nouns|noun|n", "Lang|lang q|lang a"}));
    EXPECT_EQ(category_count(), 6u);  // nothing new was made

    // The same through closing and opening the database.
    ASSERT_EQ(save_queue(), queue_save_status::done);
    EXPECT_EQ(read_file(queue_path()) + log(), written);

    // An item of a category the table does not have is written under the root.
    free_pending_list();
    add_test_pending(40, "orphan", "kept");
    ASSERT_EQ(save_queue(), queue_save_status::done);
    EXPECT_EQ(load_queue(), 1);
    EXPECT_EQ(described(), std::vector<std::string>{"root|orphan|kept"});
}

// Kept as raw lines and written back inside their category, never cut short or left open to
// swallow the next item.
TEST_F(QueueTest, ItemsTheReaderCannotTakeSurviveTheRewriteAsTheyStood)
{
    struct kept_case {
        const char* what;
        std::string kept;  // the item the reader cannot take
        std::string logged;
    };
    const kept_case cases[] = {
        {"a NUL byte", "<q>" + std::string(9000, 'L') + "\n" + std::string("with a \0 NUL byte\n", 18) +
                "</q>\n<a>its answer</a>\n", ""},
        {"a long text with a remark", "<q>" + std::string(9000, 'L') + "</q>\r\n\n<a>its answer</a> and a remark\n",
            "longer than 8191 bytes; it is kept in the file as it is, but not offered.\n"},
        {"a closing tag joined in the question", "<q>first\nsplit <\r/q> tag\nand on</q>\n<a>answer</a>\n",
            "holds a closing tag inside its text; it is kept in the file as it is, but not offered.\n"},
        {"a closing tag joined in the answer", "<q>second</q>\n<a>one\nmore <\r/a> here\n</a>\n", "closing tag"},
    };
    const std::string tail = "<q>half written\nand never closed";
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    for (const kept_case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(dir.file("error.log"));
        write_file(queue_path(), std::string(header) + "<category name=\"Deutsch\">\n<category name=\"Verben\">\n" +
                "<q>gehen</q>\n<a>to go</a>\n" + c.kept + "<q>kommen</q>\n<a>to come</a>\n</category>\n</category>\n" +
                "<q>outside</q>\n<a>none</a>\n<category name=\"Deutsch\">\n" + tail);
        ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
        EXPECT_EQ(described(),
            (std::vector<std::string>{"Verben|gehen|to go", "Verben|kommen|to come", "root|outside|none"}));
        EXPECT_NE(log().find(c.logged), std::string::npos) << log();
        EXPECT_EQ(log().find("skipped"), std::string::npos) << log();

        introduce_pending(2, db().pending_head);
        ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
        const std::string saved = read_file(queue_path());
        const size_t verben = saved.find("<category name=\"Verben\">");
        const size_t kept = saved.find(c.kept);
        ASSERT_NE(kept, std::string::npos) << "the kept item was not written whole";
        EXPECT_LT(verben, kept);
        EXPECT_LT(kept, saved.find("</category>", verben));
        EXPECT_TRUE(saved.ends_with("<category name=\"Deutsch\">\n\n" + tail + "\n")) << "the unfinished item moved";

        // Twice rewritten, the file keeps both as they were.
        ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
        EXPECT_EQ(described(), (std::vector<std::string>{"root|outside|none", "Verben|kommen|to come"}));
        ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
        EXPECT_EQ(read_file(queue_path()), saved);
    }
}

}  // namespace
