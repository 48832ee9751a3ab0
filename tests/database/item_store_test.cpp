// Texts in the file's mapping or the load's blocks stay right through edits, deletions, new items
// and the file's replacement; a file read in pieces gives every record whole.
#include <fstream>
#include <random>
#include <tuple>
#include <utility>

#include "database/binfile.h"
#include "database/item_store.h"
#include "support/database_helpers.h"

namespace {

std::string root_file() { return le16(12) + le32(1) + le16(1) + le16(0) + text16("root") + std::string(24, '\0'); }
std::string item_bytes(uint16_t day, uint32_t id, const std::string& q, const std::string& a)
{
    return le16(day) + le16(day) + le16(0) + le32(id) + text16(q) + text16(a) + le16(1) + le16(2) + le16(3) + le16(4) +
        le16(5) + le32(6) + le32(7);
}

std::string random_text(std::mt19937& random, size_t longest)
{
    std::string text(random() % (longest + 1), 'a');
    for (char& c : text)
        c = static_cast<char>('a' + random() % 26);
    return text;
}

using texts = std::vector<std::pair<std::string, std::string>>;

bool mapped(const std::string& path)
{
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find(path) != std::string::npos)
            return true;
    return false;
}

texts list_texts()
{
    texts all;
    for (const item* e : scheduled_items())
        all.emplace_back(e->question.str(), e->answer.str());
    return all;
}

class ItemStoreTest : public open_database_test {
protected:
    std::string bin() const { return dir.file("elements.bin"); }
    void reload()
    {
        ASSERT_EQ(write_bin(bin().c_str()), bin_write_status::done);
        erase_memory_after_ll();
        db().item_count = 0;
        ASSERT_EQ(live_item_count(), 0u);
        ASSERT_EQ(load_bin(bin().c_str()), bin_load_status::done);
    }
};

}  // namespace

TEST_F(ItemStoreTest, TextsReadFromTheFileSurviveEditsDeletionsAndNewItems)
{
    std::mt19937 random(21);
    for (int i = 0; i < 3000; ++i) {
        const size_t longest = i % 500 == 7 ? 65535 : 2000;
        add_test_item(static_cast<uint16_t>(i / 10), 0, 1, random_text(random, longest), random_text(random, longest));
    }
    const texts written = list_texts();
    reload();
    ASSERT_EQ(std::tuple(list_texts(), live_item_count(), mapped(bin())), std::tuple(written, 3000u, true));
    // A save puts a new file in the old one's place; what was read from the old one stays.
    ASSERT_EQ(write_bin(bin().c_str()), bin_write_status::done);
    std::filesystem::remove(bin());
    ASSERT_EQ(list_texts(), written);

    for (int step = 0; step < 4000; ++step) {
        const std::vector<const item*> all = scheduled_items();
        item* e = const_cast<item*>(all[random() % all.size()]);
        switch (random() % 6) {
        case 0: e->question = random_text(random, 300); break;  // an edit
        case 1: e->answer = e->answer.view().substr(e->answer.size() / 2); break;  // a part of itself
        case 2: e->question.clear(); break;
        case 3: e->answer = all[random() % all.size()]->question; break;  // another item's text
        case 4: {
            // A deleted record is what the next new item is made of.
            remove_item(e);
            item* made = new_item();
            EXPECT_EQ(made, e);
            made->tmtrpt = static_cast<uint16_t>(random() % 300);
            made->question = random_text(random, 50);
            insert_scheduled(nullptr);
            insert_scheduled(made);
            break;
        }
        default: {
            item* made = new_item();
            made->answer = random_text(random, 50);
            insert_scheduled(nullptr);
            insert_scheduled(made);
            ++db().item_count;
        }
        }
    }
    const texts edited = list_texts();
    reload();
    EXPECT_EQ(std::tuple(list_texts(), live_item_count()), std::tuple(edited, edited.size()));
    erase_memory_after_ll();
    EXPECT_EQ(std::pair(live_item_count(), mapped(bin())), std::pair(size_t{0}, false));
}

TEST_F(ItemStoreTest, ARecordAcrossTheEndOfAPieceIsReadWhole)
{
    fail_file_operations({{.op = file_op::map, .error = ENODEV}});
    constexpr size_t piece = size_t{1} << 20;
    const std::string start = root_file();
    const std::string second = item_bytes(9, 2, "second question", "second answer");
    for (size_t into = 0; into <= second.size(); ++into) {
        SCOPED_TRACE("piece ends " + std::to_string(into) + " bytes into the second item");
        std::string bytes = start;
        uint32_t id = 100;
        while (piece - into - bytes.size() > 2 * 65535 + 32 + 32)
            bytes += item_bytes(1, id++, std::string(65535, 'q'), std::string(65535, 'a'));
        const size_t rest = piece - into - bytes.size() - 32;
        bytes += item_bytes(1, 1, std::string(rest / 2, 'x'), std::string(rest - rest / 2, 'y'));
        ASSERT_EQ(bytes.size() + into, piece);
        bytes += second + item_bytes(10, 3, std::string(60000, 'z'), "third");
        write_file(bin(), bytes);
        erase_memory_after_ll();
        ASSERT_EQ(load_bin(bin().c_str()), bin_load_status::done);
        const std::vector<const item*> all = scheduled_items();
        ASSERT_EQ(all.size(), id - 100 + 3u);
        const item& e = *all[all.size() - 2];
        EXPECT_EQ(std::tuple(e.id, e.question.str(), e.answer.str(), e.hstick), std::tuple(2u, "second question", "second answer", 7u));
        EXPECT_EQ(std::pair(all.back()->question.str(), all.back()->answer.str()), std::pair(std::string(60000, 'z'), std::string("third")));
        bin_summary summary;
        ASSERT_TRUE(inspect_bin(bin().c_str(), &summary));
        EXPECT_EQ(summary.item_count, all.size());

        // Cut inside the third item, beyond the first piece: damaged.
        write_file(bin(), bytes.substr(0, bytes.size() - 100));
        erase_memory_after_ll();
        EXPECT_EQ(load_bin(bin().c_str()), bin_load_status::not_read);
        EXPECT_EQ(std::pair(db().head, inspect_bin(bin().c_str(), &summary)), std::pair(static_cast<item*>(nullptr), false));
    }
}
