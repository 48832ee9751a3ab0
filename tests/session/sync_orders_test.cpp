// What reaches a third computer in whatever order and copies the sync service hands it over:
// category makings, renames and deletions of two computers end as the same tree either way, the
// tree the stamps decide; one computer's records are applied once each, in its order.
#include "formats/change_log_trim.h"
#include "sync_fixture.h"

namespace {

constexpr uint64_t maker = 0x0a0a000000000001ULL;
constexpr uint64_t deleter = 0x0c0c000000000003ULL;
constexpr uint64_t third = 0x0e0e000000000005ULL;

using paths = std::set<std::vector<std::string>>;

class SyncOrdersTest : public sync_fixture {
protected:
    // The third computer's categories once `first`'s log (and `start`, a snapshot to start from)
    // and then, at a later apply, `second`'s arrived.
    paths tree_after(const std::vector<stamped>& first, uint64_t first_id, const std::vector<stamped>& second,
        uint64_t second_id, const sync_snapshot* start = nullptr)
    {
        temp_dir data;
        temp_dir view;
        write_records(view, first_id, first);
        EXPECT_TRUE(!start || write_snapshot_file(view.path(), *start));
        set_local_clock(2026, 1, 1, 9);
        open(data, view.path(), third);
        write_records(view, second_id, second);
        static_cast<void>(sync_apply());
        return tree_and_close();
    }
    static paths tree_and_close()
    {
        paths tree;
        for (uint16_t c = 1; c < category_count(); ++c)
            tree.insert(category_names_from_top(c));
        close();
        return tree;
    }
};

TEST_F(SyncOrdersTest, CategoriesEndTheSameInEitherOrder)
{
    const std::vector<std::string> x = {"x"};
    const std::vector<std::string> xy = {"x", "y"};
    struct row {
        const char* what;
        std::vector<stamped> made;  // the maker's log
        paths expected;
    };
    // The deleter saw "x" made and deleted it at 20,000, before the maker's later records reached it.
    const std::vector<row> rows = {
        {"a making under it, earlier", {made(x, 1000), made(xy, 10'000)}, {}},
        {"a making under it, later", {made(x, 1000), made(xy, 30'000)}, {x, xy}},
        {"an item put under it, earlier", {made(x, 1000), added(xy, 10'000)}, {x, xy}},
        {"a rename, earlier", {made(x, 1000), renamed(x, 10'000, "w")}, {}},
        {"a rename, later", {made(x, 1000), renamed(x, 30'000, "w")}, {{"w"}}},
    };
    const std::vector<stamped> deletion = {deleted(x, 20'000)};
    // Or the deleter's snapshot, which holds the deletion, arrives with it.
    sync_snapshot after_deletion;
    after_deletion.computer = deleter;
    after_deletion.latest_stamp = 20'000;
    after_deletion.covered = {{deleter, 1}};
    after_deletion.deleted = {{x, {20'000, deleter}}};
    for (const row& r : rows) {
        EXPECT_EQ(tree_after(deletion, deleter, r.made, maker, &after_deletion), r.expected) << r.what << ", joined";
        EXPECT_EQ(tree_after(r.made, maker, deletion, deleter), r.expected) << r.what << ", the deletion last";
        EXPECT_EQ(tree_after(deletion, deleter, r.made, maker), r.expected) << r.what << ", the deletion first";
    }
}

// Two renames of one category, the later one's new name deleted later still: whichever of the
// three logs reaches a third computer first, the category goes, or stays under the later name
// for an item the earlier rename's computer put under its own new name. The earlier rename,
// arriving once the later one's category is gone, does not make its new name again.
TEST_F(SyncOrdersTest, ALosingRenameFollowsTheLaterOneIntoItsDeletion)
{
    constexpr uint64_t loser = 0x0b0b000000000002ULL;
    const std::vector<std::string> x = {"x"}, early = {"early"}, late = {"late"};
    const struct {
        const char* what;
        std::vector<stamped> lost;  // the log of the computer whose rename lost
        paths expected;
    } rows[] = {
        {"nothing under it", {renamed(x, 10'000, "early")}, {}},
        {"an item under it", {renamed(x, 10'000, "early"), added(early, 12'000)}, {late}},
    };
    for (const auto& r : rows) {
        const std::map<uint64_t, std::vector<stamped>> logs = {
            {maker, {made(x, 1000), renamed(x, 15'000, "late")}},
            {loser, r.lost},
            {deleter, {deleted(late, 20'000)}},
        };
        std::vector<uint64_t> order = {maker, loser, deleter};
        do {
            temp_dir data, view;
            set_local_clock(2026, 1, 1, 9);
            open(data, view.path(), third);
            for (const uint64_t id : order) {
                write_records(view, id, logs.at(id));
                static_cast<void>(sync_apply());
            }
            EXPECT_EQ(tree_and_close(), r.expected) << r.what << std::hex << ", from " << order[0] << ", " << order[1] << ", " << order[2];
        } while (std::ranges::next_permutation(order).found);
    }
}

// One computer's log reaches another in pieces, as an older copy, trimmed, beside a conflict
// copy: each record is applied once and in its writer's order, none past a gap.
TEST_F(SyncOrdersTest, EachRecordIsAppliedOnceInItsWritersOrderAndNonePastAGap)
{
    temp_dir source;
    std::vector<stamped> records;
    for (uint64_t i = 1; i <= 6; ++i)
        records.push_back(made({"c" + std::to_string(i)}, 1000 * i));
    write_records(source, maker, records);
    const std::string name = change_log_name(maker);
    const std::string log = read_file(source.file(name));
    const std::vector<uint64_t> ends = read_change_log(log).ends;
    const auto through = [&](size_t n) { return log.substr(0, ends[n - 1]); };
    ASSERT_EQ(trim_change_log(source.file(name), maker, 3), change_trim_status::trimmed);
    const std::string trimmed = read_file(source.file(name));  // the records from the fourth on
    struct step {
        std::string log, conflict_copy;
        size_t held, waiting;  // the categories made so far, the records behind a gap
    };
    const struct {
        const char* what;
        std::vector<step> steps;
    } rows[] = {
        {"in pieces", {{through(2), "", 2, 0}, {through(3).substr(0, ends[2] - 3), "", 2, 0}, {through(5), "", 5, 0}}},
        // The service put an older copy in the writer's place, and the writer went on after it.
        {"an older copy again", {{through(5), "", 5, 0}, {through(3), "", 5, 0}, {through(3) + log.substr(ends[4]), "", 6, 0}}},
        {"past a trim", {{trimmed, "", 0, 3}, {trimmed, through(2), 2, 3}, {trimmed, through(3), 6, 0}}},
    };
    for (const auto& r : rows) {
        temp_dir data;
        temp_dir view;
        open(data, view.path(), third);
        size_t arrived = 0;
        for (const step& s : r.steps) {
            write_file(view.file(name), s.log);
            if (!s.conflict_copy.empty())
                write_file(view.file("changes-" + name.substr(8, 16) + ".sync-conflict-1.log"), s.conflict_copy);
            const sync_summary got = sync_apply();
            arrived += got.arrived;
            EXPECT_EQ(std::tuple(category_count() - 1u, got.waiting, arrived), std::tuple(s.held, s.waiting, s.held))
                << r.what << " " << s.held;
        }
        close();
    }
}

}  // namespace
