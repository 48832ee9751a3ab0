#include <sys/stat.h>

#include <filesystem>

#include "database/backups.h"
#include "support/database_helpers.h"

namespace {

std::set<std::string> backup_names(const temp_dir& dir)
{
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("backups"), error))
        if (entry.path().filename() != backup_digests_name)
            names.insert(entry.path().filename().string());
    return names;
}

class BackupTest : public open_database_test {
protected:
    void session_at(int month, int day, int hour, int minute = 0, const std::function<void()>& work = {})
    {
        set_local_clock(2026, month, day, hour, minute);
        ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
        if (work)
            work();
        ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    }
};

}  // namespace

TEST_F(BackupTest, KeepsTenDatedCopiesOfChangedDatabases)
{
    add_test_item(3, 0, 1, "first");
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    EXPECT_EQ(backup_names(dir), (std::set<std::string>{"elements-20260115-120000.bin"}));
    // A close in the same second (a restore's, say) gets a copy of its own, the newer of the two.
    session_at(1, 15, 12, 0, [] { add_test_item(4, 0, 1, "second"); });
    const std::vector<backup_file> same_second = list_backups(dir.path());
    ASSERT_EQ(same_second.size(), 2u);
    EXPECT_EQ(std::pair(same_second[0].name, same_second[1].name),
        std::pair(std::string("elements-20260115-120000-2.bin"), std::string("elements-20260115-120000.bin")));

    for (int day = 1; day <= 12; ++day)
        session_at(2, day, 8, 30, [day] { add_test_item(static_cast<uint16_t>(day), 0, 1, "item " + std::to_string(day)); });
    const std::set<std::string> names = backup_names(dir);
    ASSERT_EQ(names.size(), 10u);
    EXPECT_EQ(*names.begin(), "elements-20260203-083000.bin");  // the oldest ones went first
    EXPECT_EQ(*names.rbegin(), "elements-20260212-083000.bin");
    EXPECT_EQ(read_file(dir.file("backups/elements-20260212-083000.bin")), read_file(dir.file("elements.bin")));
}

// The digest tells an unchanged database from its newest backup without reading either.
TEST_F(BackupTest, ABackupChangedSinceItsDigestIsComparedAgain)
{
    add_test_item(3, 0, 1, "first");
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    const std::string first = dir.file("backups/elements-20260115-120000.bin");
    ASSERT_NE(read_file(dir.file("backups/digests.txt")).find("elements-20260115-120000.bin"), std::string::npos);
    const std::string saved = read_file(first);

    // Replaced by another file of the same size: the close after an unchanged session copies anew.
    std::string other = saved;
    other.back() ^= 1;
    write_file(dir.file("backups/other.tmp"), other);
    std::filesystem::rename(dir.file("backups/other.tmp"), first);
    session_at(1, 16, 12);
    EXPECT_EQ(backup_names(dir), (std::set<std::string>{"elements-20260115-120000.bin", "elements-20260116-120000.bin"}));
    EXPECT_EQ(read_file(dir.file("backups/elements-20260116-120000.bin")), saved);

    // Written over in place, once the file system's clock moved past the digest's change time.
    const std::string second = dir.file("backups/elements-20260116-120000.bin");
    const auto changed_ns = [](const std::string& path) {
        struct stat info {};
        ::stat(path.c_str(), &info);
        return static_cast<int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
    };
    do
        write_file(dir.file("tick"), "");
    while (changed_ns(dir.file("tick")) <= changed_ns(second));
    write_file(second, other);
    session_at(1, 17, 12);
    EXPECT_EQ(backup_names(dir).size(), 3u);

    // Unchanged since its digest: no copy, and the files are the same indeed.
    session_at(1, 18, 12);
    EXPECT_EQ(backup_names(dir).size(), 3u);
    EXPECT_EQ(read_file(dir.file("backups/elements-20260117-120000.bin")), read_file(dir.file("elements.bin")));
}

TEST_F(BackupTest, RotationNeverRemovesTheLastBackupBeforeARefusal)
{
    add_test_item(3, 0, 1, "good");
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    write_file(dir.file("elements.bin"), std::string("\x0c\x00", 2) + "damaged");
    for (int day = 1; day <= backups_kept + 2; ++day) {
        set_local_clock(2026, 1, 15 + day, 12);
        static_cast<void>(ma_init(dir.path().c_str()));
        add_test_item(0, 0, 1, "day " + std::to_string(day));
        ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    }
    std::set<std::string> names;
    for (const backup_file& b : list_backups(dir.path()))
        names.insert(b.name);
    EXPECT_TRUE(names.contains("elements-20260115-120000.bin")) << "the good backup was rotated away";
    EXPECT_EQ(names.size(), static_cast<size_t>(backups_kept) + 1);
}

