#include "formats/sync_snapshot.h"

#include "formats/change_log_trim.h"
#include "formats/sync_inbox.h"
#include "support/test_support.h"

namespace {

constexpr uint64_t me = 0x00000000000000a1ULL;
constexpr uint64_t other = 0x00000000000000b2ULL;

sync_snapshot sample_snapshot()
{
    sync_snapshot s;
    s.computer = me;
    s.latest_stamp = 1768478400123;
    s.covered = {{me, 7}, {other, 3}};
    s.renamed = {{{"root", "old"}, {"root", "new"}, {1768478400100, other}}};
    s.made = {{{"root", "new"}, {1768478400100, other}}};
    s.deleted = {{{"root", "gone"}, {1768478400200, me}}, {{"root", "new", "x"}, {5, other}}};
    s.categories = {{"root"}, {"root", "new"}};
    snapshot_entry item{.made = {}, .schedule_set = {1768478400999, other}, .texts_set = {1768478400500, me},
        .place_set = {1768478400001, other}};
    change_record& made = item.made;
    made.kind = change_kind::add_item, made.item = {other, 2}, made.path = {"root", "new"};
    made.question = "Hauptstadt von Frankreich?", made.answer = "Paris", made.schedule = {1768478400, 20480, 20470, 10, 4, 5, 3, 4};
    snapshot_entry queued;
    queued.made.kind = change_kind::queue_add, queued.made.item = {me, 5}, queued.made.path = {"root"}, queued.made.question = "q";
    s.entries = {item, queued};
    s.same_as = {{{me, 9}, {other, 2}}};
    return s;
}

TEST(SyncSnapshot, IsTakenOnlyWholeAndAsWritten)
{
    const sync_snapshot s = sample_snapshot();
    const std::string bytes = encode_snapshot(s);
    sync_snapshot read;
    ASSERT_EQ(decode_snapshot(bytes, &read), snapshot_status::whole);
    EXPECT_EQ(read, s);
    // Delivered half-way, at any length.
    for (size_t n = 0; n < bytes.size(); ++n)
        ASSERT_EQ(decode_snapshot(bytes.substr(0, n), &read), snapshot_status::not_whole) << n;
    // A newer head over an older tail, or a byte gone wrong on the way.
    sync_snapshot newer = s;
    newer.latest_stamp += 1;
    newer.entries[0].made.answer = "Lyon";
    std::string spliced = encode_snapshot(newer).substr(0, bytes.size() / 2) + bytes.substr(bytes.size() / 2);
    EXPECT_EQ(decode_snapshot(spliced, &read), snapshot_status::not_whole);
    for (const size_t at : {size_t{30}, bytes.size() / 2, bytes.size() - 1}) {
        std::string flipped = bytes;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x10);
        EXPECT_EQ(decode_snapshot(flipped, &read), snapshot_status::not_whole) << at;
    }
    EXPECT_EQ(decode_snapshot(std::string(40, 'x'), &read), snapshot_status::foreign);
    EXPECT_EQ(std::pair(snapshot_owner(snapshot_name(other)), snapshot_owner(snapshot_name(other) + ".tmp-a1b2c3")),
        std::pair(std::optional(other), std::optional<uint64_t>()));
}

TEST(SyncSnapshot, JoinsTheNewestThatTheLogsContinueAndTrimsWhatAllHold)
{
    const auto snapshot = [](uint64_t stamp, std::map<uint64_t, uint64_t> covered) {
        sync_snapshot s;
        s.latest_stamp = stamp;
        s.covered = std::move(covered);
        return s;
    };
    struct row {
        const char* what;
        std::vector<uint64_t> computers;  // with a log or a snapshot
        std::map<uint64_t, sync_snapshot> snapshots;  // the whole ones
        std::map<uint64_t, uint64_t> log_heads;
        uint64_t covered;  // of my log, by all the others
        std::optional<uint64_t> join;
        uint64_t now = 0;
    };
    const uint64_t third = 0xc3;
    const std::vector<row> rows = {
        {"alone", {me}, {{me, snapshot(5, {{me, 9}})}}, {{me, 1}}, UINT64_MAX, me},
        {"another without a snapshot", {me, other}, {{me, snapshot(5, {{me, 9}})}}, {{me, 1}, {other, 1}}, 0, me},
        {"the least of the others", {me, other, third},
            {{other, snapshot(9, {{me, 4}})}, {third, snapshot(7, {{me, 6}, {other, 2}})}}, {{me, 1}, {other, 1}}, 4,
            other},
        {"a snapshot that never saw my log", {me, other}, {{other, snapshot(9, {{other, 2}})}}, {}, 0, other},
        {"the newest leaves a gap", {me, other, third},
            {{other, snapshot(9, {{me, 2}})}, {third, snapshot(7, {{me, 6}})}}, {{me, 5}}, 2, third},
        {"every one leaves a gap", {me, other}, {{other, snapshot(9, {{me, 2}})}}, {{me, 5}}, 2, std::nullopt},
        {"one silent for half a year", {me, other, third},
            {{other, snapshot(1, {{me, 2}})}, {third, snapshot(dormant_after_ms + 10, {{me, 6}})}}, {{me, 1}}, 6, third,
            dormant_after_ms + 5},
    };
    for (const row& r : rows) {
        sync_folder_view view;
        view.computers = r.computers;
        view.snapshots = r.snapshots;
        view.log_heads = r.log_heads;
        EXPECT_EQ(covered_by_all(view, me, r.now), r.covered) << r.what;
        EXPECT_EQ(snapshot_to_join(view), r.join) << r.what;
    }
}

TEST(SyncSnapshot, AReaderGoesOnAfterItsWriterTrimmedTheLog)
{
    temp_dir folder;
    const std::string path = folder.file(change_log_name(other));
    change_log_writer writer(path, other);
    const auto append = [&](uint64_t now) {
        change_record r;
        r.kind = change_kind::category_make;
        r.path = {"root", std::to_string(now)};
        ASSERT_EQ(writer.append(r, now).status, change_append_status::appended);
    };
    for (uint64_t i = 1; i <= 4; ++i)
        append(i);
    sync_inbox reader(folder.path(), me);
    sync_arrivals first = reader.collect();
    ASSERT_EQ(first.records.size(), 4u);
    for (const change_record& r : first.records)
        reader.applied(other, r.sequence);

    EXPECT_EQ(trim_change_log(path, other, 3), change_trim_status::trimmed);
    EXPECT_EQ(trim_change_log(path, other, 9), change_trim_status::nothing_to_trim);  // the last stays
    change_log_writer reopened(path, other);
    change_record r;
    r.kind = change_kind::category_make;
    for (int i = 0; i < 40; ++i) {  // longer than before the trim: the old offsets fall inside records
        r.path = {"root", "after " + std::to_string(i)};
        ASSERT_EQ(reopened.append(r, 100).status, change_append_status::appended);
    }
    const std::string bytes = read_file(path);
    EXPECT_EQ(std::tuple(change_log_epoch(bytes), read_change_log(bytes).records.front().sequence), std::tuple(1, 4u));
    const sync_arrivals later = reader.collect();
    ASSERT_EQ(std::pair(later.damaged.size(), later.records.size()), std::pair(size_t{0}, size_t{40}));
    EXPECT_EQ(std::pair(later.records.front().sequence, later.records.front().path.back()), std::pair(uint64_t{5}, std::string("after 0")));
}

}  // namespace
