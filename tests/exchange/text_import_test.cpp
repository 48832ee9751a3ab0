// Delimited text files of every shape that spreadsheets and other trainers write.
#include <gtest/gtest.h>

#include <cerrno>
#include <set>

#include "ann/ann_files.h"
#include "exchange/delimited.h"
#include "exchange/text_import.h"
#include "exchange_fixture.h"
#include "calendar/calendar.h"
#include "exchange/text_decoding.h"
#include "formats/queue.h"
#include "platform/utf.h"
#include "session/lifecycle.h"

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

TEST_F(TextImport, DetectsTabCommaAndSemicolonAndObeysAChosenSeparator)
{
    const std::vector<std::string> files = {"Hund\tdog\nKatze\tcat, the pet\n", "Hund,dog\nKatze,\"cat, the pet\"\n",
        "Hund;dog\nKatze;cat, the pet\n"};
    for (const std::string& contents : files) {
        free_pending_list();
        const import_summary s = import(contents);
        ASSERT_TRUE(s.done) << log_text(s.error);
        EXPECT_EQ(s.added, 2u) << contents;
        EXPECT_EQ(queue_contents(), (std::vector<row>{{"Hund", "dog", "root"}, {"Katze", "cat, the pet", "root"}}))
            << contents;
    }
    // Semicolon files often hold commas in their texts: as many semicolons as commas is a
    // semicolon file, one comma more a comma file.
    EXPECT_EQ(parse_text_table("Katze;cat, the pet\n", text_separator::detect).separator, ';');
    EXPECT_EQ(parse_text_table("Katze;cat, the, pet\n", text_separator::detect).separator, ',');
    // Chosen by the user, the comma splits the semicolon file's second record differently.
    free_pending_list();
    text_import_options comma;
    comma.separator = text_separator::comma;
    const import_summary s = import("Hund;dog;x\nKatze;cat, the pet\n", comma);
    EXPECT_EQ(s.added, 1u);
    ASSERT_EQ(s.problems.size(), 1u);
    EXPECT_EQ(log_text(s.problems[0]), "text_missing at line 1 (answer)");
    EXPECT_EQ(queue_contents(), (std::vector<row>{{"Katze;cat", " the pet", "root"}}));
}

TEST_F(TextImport, ReadsQuotedFieldsWithSeparatorsQuotesAndLineBreaks)
{
    const std::string contents = "\xEF\xBB\xBF"
                                 "\"a, b\",\"say \"\"hi\"\"\"\r\n"
                                 "\"two\r\nlines\",plain\r\n"
                                 "\r\n"
                                 "\"x\"tail,\"\"\"quoted\"\"\"\n"
                                 "last,no line end";
    const import_summary s = import(contents);
    ASSERT_TRUE(s.done) << log_text(s.error);
    EXPECT_EQ(queue_contents(), (std::vector<row>{{"a, b", "say \"hi\"", "root"}, {"two\nlines", "plain", "root"},
                                    {"xtail", "\"quoted\"", "root"}, {"last", "no line end", "root"}}));
    // Problems name the line a record begins on, counting the lines inside quotes.
    free_pending_list();
    const import_summary t = import("\"a\nb\nc\",1\nq,\nr,2\n");
    EXPECT_EQ(t.added, 2u);
    ASSERT_EQ(t.problems.size(), 1u);
    EXPECT_EQ(log_text(t.problems[0]), "text_missing at line 4 (answer)");
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
        const std::vector<std::string> encodings = {text, "\xEF\xBB\xBF" + text, utf16_bytes(text, true, true),
            utf16_bytes(text, true, false), utf16_bytes(text, false, true), utf16_bytes(text, false, false)};
        for (size_t e = 0; e < encodings.size(); ++e) {
            free_pending_list();
            const import_summary s = import(encodings[e]);
            ASSERT_TRUE(s.done) << log_text(s.error);
            EXPECT_TRUE(s.problems.empty()) << log_text(s.problems[0]);
            EXPECT_EQ(queue_contents(), expected) << "encoding " << e << ", line end " << int(end[0]) << end[1];
        }
    }
    // Old Mac line ends: a record a line, and problems name the line.
    free_pending_list();
    std::string many;
    for (int i = 0; i < 1000; ++i)
        many += "q" + std::to_string(i) + "\t" + (i == 499 ? "" : "a") + "\r";
    const import_summary s = import(many);
    EXPECT_EQ(s.added, 999u);
    ASSERT_EQ(s.problems.size(), 1u);
    EXPECT_EQ(log_text(s.problems[0]), "text_missing at line 500 (answer)");
}

TEST(TextDecoding, APieceMayEndAnywhereInAUnitOrAPair)
{
    // The first few kilobytes tell the encoding; the cuts fall after them.
    const std::string text = std::string(2100, 'x') + "a\xF0\x9F\x98\x80\xC3\xA4z";
    for (const bool little : {true, false}) {
        const std::string bytes = utf16_bytes(text, little, true);
        for (size_t cut = bytes.size() - 12; cut <= bytes.size(); ++cut) {
            text_decoder d;
            std::string out;
            d.decode(std::string_view(bytes).substr(0, cut), false, out);
            d.decode(std::string_view(bytes).substr(cut), true, out);
            EXPECT_EQ(out, text) << "cut at " << cut;
        }
    }
    // A half unit or a lone high surrogate at the file's end is a replacement character.
    text_decoder d;
    std::string out;
    d.decode(utf16_bytes("a", true, true) + "\x3D\xD8" + "b", true, out);
    EXPECT_EQ(out, "a\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(TextImport, RefusesANulWithItsLineAndEveryItemCountedIsThereAfterARestart)
{
    ma_nn_init();
    for (const import_target target : {import_target::queue, import_target::learning}) {
        text_import_options options;
        options.target = target;
        const std::string nul(1, '\0');
        const std::string a = target == import_target::queue ? "a" : "b";
        const import_summary s = import("q1\t" + a + "1\rq" + nul + "2\ta2\r\nq3\ta" + nul + "\nq4\t" + a + "4\n", options);
        ASSERT_TRUE(s.done) << log_text(s.error);
        EXPECT_EQ(s.added, 2u);
        ASSERT_EQ(s.problems.size(), 2u);
        EXPECT_EQ(log_text(s.problems[0]), "text_holds_nul at line 2 (question)");
        EXPECT_EQ(log_text(s.problems[1]), "text_holds_nul at line 3 (answer)");
    }
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
    EXPECT_EQ(queue_contents(), (std::vector<row>{{"q1", "a1", "root"}, {"q4", "a4", "root"}}));
    std::vector<std::string> scheduled;
    for (const item* e : scheduled_items())
        scheduled.push_back(std::string(e->question.c_str()) + "=" + e->answer.c_str());
    std::sort(scheduled.begin(), scheduled.end());
    EXPECT_EQ(scheduled, (std::vector<std::string>{"q1=b1", "q4=b4"}));
}

TEST_F(TextImport, RecordsAndLineEndsMayStraddleThePiecesTheFileIsReadIn)
{
    // The reader takes 1 MiB at a time: a CR ends the first piece, a quoted field spans the
    // second boundary with a CR LF inside, and many short records follow.
    const size_t mib = size_t{1} << 20;
    std::string contents = "p\t" + std::string(mib - 3, 'x') + "\r\n";
    contents += "q\t\"" + std::string(mib - 8, 'y') + "\r\nz\"\"\"\r\n";
    std::vector<row> expected = {{"p", std::string(mib - 3, 'x'), "root"}, {"q", std::string(mib - 8, 'y') + "\nz\"", "root"}};
    for (int i = 0; contents.size() < 3 * mib + 100; ++i) {
        contents += "k" + std::to_string(i) + "\t\"v\r\nw\"\r";
        expected.emplace_back("k" + std::to_string(i), "v\nw", "root");
    }
    const import_summary s = import(contents);
    ASSERT_TRUE(s.done) << log_text(s.error);
    // The two long texts break the screen's limit; the rest all come through.
    EXPECT_EQ(s.added, expected.size() - 2);
    ASSERT_EQ(s.problems.size(), 2u);
    EXPECT_EQ(s.problems[1].place_number, 2u);
    expected.erase(expected.begin(), expected.begin() + 2);
    EXPECT_EQ(queue_contents(), expected);
}

TEST_F(TextImport, FollowsTheHeaderLinesAndTheHeaderRow)
{
    const import_summary s = import("#separator:semicolon\n#html:true\n#columns:Back;Front;Deck\n"
                                    "\"<b>dog</b>&amp;co<br>two\";Hund<div>x</div>;Tiere::Haus\n");
    ASSERT_TRUE(s.done) << log_text(s.error);
    EXPECT_EQ(queue_contents(), (std::vector<row>{{"Hund\nx", "<b>dog</b>&co\ntwo", "Tiere::Haus"}}));

    // Without "#html:true" the markup is the program's own: entities stay as they are.
    free_pending_list();
    import("#separator:Tab\nq&amp;\t<b>a</b>\n");
    EXPECT_EQ(queue_contents(), (std::vector<row>{{"q&amp;", "<b>a</b>", "root"}}));

    free_pending_list();
    text_import_options header;
    header.header_row = true;
    const import_summary h = import("category,answer,question\nA/B,one,eins\n", header);
    EXPECT_EQ(h.added, 1u);
    EXPECT_EQ(queue_contents(), (std::vector<row>{{"eins", "one", "A::B"}}));

    // A separator that is no separator refuses the file.
    free_pending_list();
    const import_summary bad = import("#separator:X\nq\ta\n");
    EXPECT_FALSE(bad.done);
    EXPECT_EQ(log_text(bad.error), "unknown_separator \"X\" line 1");
    EXPECT_TRUE(pending_items().empty());
}

TEST_F(TextImport, NestsCategoriesOnceAndFallsBackToTheDefault)
{
    const uint16_t other = add_category("Other", -1);
    text_import_options options;
    options.columns = column_mapping{1, 2, 0};
    options.default_category = other;
    const import_summary s =
        import("Deutsch::Verben\tgehen\tto go\nDeutsch/Verben\tsehen\tto see\n\tohne\twithout\n  Deutsch :: Nomen \tHaus\thouse\n", options);
    ASSERT_TRUE(s.done) << log_text(s.error);
    EXPECT_EQ(queue_contents(), (std::vector<row>{{"gehen", "to go", "Deutsch::Verben"}, {"sehen", "to see", "Deutsch::Verben"},
                                    {"ohne", "without", "Other"}, {"Haus", "house", "Deutsch::Nomen"}}));
    EXPECT_EQ(category_count(), 5u);  // root, Other, Deutsch, Verben, Nomen
}

TEST_F(TextImport, ACategoryTheFullTableCannotTakeIsNamedAndItsItemsGoToItsNearestParent)
{
    while (category_count() < UINT16_MAX - 1)
        add_category(("c" + std::to_string(category_count())).c_str(), -1);
    text_import_options options;
    options.columns = column_mapping{0, 1, 2};
    const import_summary s = import("q1\ta\tNew::Sub\nq2\ta\tOther\nq3\ta\tNew::Sub\n", options);
    ASSERT_TRUE(s.done);
    EXPECT_EQ(s.added, 3u);
    ASSERT_EQ(s.problems.size(), 2u);
    EXPECT_EQ(log_text(s.problems[0]), "category_not_made \"New::Sub\" \"New\" limit 65535");
    EXPECT_EQ(log_text(s.problems[1]), "category_not_made \"Other\" \"root\" limit 65535");
    EXPECT_EQ(queue_contents(), (std::vector<row>{{"q1", "a", "New"}, {"q2", "a", "root"}, {"q3", "a", "New"}}));
}

TEST_F(TextImport, SkipsAndCountsDuplicatesOfTheDatabaseAndOfTheFile)
{
    const uint16_t a = add_category("A", -1);
    add_test_item(3, a, 1, "q1", "a1");
    add_test_pending(0, "q2", "a2");
    text_import_options options;
    options.columns = column_mapping{0, 1, 2};
    const import_summary s = import("q1\ta1\tA\n"  // as a scheduled item
                                    "q2\ta2\troot\n"  // as a pending item
                                    "q1\ta1\tB\n"  // another category: not a duplicate
                                    "q1\tother\tA\n"  // another answer: not a duplicate
                                    "q3\ta3\tB\nq3\ta3\tB\n",  // twice in the file
        options);
    EXPECT_EQ(s.added, 3u);
    EXPECT_EQ(s.duplicates, 3u);
    EXPECT_EQ(pending_count(), 4u);

    // At a size where the duplicate table grows many times while the database's items join it
    // group by group: every copy of an item found, whichever text length it has.
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
    EXPECT_EQ(large.duplicates, existing + 300);
    EXPECT_EQ(large.added, 3000 - existing);

    // One group far larger than the table it joins: all the database's items of one category with
    // texts of the same lengths.
    for (int i = 0; i < 2000; ++i)
        add_test_item(5, a, 1, "k" + std::to_string(10000 + i), "v" + std::to_string(10000 + i));
    EXPECT_EQ(import("k99999\tv99999\tA\nk10007\tv10007\tA\n", options).added, 1u);
}

TEST_F(TextImport, LeavesOutTextsThatBreakTheLimitsAndSaysWhy)
{
    const std::string longest(import_text_limit - 2, 'x');  // with its line break: exactly the limit
    const std::string contents = "\"" + longest.substr(0, 10) + "\n" + longest.substr(10) + "\"\tfits\n" +
                                 std::string(import_text_limit + 1, 'y') + "\ttoo long\n" + "\xC3\x28\tbroken UTF-8\n" +
                                 "has </q> in it\tans\n" + "q\ta</a>\n" + "empty answer\t\n";
    const import_summary s = import(contents);
    ASSERT_TRUE(s.done);
    EXPECT_EQ(s.added, 1u);
    ASSERT_EQ(s.problems.size(), 5u);
    EXPECT_EQ(log_text(s.problems[0]), "text_too_long at line 3 (question) size 8192");
    EXPECT_EQ(log_text(s.problems[1]), "text_not_utf8 at line 4 (question)");
    EXPECT_EQ(log_text(s.problems[2]), "text_holds_closing_tag at line 5");
    EXPECT_EQ(log_text(s.problems[3]), "text_holds_closing_tag at line 6");
    EXPECT_EQ(log_text(s.problems[4]), "text_missing at line 7 (answer)");
    ASSERT_EQ(pending_count(), 1u);
    EXPECT_EQ(display_length(db().pending_head->question), import_text_limit);

    // A file of bad lines lists the first problems and counts the others.
    std::string bad_lines;
    for (size_t i = 0; i < max_listed_problems + 5; ++i)
        bad_lines += "q\t\n";
    const import_summary garbage = import(bad_lines);
    EXPECT_EQ(garbage.problems.size(), max_listed_problems);
    EXPECT_EQ(garbage.problems_not_listed, 5u);

    // The imported item survives queue.txt being written and read again.
    ASSERT_EQ(save_queue(), queue_save_status::done);
    load_queue();
    ASSERT_EQ(pending_count(), 1u);
    EXPECT_EQ(db().pending_head->question, longest.substr(0, 10) + "\n" + longest.substr(10));
}

TEST_F(TextImport, AnUnreadableFileChangesNothing)
{
    add_test_pending(0, "kept", "as it was");
    const import_summary s = import("good\tone\n\"open quote\tnever closed\nmore\tlines\n");
    EXPECT_FALSE(s.done);
    EXPECT_EQ(log_text(s.error), "quote_not_closed line 2");
    EXPECT_EQ(pending_count(), 1u);
    EXPECT_EQ(category_count(), 1u);

    const import_summary missing = import_text_file(files.file("absent.txt"), {});
    EXPECT_FALSE(missing.done);
    EXPECT_EQ(missing.error.code, exchange_problem_code::cannot_open);
    EXPECT_EQ(missing.error.os_error, ENOENT);
}

TEST_F(TextImport, PutsItemsStraightIntoLearning)
{
    ma_nn_init();
    go_to_day(7);
    text_import_options options;
    options.target = import_target::learning;
    options.first_grade = 4;
    const import_summary s = import("eins\tone\nzwei\ttwo\n", options);
    ASSERT_TRUE(s.done);
    EXPECT_EQ(s.added, 2u);
    EXPECT_EQ(pending_count(), 0u);
    ASSERT_EQ(db().item_count, 2u);
    for (const item* e : scheduled_items())
        EXPECT_EQ(std::tuple(e->gr, e->tmtrpt, e->stmtrpt, e->rp), std::tuple(4, 7 + e->ivl, 7 + e->ivl, 0));
    // Each item its own id: the creation second, or the next free one after the newest.
    std::set<uint32_t> ids;
    for (const item* e : scheduled_items())
        ids.insert(e->id);
    EXPECT_EQ(ids, (std::set<uint32_t>{time_now(), time_now() + 1}));
    db().head->id = time_now() + 100;
    ASSERT_TRUE(import("drei\tthree\nvier\tfour\n", options).done);
    ids.clear();
    for (const item* e : scheduled_items())
        ids.insert(e->id);
    EXPECT_EQ(ids.size(), 4u);
    EXPECT_TRUE(ids.contains(time_now() + 101) && ids.contains(time_now() + 102));
}

TEST_F(TextImport, PreviewReadsOnlyTheFirstRows)
{
    std::string contents = "#columns:front\tback\n";
    for (int i = 0; i < 100; ++i)
        contents += "q" + std::to_string(i) + "\ta\n";
    const text_table t = read_text_table(file("many.txt", contents), text_separator::detect, 5);
    ASSERT_TRUE(t.read);
    EXPECT_EQ(t.rows.size(), 5u);
    EXPECT_TRUE(t.cut_short);
    EXPECT_EQ(t.column_names, (std::vector<std::string>{"front", "back"}));
    EXPECT_EQ(t.row_lines[4], 6u);
}

}  // namespace
