#include "formats/change_log.h"

#include "support/test_support.h"

#include <filesystem>
#include <tuple>

namespace {

constexpr uint64_t me = 0x0123456789abcdefULL;

// One record of every kind, each field its kind carries set.
std::vector<change_record> one_of_each()
{
    const item_key item{0xfeedULL, 42};
    const item_schedule schedule{1'768'478'400u, 20'500, 20'490, 12, 7, 9, 3, 4};
    std::vector<change_record> out;
    auto add = [&](change_kind k) -> change_record& {
        change_record r;
        r.kind = k;
        r.sequence = out.size() + 1;
        r.stamp = 1'700'000'000'000ULL + out.size();
        out.push_back(r);
        return out.back();
    };
    change_record& g = add(change_kind::grade);
    g.item = item, g.day = 9000, g.elapsed = 17, g.grade = 5, g.screen = 4, g.schedule = schedule;
    change_record& u = add(change_kind::undo);
    u.item = item, u.screen = 2, u.schedule = schedule;
    for (change_kind k : {change_kind::forget_item, change_kind::make_due})
        add(k).item = item, out.back().schedule = schedule;
    for (change_kind k : {change_kind::delete_item, change_kind::queue_delete})
        add(k).item = item;
    for (change_kind k : {change_kind::add_item, change_kind::queue_add}) {
        change_record& a = add(k);
        a.item = item, a.path = {"Deutsch", "Verben", ""}, a.question = "<b>gehen</b>\n", a.answer = "to go";
    }
    out[out.size() - 2].schedule = schedule;
    change_record& e = add(change_kind::edit_item);
    e.item = item, e.question = std::string("nul\0inside", 10), e.answer = "";
    change_record& m = add(change_kind::move_item);
    m.item = item, m.path = {"Latein"};
    change_record& i = add(change_kind::import_done);
    i.text = "vocab.apkg", i.count = 70000;
    add(change_kind::category_make).path = {"A", "B"};
    add(change_kind::category_delete).path = {"A"};
    change_record& c = add(change_kind::category_rename);
    c.path = {"A", "B"}, c.text = "C";
    return out;
}

std::string log_of(const std::vector<change_record>& records)
{
    std::string bytes("CWCHANGE\x01\x00\x00\x00", 12);
    for (int i = 0; i < 8; ++i)
        bytes.push_back(static_cast<char>((me >> (8 * i)) & 0xFF));
    for (const change_record& r : records)
        bytes += encode_change(r);
    return bytes;
}

}  // namespace

// Every kind comes back as written; after any prefix the rest follows from where the read ended.
TEST(ChangeLog, APrefixGivesWholeRecordsAndTheRestFollowsFromItsEnd)
{
    const std::vector<change_record> records = one_of_each();
    const std::string bytes = log_of(records);
    EXPECT_EQ(read_change_log(bytes).computer, me);
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        const change_log_read first = read_change_log(std::string_view(bytes).substr(0, cut));
        ASSERT_EQ(first.status, cut < change_log_header_size ? change_log_status::no_header : change_log_status::ok) << cut;
        ASSERT_LE(first.end, std::max<uint64_t>(cut, change_log_header_size));
        const change_log_read rest = read_change_log(bytes, first.end);
        std::vector<change_record> all = first.records;
        all.insert(all.end(), rest.records.begin(), rest.records.end());
        ASSERT_EQ(all, records) << "cut at " << cut;
    }
}

TEST(ChangeLog, DamageStopsTheReadingBeforeIt)
{
    const std::vector<change_record> records = one_of_each();
    const std::string good = log_of(records);
    const size_t third = log_of({records[0], records[1]}).size();
    struct case_ {
        const char* what;
        size_t at;
        char flip;  // xor-ed into the byte
        change_log_status expected;
        size_t records_kept;
    } cases[] = {
        {"payload byte", third + change_frame_size + 3, '\x7f', change_log_status::damaged, 2},
        {"checksum", third + 5, '\x01', change_log_status::damaged, 2},
        {"length beyond the limit", third + 3, '\x40', change_log_status::damaged, 2},
        {"magic", 0, '\x10', change_log_status::bad_header, 0},
        {"newer version", 8, '\x03', change_log_status::bad_header, 0},
    };
    for (const case_& c : cases) {
        std::string bytes = good;
        bytes[c.at] = static_cast<char>(bytes[c.at] ^ c.flip);
        const change_log_read read = read_change_log(bytes);
        EXPECT_EQ(std::tuple(read.status, read.records.size(), read.end),
            std::tuple(c.expected, c.records_kept, c.expected == change_log_status::damaged ? third : read.end)) << c.what;
    }
    // A grade past 5, in the review or in the schedule it carries, is damage as well.
    for (const bool in_schedule : {false, true}) {
        std::vector<change_record> graded = {records[0], records[1], records[0]};
        (in_schedule ? graded[2].schedule.grade : graded[2].grade) = 6;
        const change_log_read read = read_change_log(log_of(graded));
        EXPECT_EQ(std::tuple(read.status, read.records.size()), std::tuple(change_log_status::damaged, 2u)) << in_schedule;
        graded[2] = records[0];
        (in_schedule ? graded[2].schedule.grade : graded[2].grade) = 5;
        EXPECT_EQ(read_change_log(log_of(graded)).records, graded) << in_schedule;
    }
    // A file shorter than what an earlier read passed is not the log that was read.
    EXPECT_EQ(read_change_log(good.substr(0, third), third + 1).status, change_log_status::damaged);
}

TEST(ChangeLog, SyncFolderNamesAreSortedIntoLogsAndConflictCopies)
{
    const std::string own = change_log_name(me);
    EXPECT_EQ(own, "changes-0123456789abcdef.log");
    const struct {
        std::string name;
        sync_file_role role;
    } cases[] = {
        {own, sync_file_role::change_log},
        {"changes-0123456789abcdef.sync-conflict-20261207-101500-ABCDEFG.log", sync_file_role::conflict_copy},
        {"changes-0123456789abcdef (conflicted copy 2026-12-07 101500).log", sync_file_role::conflict_copy},
        {"changes-0123456789abcdef (Anna's conflicted copy 2026-12-07).log", sync_file_role::conflict_copy},
        {".syncthing.changes-0123456789abcdef.log.tmp", sync_file_role::other},
        {"changes-0123456789ABCDEF.log", sync_file_role::other},
        {"changes-0123456789abcde.log", sync_file_role::other},
        {"changes-0123456789abcdef.lo", sync_file_role::other},
    };
    for (const auto& c : cases) {
        const sync_file_name n = classify_sync_file(c.name);
        EXPECT_EQ(std::pair(n.role, n.computer), std::pair(c.role, c.role == sync_file_role::other ? n.computer : me)) << c.name;
    }
}

TEST(ChangeLog, WriterKeepsItsOrderAcrossRestartsClockStepsAndTornAppends)
{
    temp_dir dir;
    const std::string path = dir.file(change_log_name(me));
    change_record r;
    r.kind = change_kind::undo;
    {
        change_log_writer w(path, me);
        ASSERT_EQ(w.append(r, 5000).status, change_append_status::appended);
        ASSERT_EQ(w.append(r, 4000).sequence, 2u);  // the clock went back
    }
    std::string bytes = read_file(path);
    write_file(path, bytes + encode_change(r).substr(0, 11));  // an append cut short
    change_log_writer again(path, me);
    ASSERT_EQ(again.append(r, 6000).sequence, 3u);
    const change_log_read read = read_change_log(read_file(path));
    ASSERT_EQ(std::tuple(read.status, read.records.size(), read.end), std::tuple(change_log_status::ok, 3u, read_file(path).size()));
    EXPECT_EQ(std::pair(read.records[1].stamp, read.records[2].stamp), std::pair(uint64_t{5000}, uint64_t{6000}));

    // Another computer's log, or a file that is no log, is never written to.
    change_log_writer other(path, me + 1);
    EXPECT_EQ(other.append(r, 7000).status, change_append_status::not_a_log);
    const std::string stranger = dir.file("stranger.log");
    write_file(stranger, "not a change log at all");
    EXPECT_EQ(change_log_writer(stranger, me).append(r, 7000).status, change_append_status::not_a_log);
    EXPECT_EQ(read_file(stranger), "not a change log at all");
}

// What a sync service may put in place of the log between two appends (as services do: a new
// file renamed over it): only a record this writer did not write stops it, and that file stays
// as it is, even at the same length as the writer's own.
TEST(ChangeLog, WriterStopsAtRecordsAnotherComputerWroteUnderItsId)
{
    change_record mine, theirs;
    mine.grade = 4;
    theirs.grade = 3;  // the same length as mine
    const struct {
        const char* what;
        std::vector<const change_record*> twin;  // the twin's records after the first
        change_append_status status;
    } rows[] = {
        {"the twin's record under the number of mine", {&theirs}, change_append_status::another_writer},
        {"the twin's record after mine", {&mine, &theirs}, change_append_status::another_writer},
        {"the same records again", {&mine}, change_append_status::appended},
        {"an older version", {}, change_append_status::appended},
    };
    for (const auto& row : rows) {
        temp_dir dir, twin_dir;
        const std::string path = dir.file(change_log_name(me));
        change_log_writer w(path, me);
        change_record r = mine;
        ASSERT_EQ(w.append(r, 1000).status, change_append_status::appended);
        write_file(twin_dir.file("log"), read_file(path));
        change_log_writer twin(twin_dir.file("log"), me);
        for (const change_record* t : row.twin) {
            change_record c = *t;
            ASSERT_EQ(twin.append(c, 2000).status, change_append_status::appended);
        }
        r = mine;
        ASSERT_EQ(w.append(r, 2000).status, change_append_status::appended);
        const std::string put = read_file(twin_dir.file("log"));
        write_file(path + ".tmp", put);
        std::filesystem::rename(path + ".tmp", path);
        r = mine;
        EXPECT_EQ(w.append(r, 3000).status, row.status) << row.what;
        if (row.status == change_append_status::another_writer) {
            EXPECT_EQ(w.make_whole().status, row.status) << row.what;
            EXPECT_EQ(read_file(path), put) << row.what;
        } else {
            EXPECT_EQ(read_change_log(read_file(path)).records.size(), 3u) << row.what;
        }
    }
}
