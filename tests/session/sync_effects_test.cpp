// A grade that another computer took back: what the grade gave the network here goes again, as
// the undo took it back there, whether the grade was applied with its undo or before it.
#include "ann/network.h"
#include "session/undo.h"
#include "sync_fixture.h"

namespace {

constexpr uint64_t my_id = 0x0a0a000000000001ULL;
constexpr uint64_t other_id = 0x0b0b000000000002ULL;

class SyncEffectsTest : public sync_fixture, public ::testing::WithParamInterface<bool> {};

}  // namespace

TEST_P(SyncEffectsTest, AnUndoFromElsewhereTakesItsGradesCaseBack)
{
    const bool grade_first = GetParam();  // the grade applied here before its undo arrived
    temp_dir other;
    temp_dir other_view;
    temp_dir mine;
    temp_dir view;
    set_local_clock(2026, 1, 1, 9);
    open(other, other_view.path(), other_id);
    static_cast<void>(add_reviewed(4, "one", "answer", 0));
    close();
    set_local_clock(2026, 1, 9, 9);
    open(other, other_view.path(), other_id);
    grade_reviewed(item_named("one"), 4, review_screen::scheduled);
    ASSERT_TRUE(undo_last_grade().undone);
    close();
    const std::string log = read_file(other_view.file(change_log_name(other_id)));
    const change_log_read read = read_change_log(log);
    ASSERT_EQ(read.records.back().kind, change_kind::undo);
    write_file(view.file(change_log_name(other_id)), grade_first ? log.substr(0, read.ends[read.ends.size() - 2]) : log);
    open(mine, view.path(), my_id);
    const auto network = [] { return std::tuple(ann_globals().case_count, ann_globals().ann_weights); };
    if (grade_first) {
        ASSERT_EQ(std::get<0>(network()), builtin_case_count + 1u) << "the grade adds a case";
        ASSERT_EQ(file_size_or_zero(mine.file("user_cases.bin")), case_record_size);
        write_file(view.file(change_log_name(other_id)), log);
        ASSERT_EQ(sync_apply().applied, 1u);
    }
    EXPECT_EQ(network(), std::tuple(uint32_t{builtin_case_count}, builtin_weights));
    EXPECT_EQ(file_size_or_zero(mine.file("user_cases.bin")), 0u);
    close();
}

INSTANTIATE_TEST_SUITE_P(, SyncEffectsTest, ::testing::Bool());
