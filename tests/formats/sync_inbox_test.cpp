#include "formats/sync_inbox.h"

#include "support/test_support.h"

namespace {

constexpr uint64_t me = 0x1111;

struct computer {
    uint64_t id;  // its computer id
    std::string full;  // its whole log, as it wrote it
};

// Two other computers grade and rename over a day, stamps interleaved; a clock set back on one.
std::vector<computer> write_logs(const temp_dir& source)
{
    std::vector<computer> out;
    for (uint64_t id : {0xaaaaULL, 0xbbbbULL}) {
        const std::string path = source.file(change_log_name(id));
        change_log_writer w(path, id);
        for (uint64_t i = 0; i < 40; ++i) {
            change_record r;
            r.kind = i % 7 == 3 ? change_kind::category_rename : change_kind::grade;
            r.item = {id, i};
            r.path = {"Deck"};
            r.text = "Deck " + std::to_string(i);
            r.grade = static_cast<uint8_t>(i % 6);
            const uint64_t now = 1000 * i + (id == 0xaaaa ? 0 : 500) - (i == 20 ? 5000 : 0);
            EXPECT_EQ(w.append(r, now).status, change_append_status::appended);
        }
        out.push_back({id, read_file(path)});
    }
    return out;
}

}  // namespace

TEST(SyncInbox, PositionsSavedWithTheDatabaseKeepAppliedRecordsFromComingBack)
{
    temp_dir source;
    const std::vector<computer> logs = write_logs(source);
    temp_dir folder;
    for (const computer& c : logs)
        write_file(folder.file(change_log_name(c.id)), c.full);
    write_file(folder.file(change_log_name(me)), logs[0].full);  // its own log is never read
    write_file(folder.file(change_log_name(0xcccc)), logs[0].full);  // a header of another computer

    sync_inbox first(folder.path(), me);
    first.applied(0xaaaa, 25);
    sync_inbox later(folder.path(), me);
    ASSERT_TRUE(later.read_positions(first.positions_text()));
    const sync_arrivals a = later.collect();
    EXPECT_EQ(std::tuple(a.records.size(), a.damaged),
        std::tuple(15u + 40u, std::vector<std::string>{change_log_name(0xcccc)}));
    EXPECT_EQ(a.records.front().sequence, 1u);  // 0xbbbb's first, stamped before 0xaaaa's 26th

    for (const char* malformed : {"zz 1\n", "00000000000000aa\n", "00000000000000aa 5 extra\n"})
        EXPECT_FALSE(later.read_positions(malformed)) << malformed;
    EXPECT_EQ(later.applied_of(0xaaaa), 25u);
}
