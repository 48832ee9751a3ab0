#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/clock.h"
#include "platform/crt_rand.h"
#include "platform/files.h"
#include "platform/platform_state.h"
#include "platform/utf.h"
#include "support/test_support.h"

TEST(CrtRand, FollowsTheHandheldRuntimeSequenceAndRange)
{
    platform_reset();
    // The runtime's well-known first values for the default seed 1.
    EXPECT_EQ(crt_rand(), 41);
    EXPECT_EQ(crt_rand(), 18467);
    EXPECT_EQ(crt_rand(), 6334);
    crt_srand(1);
    EXPECT_EQ(crt_rand(), 41);
    crt_srand(0xFFFFFFFFu);
    for (int i = 0; i < 100000; ++i) {
        const int r = crt_rand();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, crt_rand_max);
    }
    platform_reset();
}

TEST(FileTime, ConvertsExactlyAndRefusesInvalidDates)
{
    platform_reset();
    SYSTEMTIME st = make_system_time(1601, 1, 1);
    FILETIME ft{};
    ASSERT_TRUE(system_time_to_file_time(&st, &ft));
    EXPECT_EQ(ft.ticks, 0u);

    st = make_system_time(1970, 1, 1);
    ASSERT_TRUE(system_time_to_file_time(&st, &ft));
    EXPECT_EQ(ft.ticks, 11644473600ULL * 10000000ULL);

    // Leap rules: 2000 is a leap year, 1900 and 2009 are not.
    st = make_system_time(2000, 2, 29);
    EXPECT_TRUE(system_time_to_file_time(&st, &ft));
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
        EXPECT_EQ(back.ticks, in.ticks);
        EXPECT_EQ(out.wDayOfWeek, (day + 1) % 7);
    }
    FILETIME negative{0x8000000000000000ULL};
    SYSTEMTIME out{};
    EXPECT_FALSE(file_time_to_system_time(&negative, &out));

    platform_globals().failing_file_time_conversions = 1;
    FILETIME zero{};
    EXPECT_FALSE(file_time_to_system_time(&zero, &out));
    EXPECT_TRUE(file_time_to_system_time(&zero, &out));
}

// The first and last code point of each sequence length, and one step past each bound.
TEST(Utf, ConvertsBothWaysAtEveryBoundAndReplacesMalformedInput)
{
    struct utf_case {
        const char* utf8;
        std::u16string utf16;  // what it reads as
        bool valid;
    };
    const utf_case cases[] = {
        {"a\x7F", u"a\x7F", true},
        {"\xC2\x80\xDF\xBF", u"\u0080\u07FF", true},
        {"\xE0\xA0\x80\xEF\xBF\xBF", u"\u0800\uFFFF", true},
        {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", u"\U00010000\U0010FFFF", true},
        // Either side of the surrogates is a character.
        {"\xED\x9F\xBF\xEE\x80\x80", u"\uD7FF\uE000", true},
        // Overlong forms of each length, one past U+10FFFF, the first and last surrogate, a
        // truncated sequence at the end, a lone continuation byte: each byte that begins no
        // character stands as U+FFFD.
        {"\xC1\xBF", u"\uFFFD\uFFFD", false},
        {"\xE0\x9F\xBF", u"\uFFFD\uFFFD\uFFFD", false},
        {"\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},
        {"\xED\xBF\xBF", u"\uFFFD\uFFFD\uFFFD", false},
        {"x\xE2\x82", u"x\uFFFD\uFFFD", false},
        {"\x80", u"\uFFFD", false},
    };
    for (const utf_case& c : cases) {
        std::u16string wide;
        EXPECT_EQ(utf8_to_utf16(c.utf8, &wide), c.valid) << c.utf8;
        EXPECT_EQ(wide, c.utf16) << c.utf8;
        std::string back;
        if (c.valid) {
            EXPECT_TRUE(utf16_to_utf8(c.utf16, &back));
            EXPECT_EQ(back, c.utf8);
        }
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

TEST(AtomicFile, ReplacesOnlyWhenCommitted)
{
    temp_dir dir;
    const std::string path = dir.file("data.bin");
    write_file(path, "old");
    {
        atomic_file f(path);
        ASSERT_NE(f.stream(), nullptr);
        std::fputs("new contents", f.stream());
        EXPECT_EQ(read_file(path), "old");
    }  // not committed: discarded
    EXPECT_EQ(read_file(path), "old");
    {
        atomic_file f(path);
        std::fputs("new contents", f.stream());
        EXPECT_TRUE(f.commit());
    }
    EXPECT_EQ(read_file(path), "new contents");
    // A file the user made private stays private when it is replaced.
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    {
        atomic_file f(path);
        std::fputs("newer", f.stream());
        EXPECT_TRUE(f.commit());
    }
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(read_file(path), "newer");

    // No stray temporary files are left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);

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
    entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 2);  // data.bin and blocked: the failed temporary file is gone
}

TEST(Files, DeletesByWidePath)
{
    temp_dir dir;
    const std::string path = dir.file("caf\xC3\xA9");
    write_file(path, "x");
    std::u16string wide;
    utf8_to_utf16(path, &wide);
    EXPECT_TRUE(delete_file(wide.c_str()));
    EXPECT_FALSE(file_exists(path));
    EXPECT_FALSE(delete_file(wide.c_str()));
    EXPECT_FALSE(delete_file(nullptr));
}

TEST(Files, DurableCopiesAreFilesOfTheirOwn)
{
    temp_dir dir;
    const std::string big(3 << 20, 'x');  // more than one chunk
    write_file(dir.file("from"), big + "end");
    ASSERT_EQ(::chmod(dir.file("from").c_str(), 0600), 0);
    EXPECT_FALSE(copy_file_durable(dir.file("from"), dir.file("to")));
    EXPECT_EQ(read_file(dir.file("to")), big + "end");
    // Writing over the original in place, as `cp other from` does, leaves the copy alone.
    {
        std::FILE* f = std::fopen(dir.file("from").c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        std::fputs("changed", f);
        std::fclose(f);
    }
    EXPECT_EQ(read_file(dir.file("to")), big + "end");
    struct stat a {}, b {};
    ASSERT_EQ(::stat(dir.file("from").c_str(), &a), 0);
    ASSERT_EQ(::stat(dir.file("to").c_str(), &b), 0);
    EXPECT_NE(a.st_ino, b.st_ino);
    EXPECT_EQ(b.st_nlink, 1u);

    EXPECT_EQ(copy_file_durable(dir.file("missing"), dir.file("other")), std::errc::no_such_file_or_directory);
    EXPECT_FALSE(file_exists(dir.file("other")));
}
