#include <filesystem>
#include <tuple>

#include "calendar/calendar.h"
#include "database/binfile.h"
#include "session/saving.h"
#include "support/database_helpers.h"

namespace {

std::string header(uint32_t start, uint16_t categories) { return le16(12) + le32(start) + le16(categories); }
std::string category_bytes(uint16_t parent, const std::string& name)
{
    return le16(parent) + text16(name) + std::string(16, '\0') + std::string(8, '\0');
}
std::string item_bytes(uint16_t tmtrpt, uint16_t ctgr, uint32_t id, const std::string& q, const std::string& a,
    uint16_t ivl = 1, uint16_t rp = 0)
{
    return le16(tmtrpt) + le16(tmtrpt) + le16(ctgr) + le32(id) + text16(q) + text16(a) + le16(0) + le16(0) + le16(ivl) +
        le16(rp) + le16(4) + le32(0) + le32(0);
}

// tmtrpt, stmtrpt, id, livl, rllivl, ivl, rp, gr, sstick, hstick
using item_fields = std::tuple<uint16_t, uint16_t, uint32_t, uint16_t, uint16_t, uint16_t, uint16_t, uint16_t, uint32_t, uint32_t>;
item_fields fields_of(const item& e)
{
    return {e.tmtrpt, e.stmtrpt, e.id, e.livl, e.rllivl, e.ivl, e.rp, e.gr, e.sstick, e.hstick};
}
void set_fields(item* e, const item_fields& f)
{
    std::tie(e->tmtrpt, e->stmtrpt, e->id, e->livl, e->rllivl, e->ivl, e->rp, e->gr, e->sstick, e->hstick) = f;
}

// Every field at the largest value the file keeps.
const item_fields extremes{65535, 1, 0xFFFFFFFFu, 2047, 65535, 2047, 127, 5, 0xDEADBEEFu, 0x01020304u};

class BinfileTest : public open_database_test {
protected:
    std::string bin() const { return dir.file("elements.bin"); }
    int load(const std::string& bytes)
    {
        write_file(bin(), bytes);
        return static_cast<int>(load_bin(bin().c_str()));
    }
    // Two nested categories, texts present, absent and empty, and fields at their limits.
    void build_sample()
    {
        db().time_of_start = 0xFEDCBA98u;
        const uint16_t lang = add_category("languages", -1);
        const uint16_t fr = add_category("french", lang);
        category& c = *category_at(fr);
        std::tie(c.qbgclr, c.abgclr, c.qfntclr, c.afntclr, c.qimg, c.afont, c.qfont) =
            std::tuple(0xFF112233u, 1u, 0xFFFFFFFFu, 0x80000000u, "q.png", "Sans,12", "");
        set_fields(add_test_item(65535, fr, 2047, "question \xC3\xA9", ""), extremes);
        add_test_item(0, 0, 0, "", "answer only");
        add_test_item(7, lang, 3, "line\nbreak", "tab\there");
    }
};

TEST_F(BinfileTest, TheHeaderTheRootAndAnItemHaveTheDocumentedBytes)
{
    db().time_of_start = 0x01020304u;
    set_fields(add_test_item(0x0102, 0, 0x0506, "Q", "An"),
        {0x0102, 0x0304, 0x0A0B0C0Du, 0x1112, 0x1314, 0x0506, 0x0015, 3, 0x21222324u, 0x31323334u});
    ASSERT_EQ(write_bin(bin().c_str()), bin_write_status::done);
    const std::string record = le16(0x0102) + le16(0x0304) + le16(0) + le32(0x0A0B0C0Du) + text16("Q") + text16("An") +
        le16(0x1112) + le16(0x1314) + le16(0x0506) + le16(0x0015) + le16(3) + le32(0x21222324u) + le32(0x31323334u);
    EXPECT_EQ(read_file(bin()), header(0x01020304u, 1) + category_bytes(0, "root") + record);
}

TEST_F(BinfileTest, RoundTripKeepsEveryFieldAndRewritesTheSameBytes)
{
    build_sample();
    ASSERT_EQ(write_bin(bin().c_str()), bin_write_status::done);
    const std::string first = read_file(bin());
    erase_memory_after_ll();
    db().item_count = 0;
    free_categories();

    ASSERT_EQ(load_bin(bin().c_str()), bin_load_status::done);
    EXPECT_EQ(db().time_of_start, 0xFEDCBA98u);
    ASSERT_EQ(category_count(), 3);
    const category& fr = *category_at(2);
    EXPECT_EQ(std::tuple(fr.name, fr.parent, category_at(1)->parent), std::tuple("french", 1, 1));
    EXPECT_EQ(std::tuple(fr.qbgclr, fr.abgclr, fr.qfntclr, fr.afntclr), std::tuple(0xFF112233u, 1u, 0xFFFFFFFFu, 0x80000000u));
    using text = std::optional<std::string>;
    EXPECT_EQ(std::tuple(fr.qimg, fr.aimg, fr.qfont, fr.afont), std::tuple(text("q.png"), text(), text(), text("Sans,12")));

    const auto all = scheduled_items();
    ASSERT_EQ(std::tuple(all.size(), db().item_count), std::tuple(3u, 3u));
    std::string texts;
    for (const item* e : all)
        texts += e->question.str() + "|" + e->answer.str() + ";";
    EXPECT_EQ(texts, "|answer only;line\nbreak|tab\there;question \xC3\xA9|;");
    EXPECT_EQ(std::pair(all[2]->ctgr, fields_of(*all[2])), std::pair(uint16_t{2}, extremes));

    ASSERT_EQ(write_bin(bin().c_str()), bin_write_status::done);
    EXPECT_EQ(std::tuple(read_file(bin()), log()), std::tuple(first, ""));
}

// One case per boundary; parents always come first after a read.
TEST_F(BinfileTest, TheReaderRepairsWhatItCan)
{
    using item_state = std::tuple<uint16_t, uint16_t, uint16_t>;  // ctgr, ivl, rp
    struct repair_case {
        const char* what;
        std::string file;
        bin_load_status result;
        std::vector<std::string> paths;  // the categories after the read
        std::vector<item_state> items;
        std::vector<std::string> logged;  // lines the log holds
    };
    std::string five = header(5, 5);
    for (int i = 0; i < 5; ++i)
        five += category_bytes(static_cast<uint16_t>(i), "c" + std::to_string(i));
    const repair_case cases[] = {
        {"fields one past their largest value, or at it",
            five + item_bytes(1, 7, 100, "a", "b", 1, 128) + item_bytes(2, 3, 101, "c", "d", 2048, 127) +
                item_bytes(3, 5, 102, "e", "f", 2047),
            bin_load_status::done, {"c0", "c1", "c2", "c3", "c4"}, {{4, 1, 127}, {3, 2047, 127}, {4, 2047, 0}},
            {"WARNING: e->ctgr out of scale (Categories=5, e->ctgr=7), correcting to 4\n"
             "WARNING: e->ivl out of scale (2048), correcting\n"
             "WARNING: e->ctgr out of scale (Categories=5, e->ctgr=5), correcting to 4\n"}},
        {"names cleaned as add_category would; an empty one keeps its slot",
            header(5, 3) + category_bytes(0, "say \"hi\"") + category_bytes(1, "ab\ncd") +
                category_bytes(2, std::string("\0x", 2)) + item_bytes(0, 2, 1, "q", "a"),
            bin_load_status::done, {"say 'hi'", "ab", "?"}, {{2, 1, 0}}, {"WARNING: load_bin(): category 2 has no name"}},
        {"twin names under one parent",
            header(5, 3) + category_bytes(0, "root") + category_bytes(0, "twin") + category_bytes(0, "twin") +
                item_bytes(0, 1, 1, "first", "") + item_bytes(0, 2, 2, "second", ""),
            bin_load_status::done, {"root", "root/twin", "root/twin"}, {{1, 1, 0}, {2, 1, 0}},
            {"categories 1 and 2 are both called \"twin\" under the same parent"}},
        {"no categories", header(5, 0) + item_bytes(0, 3, 1, "q", "a"), bin_load_status::done, {"root"}, {{0, 1, 0}},
            {"correcting to 0"}},
        {"items keep the file's order", header(9, 2) + category_bytes(0, "root") + category_bytes(1, "c1") +
                item_bytes(9, 1, 1, "x", "y") + item_bytes(2, 0, 2, "x", "y"),
            bin_load_status::done, {"root", "c1"}, {{1, 1, 0}, {0, 1, 0}}, {}},
        {"a name of 129 bytes is cut", header(5, 1) + category_bytes(0, std::string(129, 'n')), bin_load_status::done,
            {std::string(127, 'n')}, {}, {}},
        {"a name of 130 bytes is damage",
            header(5, 2) + category_bytes(0, "root") + category_bytes(1, std::string(130, 'n')),
            bin_load_status::not_read, {"root"}, {},
            {"ERROR: load_bin(): len(=130) > (MAX_CTGR_LEN + 1)\nERROR: a problem while reading"}},
        {"child under a later top-level category, a parent past the table, a loop",
            header(5, 5) + category_bytes(2, "child") + category_bytes(40, "lost") + category_bytes(2, "top") +
                category_bytes(4, "loop a") + category_bytes(3, "loop b") + item_bytes(0, 0, 10, "in child", "") +
                item_bytes(0, 2, 20, "in top", "") + item_bytes(0, 4, 30, "in b", ""),
            bin_load_status::done, {"top", "top/child", "lost", "loop b", "loop b/loop a"}, {{1, 1, 0}, {0, 1, 0}, {3, 1, 0}},
            {"category 1 has parent 40 but there are only 5 categories", "reordering them", "is its own ancestor"}},
    };
    for (const repair_case& c : cases) {
        SCOPED_TRACE(c.what);
        erase_memory_after_ll();
        write_file(dir.file("error.log"), "");
        EXPECT_EQ(static_cast<bin_load_status>(load(c.file)), c.result);
        std::vector<std::string> paths;
        for (uint16_t i = 0; i < category_count(); ++i) {
            EXPECT_LE(category_at(i)->parent, i);
            std::string path;
            for (const std::string& name : category_names_from_top(i))
                path += (path.empty() ? "" : "/") + name;
            paths.push_back(path);
        }
        EXPECT_EQ(paths, c.paths);
        std::vector<item_state> states;
        for (const item* e : scheduled_items())
            states.emplace_back(e->ctgr, e->ivl, e->rp);
        EXPECT_EQ(states, c.items);
        for (const std::string& line : c.logged)
            EXPECT_NE(log().find(line), std::string::npos) << line << "\n" << log();
        EXPECT_TRUE(!c.logged.empty() || log().empty()) << log();
    }
}

// Cut inside the version: an old file; right after an item: whole; anywhere else: damaged.
TEST_F(BinfileTest, TruncationAtEveryOffset)
{
    build_sample();
    ASSERT_EQ(write_bin(bin().c_str()), bin_write_status::done);
    const std::string whole = read_file(bin());
    // Where the categories and each item end: the sizes of the file with fewer items.
    std::vector<size_t> item_ends = {whole.size()};
    while (db().head) {
        remove_item(const_cast<item*>(scheduled_items().back()));
        ASSERT_EQ(write_bin(bin().c_str()), bin_write_status::done);
        item_ends.insert(item_ends.begin(), read_file(bin()).size());
    }
    ASSERT_EQ(item_ends.size(), 4u);

    const uint32_t now = time_now();
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        std::filesystem::remove(dir.file("error.log"));
        erase_memory_after_ll();
        const int result = load(whole.substr(0, cut));
        const std::string messages = log();
        const auto boundary = std::find(item_ends.begin(), item_ends.end(), cut);
        const auto before = std::upper_bound(item_ends.begin(), item_ends.end(), cut);
        const size_t into_item = before == item_ends.begin() ? SIZE_MAX : cut - *(before - 1);
        if (cut < 2) {
            EXPECT_EQ(std::pair(result, messages.rfind("WARNING: Old format of binary file detected", 0)), std::pair(1, size_t{0}));
        } else if (boundary != item_ends.end()) {
            const auto items = static_cast<size_t>(boundary - item_ends.begin());
            EXPECT_EQ(std::tuple(result, messages, scheduled_items().size(), db().item_count, category_count()),
                std::tuple(0, "", items, items, 3));
        } else if (into_item < 6) {
            // Inside the next item's first three fields: the complete ones are the database.
            EXPECT_EQ(std::tuple(result, messages, scheduled_items().size(), category_count()),
                std::tuple(0, "WARNING: load_bin(): \"" + bin() + "\" ends " + std::to_string(into_item) +
                        " bytes into an item after its last complete item; those bytes are ignored\n",
                    static_cast<size_t>(before - item_ends.begin() - 1), 3));
        } else {
            EXPECT_EQ(std::pair(result, messages.rfind("ERROR: a problem while reading binary file format was detected.\n", 0)),
                std::pair(1, size_t{0}));
            EXPECT_NE(messages.find("Therefore I can't read " + bin() + "; I will try"), std::string::npos);
            // Categories already read stay.
            EXPECT_EQ(std::tuple(db().head, db().item_count, db().time_of_start, cut > item_ends[0] ? category_count() : 3),
                std::tuple(nullptr, 0u, now, 3));
        }
    }
}

TEST_F(BinfileTest, OverLongTextsAreCutAtAWholeCharacter)
{
    std::string question(65534, 'x');
    question += "\xE2\x82\xAC tail";
    item* e = add_test_item(0, 0, 1, question, std::string(65535, 'a'));
    e->id = 4242;
    category_at(0)->qimg = std::string(70000, 'i');
    ASSERT_EQ(write_bin(bin().c_str()), bin_write_status::done);
    EXPECT_TRUE(log().find("WARNING: write_bin(): question of item 4242 has 65542 bytes, more than 65535; saving its first "
        "65534 bytes\n") != std::string::npos && log().find("qimg of category 0 has 70000 bytes") != std::string::npos
        && log().find("answer of item") == std::string::npos) << log();
    ASSERT_EQ(load_bin(bin().c_str()), bin_load_status::done);
    EXPECT_EQ(std::tuple(db().head->question.str(), db().head->answer.size(), category_at(0)->qimg->size()),
        std::tuple(std::string(65534, 'x'), 65535u, 65535u));
}

TEST_F(BinfileTest, RefusedFileIsKeptBesideTheNewOne)
{
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    const std::string damaged = le16(11) + "an older program's database";
    write_file(bin(), damaged);
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::new_database);
    add_test_item(0, 0, 1, "new work", "");
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    EXPECT_EQ(read_file(dir.file("elements.refused-1.bin")), damaged);
    EXPECT_NE(log().find("INFO: the unreadable \"" + bin() + "\" was kept as \"" + dir.file("elements.refused-1.bin") + "\"\n"),
        std::string::npos);

    // A second refusal does not overwrite the first kept copy.
    const std::string cut = read_file(bin()).substr(0, 50);  // inside the first item's texts
    write_file(bin(), cut);
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::new_database);
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    EXPECT_EQ(read_file(dir.file("elements.refused-1.bin")) + read_file(dir.file("elements.refused-2.bin")), damaged + cut);
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
}

TEST_F(BinfileTest, SaveDatabaseOrdersCategoriesBeforeWriting)
{
    const uint16_t top = add_category("top", -1);
    const uint16_t child = add_category("child", top);
    add_test_item(0, child, 1, "in child", "");
    swap_categories(top, child);  // now the child precedes its parent
    ASSERT_EQ(save_database().status, save_status::done);
    erase_memory_after_ll();
    ASSERT_EQ(load_bin(bin().c_str()), bin_load_status::done);
    EXPECT_EQ(std::tuple(category_at(1)->name, category_at(2)->name, category_at(2)->parent, db().head->ctgr, log()),
        std::tuple("top", "child", 1, 2, ""));
}

}  // namespace
