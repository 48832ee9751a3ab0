#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/clock.h"
#include "platform/crt_rand.h"
#include "platform/platform_state.h"
#include "platform/utf.h"
#include "support/test_support.h"

TEST(CrtRand, FollowsTheHandheldRuntimeSequenceAndRange)
{
    platform_reset();
    // The runtime's well-known first values for the default seed 1.
    EXPECT_EQ((std::vector{crt_rand(), crt_rand(), crt_rand()}), (std::vector{41, 18467, 6334}));
    crt_srand(1);
    EXPECT_EQ(crt_rand(), 41);
    crt_srand(0xFFFFFFFFu);
    int lowest = crt_rand_max, highest = 0;
    for (int i = 0; i < 100000; ++i) {
        const int r = crt_rand();
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
    }
    EXPECT_EQ(std::pair(lowest, highest), std::pair(0, crt_rand_max));
}

TEST(FileTime, ConvertsExactlyAndRefusesInvalidDates)
{
    platform_reset();
    FILETIME ft{};
    for (const auto& [st, seconds] : {std::pair{make_system_time(1601, 1, 1), 0ULL},
             {make_system_time(1970, 1, 1), 11644473600ULL}, {make_system_time(2000, 2, 29), 11644473600ULL + 951782400}}) {
        EXPECT_TRUE(system_time_to_file_time(&st, &ft)) << st.wYear;
        EXPECT_EQ(ft.ticks, seconds * 10000000ULL) << st.wYear;
    }
    for (const SYSTEMTIME& bad : {make_system_time(1900, 2, 29), make_system_time(2009, 2, 29),
             make_system_time(2009, 13, 1), make_system_time(2009, 4, 31), make_system_time(2009, 1, 0),
             make_system_time(1600, 12, 31), make_system_time(2009, 1, 1, 24)})
        EXPECT_FALSE(system_time_to_file_time(&bad, &ft)) << bad.wYear << "-" << bad.wMonth << "-" << bad.wDay;

    // Round trips over many dates, with the day of week filled in on the way back.
    for (int64_t day = 0; day < 200000; day += 37) {
        FILETIME in{static_cast<uint64_t>(day) * 864000000000ULL + 12345670000ULL};
        SYSTEMTIME out{};
        ASSERT_TRUE(file_time_to_system_time(&in, &out));
        FILETIME back{};
        ASSERT_TRUE(system_time_to_file_time(&out, &back));
        EXPECT_EQ(std::pair(back.ticks, int64_t{out.wDayOfWeek}), std::pair(in.ticks, (day + 1) % 7));
    }
    FILETIME negative{0x8000000000000000ULL}, zero{};
    SYSTEMTIME out{};
    EXPECT_FALSE(file_time_to_system_time(&negative, &out));
    platform_globals().failing_file_time_conversions = 1;
    EXPECT_EQ((std::pair{file_time_to_system_time(&zero, &out), file_time_to_system_time(&zero, &out)}), std::pair(false, true));
}

// The first and last code point of each sequence length, and one step past each bound.
TEST(Utf, ConvertsBothWaysAtEveryBoundAndReplacesMalformedInput)
{
    const std::pair<std::string, std::u16string> valid[] = {{"a\x7F", u"a\x7F"}, {"\xC2\x80\xDF\xBF", u"\u0080\u07FF"},
        {"\xE0\xA0\x80\xEF\xBF\xBF", u"\u0800\uFFFF"}, {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", u"\U00010000\U0010FFFF"},
        {"\xED\x9F\xBF\xEE\x80\x80", u"\uD7FF\uE000"}};  // either side of the surrogates
    for (const auto& [narrow, wide] : valid) {
        std::u16string read;
        std::string back;
        EXPECT_TRUE(utf8_to_utf16(narrow, &read) && utf16_to_utf8(wide, &back)) << narrow;
        EXPECT_EQ(std::pair(read, back), std::pair(wide, narrow));
    }
    // Overlong forms, past U+10FFFF, surrogates, a cut sequence, a lone continuation byte: U+FFFD
    // for each byte that begins no character.
    for (const std::string bad : {"\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xED\xA0\x80",
             "\xED\xBF\xBF", "x\xE2\x82", "\x80"}) {
        std::u16string read, replaced;
        for (const char c : bad)
            replaced += c & 0x80 ? u'\uFFFD' : static_cast<char16_t>(c);
        EXPECT_FALSE(utf8_to_utf16(bad, &read)) << bad;
        EXPECT_EQ(read, replaced) << bad;
    }
    for (const char16_t lone : {u'\xD800', u'\xDBFF', u'\xDC00', u'\xDFFF'}) {
        std::string narrow;
        EXPECT_FALSE(utf16_to_utf8(std::u16string(1, lone) + u"x", &narrow));
        EXPECT_EQ(narrow, "\xEF\xBF\xBDx");
    }
}

TEST(Utf, PrefixesNeverEndInsideACharacter)
{
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a, 2, 3 and 4 bytes
    const size_t ends[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 10};
    for (size_t limit = 0; limit < std::size(ends); ++limit)
        EXPECT_EQ(utf8_prefix(text, limit), ends[limit]) << limit;
    EXPECT_EQ(utf8_prefix("", 5), 0u);
}

TEST(Files, AtomicFilesReplaceOnlyWhenCommittedAndDurableCopiesAreFilesOfTheirOwn)
{
    temp_dir dir;
    const std::string path = dir.file("data.bin");
    write_file(path, "old");
    {
        atomic_file f(path);
        ASSERT_NE(f.stream(), nullptr);
        std::fputs("new contents", f.stream());
    }  // not committed: discarded
    EXPECT_EQ(read_file(path), "old");
    // Committed, it replaces the file, which stays as private as the user made it.
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    {
        atomic_file f(path);
        std::fputs("newer", f.stream());
        EXPECT_TRUE(f.commit());
    }
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(std::pair(info.st_mode & 0777, read_file(path)), std::pair(0600u, std::string("newer")));
    const auto entries = [&] { return std::distance(std::filesystem::directory_iterator(dir.path()), {}); };
    EXPECT_EQ(entries(), 1) << "a temporary file was left";

    // A directory that cannot take the temporary file: nothing is written, nothing replaced.
    atomic_file nowhere(dir.file("missing/data.bin"));
    EXPECT_EQ(nowhere.stream(), nullptr);
    EXPECT_FALSE(nowhere.commit());

    // The target cannot be replaced (it is a non-empty directory): the commit fails cleanly.
    std::filesystem::create_directories(dir.file("blocked/inner"));
    atomic_file blocked(dir.file("blocked"));
    ASSERT_NE(blocked.stream(), nullptr);
    std::fputs("x", blocked.stream());
    EXPECT_FALSE(blocked.commit());
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("blocked/inner")));
    EXPECT_EQ(entries(), 2);  // data.bin and blocked: the failed temporary file is gone

    const std::string big(3 << 20, 'x');  // more than one chunk
    write_file(dir.file("from"), big + "end");
    ASSERT_EQ(::chmod(dir.file("from").c_str(), 0600), 0);
    EXPECT_FALSE(copy_file_durable(dir.file("from"), dir.file("to")));
    EXPECT_EQ(read_file(dir.file("to")), big + "end");
    // Not a link: writing over the original in place, as `cp other from` does, leaves the copy alone.
    struct stat a {}, b {};
    ASSERT_EQ(::stat(dir.file("from").c_str(), &a) + ::stat(dir.file("to").c_str(), &b), 0);
    EXPECT_EQ(std::pair(a.st_ino == b.st_ino, b.st_nlink), std::pair(false, nlink_t{1}));

    EXPECT_EQ(copy_file_durable(dir.file("missing"), dir.file("other")), std::errc::no_such_file_or_directory);
    EXPECT_FALSE(file_exists(dir.file("other")));
}
