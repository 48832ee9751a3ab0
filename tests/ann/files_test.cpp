#include <cstring>
#include <filesystem>
#include <limits>
#include <tuple>

#include "ann/ann_files.h"
#include "ann/network.h"
#include "ann_test_support.h"
#include "support/database_helpers.h"

namespace {

class AnnFilesTest : public open_database_test {
protected:
    void write_cases(const std::vector<ann_case>& cases, const std::string& tail = "") const
    {
        std::string bytes;
        for (const ann_case& c : cases)
            bytes.append(reinterpret_cast<const char*>(c.data()), sizeof c);
        write_file(dir.file("user_cases.bin"), bytes + tail);
    }
};

}  // namespace

TEST_F(AnnFilesTest, FreshDirectoryCreatesBothFilesWithTheirSizes)
{
    ma_nn_init();
    EXPECT_FALSE(file_exists(dir.file("user_cases.bin")));
    add_cases(10, 12, 3, 4, 30);
    EXPECT_EQ(ann_globals().case_count, builtin_case_count + 1u);
    const ann_case expected = make_case(10, 12, 3, 4, 30);
    EXPECT_EQ(read_file(dir.file("user_cases.bin")), std::string(reinterpret_cast<const char*>(expected.data()), 20));
    const auto trained = ann_globals().ann_weights;
    EXPECT_NE(trained, builtin_weights) << "the case trained the network once";

    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    EXPECT_EQ(std::pair(ann_globals().ann_initialised, read_file(dir.file("weights.bin"))),
        std::pair(false, std::string(reinterpret_cast<const char*>(trained.data()), 640)));

    // The next start finds both again, even from other weights in memory.
    ann_globals().ann_weights = builtin_weights;
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
    ma_nn_init();
    EXPECT_EQ(std::pair(ann_globals().ann_weights, ann_globals().case_count), std::pair(trained, builtin_case_count + 1u));
}

TEST_F(AnnFilesTest, CaseFileRecordsMergeJoinTheStoreOrAreSkippedWhenDamaged)
{
    // Case 514 of the built-in table: 8 days, 8 elapsed, 22 repetitions, grade 4 -> 8 days.
    const ann_case builtin = builtin_cases[514];
    ann_case same_inputs = builtin;
    same_inputs[4] = encode_days(20);
    const ann_case a = make_case(40, 45, 7, 3, 10);
    ann_case b = a;  // same key (inputs 0 and 2), another grade
    b[3] = encode_grade(4);
    b[4] = encode_days(50);
    ann_case a_again = a;
    a_again[4] = encode_days(30);
    // Damaged records among them are skipped, with one warning for all.
    ann_case not_a_number = a, infinite = a, too_big = a;
    not_a_number[1] = std::numeric_limits<float>::quiet_NaN();
    infinite[4] = std::numeric_limits<float>::infinity();
    too_big[0] = 7.0f;
    write_cases({same_inputs, not_a_number, a, infinite, b, a_again, too_big}, "12345");  // the last 5 bytes are ignored

    ma_nn_init();
    EXPECT_EQ(ann_globals().case_count, builtin_case_count + 2u);
    EXPECT_EQ(days_of((*case_at(514))[4]), 14);  // (8 + 20) / 2
    EXPECT_EQ(days_of((*case_at(962))[4]), 20);  // a, merged with a_again past b: (10 + 30) / 2
    EXPECT_EQ(*case_at(963), b);
    EXPECT_EQ(log(), "WARNING: 3 damaged records of user_cases.bin were skipped.\n");

    // Nothing is averaged in twice.
    ma_nn_init();
    EXPECT_EQ(days_of((*case_at(514))[4]), 14);
    EXPECT_NE(log().find("WARNING: calling ma_nn_init() on initialized NN.\n"), std::string::npos);
}

TEST_F(AnnFilesTest, EachAppendReachesStorageAndItsFailuresAreLogged)
{
    ma_nn_init();
    kill_at_file_operation(-1);  // counting only
    add_cases(10, 12, 3, 4, 30);  // the first creates the file: its folder is synced too
    add_cases(11, 12, 3, 4, 30);
    EXPECT_EQ(file_operations_seen(), 5);  // a write and an fsync each, and the folder's sync
    EXPECT_EQ(read_file(dir.file("user_cases.bin")).size(), 40u);

    // A sync that fails is said (the case was written but may not survive a power cut); a write
    // that fails leaves the file as it was, and the case stays for this run.
    const std::tuple<file_op, int, std::string, uint16_t> failures[] = {
        {file_op::fsync, EIO, "ERROR: cannot sync ", 12}, {file_op::write, ENOSPC, "ERROR: cannot append to ", 13}};
    for (const auto& [op, error, message, interval] : failures) {
        fail_file_operations({{.op = op, .path_part = "user_cases.bin", .error = error, .at = -1}});
        add_cases(interval, 12, 3, 4, 30);
        EXPECT_NE(log().find(message + dir.file("user_cases.bin") + " (" + std::strerror(error) + ")"), std::string::npos)
            << log();
        EXPECT_EQ(read_file(dir.file("user_cases.bin")).size(), 60u);
    }
    EXPECT_EQ(ann_globals().case_count, builtin_case_count + 4u);
    fail_file_operations({});

    // The next start reads the three cases that reached the file.
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
    ma_nn_init();
    EXPECT_EQ(ann_globals().case_count, builtin_case_count + 3u);
}

TEST_F(AnnFilesTest, ShortOrDamagedWeightFilesReplaceOnlyWhatTheyCover)
{
    write_file(dir.file("weights.bin"), "");
    ma_nn_init();
    EXPECT_EQ(ann_globals().ann_weights, builtin_weights);

    // Two whole floats and half of a third.
    const float two[2] = {0.25f, -0.5f};
    write_file(dir.file("weights.bin"), std::string(reinterpret_cast<const char*>(two), 8) + "\x01\x02");
    load_weights();
    EXPECT_EQ(std::tuple(ann_globals().ann_weights[0], ann_globals().ann_weights[1], ann_globals().ann_weights[2]),
        std::tuple(0.25f, -0.5f, builtin_weights[2]));

    float damaged[160];
    std::memcpy(damaged, builtin_weights.data(), sizeof damaged);
    damaged[77] = std::numeric_limits<float>::quiet_NaN();
    write_file(dir.file("weights.bin"), std::string(reinterpret_cast<const char*>(damaged), sizeof damaged));
    load_weights();
    EXPECT_EQ(ann_globals().ann_weights[0], 0.25f);  // kept what was in use
    EXPECT_NE(log().find("holds a weight that is not a number"), std::string::npos);
}

TEST_F(AnnFilesTest, AnUnwritableCaseFileIsReportedAndTheCaseKeptForThisRun)
{
    ma_nn_init();
    std::filesystem::create_directories(dir.file("user_cases.bin/x"));
    add_cases(5, 5, 1, 3, 6);
    EXPECT_EQ(ann_globals().case_count, builtin_case_count + 1u);
    EXPECT_NE(log().find("ERROR: cannot open " + dir.file("user_cases.bin") + " file in add_cases()\n"),
        std::string::npos);
}

// Memory running out while the cases load ends the program with code 1, as anywhere, not by an abort.
TEST_F(AnnFilesTest, MemoryRunningOutWhileTheCasesLoadBesideTheStartEndsWithCodeOne)
{
    if (sanitized_build)
        GTEST_SKIP() << "a sanitizer's allocator does not live under an address space limit";
    // The duplicate search's index is sized from the file at once: here, about 200 MiB.
    write_file(dir.file("user_cases.bin"), "");
    std::filesystem::resize_file(dir.file("user_cases.bin"), uintmax_t {80} << 20);
    const int code = run_in_child([] {
        if (!limit_address_space(size_t {40} << 20))
            return 90;
        ma_nn_init(case_loading::beside);
        wait_for_case_store();
        return 0;
    });
    EXPECT_EQ(code, 1);
    EXPECT_NE(log().find("add_data_from_file(): out of memory\n"), std::string::npos);
}
