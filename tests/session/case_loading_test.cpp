#include <cmath>

#include "ann/ann_files.h"
#include "ann/network.h"
#include "support/database_helpers.h"

namespace {

std::vector<ann_case> stored_cases()
{
    std::vector<ann_case> cases;
    for (uint32_t i = 0; const ann_case* c = case_at(i); ++i)
        cases.push_back(*c);
    return cases;
}

size_t count_of(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

}  // namespace

using CaseLoadingTest = open_database_test;

// A start that loads the cases beside the database ends with the store that loading them at
// once gives: the first grade waits for them, and a damaged record is reported as before.
TEST_F(CaseLoadingTest, CasesLoadedBesideTheDatabaseAreWaitedForByTheFirstGrade)
{
    std::string bytes;
    for (uint16_t i = 0; i < 20000; ++i) {  // many merge into earlier ones
        ann_case c = make_case(i % 97, i * 7 % 300, i % 13, i % 6, i % 500);
        if (i == 5000)
            c[1] = std::nanf("");
        bytes.append(reinterpret_cast<const char*>(c.data()), sizeof c);
    }
    write_file(dir.file("user_cases.bin"), bytes);
    ma_nn_init();
    std::vector<ann_case> expected = stored_cases();
    ASSERT_GT(expected.size(), builtin_case_count + 1000u);
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);

    ASSERT_EQ(ma_init(dir.path().c_str(), network_start::with_database), init_status::from_bin);
    add_cases(10, 12, 3, 4, 30);
    expected.push_back(make_case(10, 12, 3, 4, 30));
    EXPECT_EQ(std::tuple(stored_cases(), count_of(log(), "WARNING: 1 damaged records of user_cases.bin were skipped.\n")),
        std::tuple(expected, 2u));
}
