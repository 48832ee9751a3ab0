// Category makings, renames and deletions of two computers reach a third in either order: it
// ends with the same category tree both ways, the tree the stamps decide.
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
        paths tree;
        for (uint16_t c = 1; c < category_count(); ++c)
            tree.insert(category_names_from_top(c));
        close();
        return tree;
    }
};

TEST_F(SyncOrdersTest, CategoriesEndTheSameInEitherOrder)
{
    using k = change_kind;
    const std::vector<std::string> x = {"x"};
    const std::vector<std::string> xy = {"x", "y"};
    struct row {
        const char* what;
        std::vector<stamped> made;  // the maker's log
        paths expected;
    };
    // The deleter saw "x" made and deleted it at 20,000, before the maker's later records reached it.
    const std::vector<row> rows = {
        {"a making under it, earlier", {{k::category_make, x, 1000}, {k::category_make, xy, 10'000}}, {}},
        {"a making under it, later", {{k::category_make, x, 1000}, {k::category_make, xy, 30'000}}, {x, xy}},
        {"an item put under it, earlier", {{k::category_make, x, 1000}, {k::add_item, xy, 10'000}}, {x, xy}},
        {"a rename, earlier", {{k::category_make, x, 1000}, {k::category_rename, x, 10'000, "w"}}, {}},
        {"a rename, later", {{k::category_make, x, 1000}, {k::category_rename, x, 30'000, "w"}}, {{"w"}}},
    };
    const std::vector<stamped> deletion = {{k::category_delete, x, 20'000}};
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

}  // namespace
