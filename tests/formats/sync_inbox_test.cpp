#include "formats/sync_inbox.h"

#include <numeric>

#include "formats/change_log_trim.h"
#include "support/test_support.h"

namespace {

constexpr uint64_t me = 0x1111;

struct computer {
    uint64_t id;
    std::string full;  // its whole log
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

TEST(SyncInbox, EachRecordIsTakenOnceInItsWritersOrderAndNonePastAGap)
{
    constexpr uint64_t writer = 0xaaaa;
    const std::string name = change_log_name(writer);
    temp_dir source;
    change_log_writer w(source.file(name), writer);
    for (uint64_t i = 1; i <= 6; ++i) {
        change_record r;
        r.kind = change_kind::category_make;
        r.path = {"c" + std::to_string(i)};
        ASSERT_EQ(w.append(r, 1000 * i).status, change_append_status::appended);
    }
    const std::string log = read_file(source.file(name));
    const std::vector<uint64_t> ends = read_change_log(log).ends;
    const auto through = [&](size_t n) { return log.substr(0, ends[n - 1]); };
    ASSERT_EQ(trim_change_log(source.file(name), writer, 3), change_trim_status::trimmed);
    const std::string trimmed = read_file(source.file(name));  // the records from the fourth on
    // A copy of that system writing under its id, its log kept by the service: its records after
    // the first do not end where the first version's did.
    change_log_writer twin(source.file("twin"), writer);
    for (uint64_t i = 1; i <= 5; ++i) {
        change_record r;
        r.kind = change_kind::category_make;
        r.path = {i == 1 ? "c1" : "the copy's " + std::to_string(i)};
        ASSERT_EQ(twin.append(r, 1000 * i).status, change_append_status::appended);
    }
    struct step {
        std::string log, conflict_copy;
        uint64_t taken, waiting;  // the last record taken so far, the records behind a gap
    };
    const struct {
        const char* what;
        std::vector<step> steps;
    } rows[] = {
        {"in pieces", {{through(2), "", 2, 0}, {through(3).substr(0, ends[2] - 3), "", 2, 0}, {through(5), "", 5, 0}}},
        // The service put an older copy in the writer's place, and the writer went on after it.
        {"an older copy again", {{through(5), "", 5, 0}, {through(3), "", 5, 0}, {through(3) + log.substr(ends[4]), "", 6, 0}}},
        {"past a trim", {{trimmed, "", 0, 3}, {trimmed, through(2), 2, 3}, {trimmed, through(3), 6, 0}}},
        {"another writer's version", {{through(3), "", 3, 0}, {read_file(source.file("twin")), "", 5, 0}}},
    };
    for (const auto& r : rows) {
        temp_dir folder;
        sync_inbox inbox(folder.path(), me);
        std::vector<uint64_t> taken;
        for (const step& s : r.steps) {
            write_file(folder.file(name), s.log);
            if (!s.conflict_copy.empty())
                write_file(folder.file("changes-" + name.substr(8, 16) + ".sync-conflict-1.log"), s.conflict_copy);
            const sync_arrivals got = inbox.collect();
            for (const change_record& c : got.records) {
                taken.push_back(c.sequence);
                inbox.applied(writer, c.sequence);
            }
            std::vector<uint64_t> in_order(s.taken);
            std::iota(in_order.begin(), in_order.end(), uint64_t{1});
            EXPECT_EQ(std::tuple(taken, got.waiting), std::tuple(in_order, s.waiting)) << r.what << " " << s.taken;
        }
    }
}
