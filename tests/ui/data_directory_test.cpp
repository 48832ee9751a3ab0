// What the start tells about the data directory, and whether the program goes on. Which
// directory is opened is the session's; here the user is told.
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string_view>

#include "ui_fixture.h"

namespace {

class DataDirectory : public qt_test {
protected:
    void store_data_dir(const QString& path) { QSettings(settings_file(), QSettings::NativeFormat).setValue("pathtodatadir", path); }
    // A path under a regular file, which can never be created.
    QString uncreatable() const
    {
        write_file(data_.file("plain-file"), "");
        return base() + "plain-file/cards/";
    }
    QString base() const { return QString::fromStdString(data_.path()); }
    temp_dir data_;
};

}  // namespace

TEST_F(DataDirectory, TheStartSaysWhatBecameOfTheDirectoryAndEndsWhenItCannotGoOn)
{
    int lock_fd = -1;
    const struct {
        const char* name;
        std::function<QString()> set_up;  // the directory stored in the settings
        int exit_code;
        QStringList titles;
    } cases[] = {
        {"uncreatable", [&] { return uncreatable(); }, 0, {"Cannot Access Directory"}},
        {"held by another copy",
            [&] {
                QDir().mkpath(base() + "shared");
                lock_fd = ::open((base() + "shared/lockfile").toUtf8().constData(), O_WRONLY | O_CREAT, 0644);
                EXPECT_EQ(::flock(lock_fd, LOCK_EX | LOCK_NB), 0);
                return base() + "shared/";
            },
            1, {"Database In Use"}},
        {"no file locks",
            [&] {
                fail_file_operations({{.op = file_op::lock, .error = ENOLCK}});
                return base();
            },
            0, {"Data Directory Not Locked"}},
        {"default uncreatable too",
            [&] {
                // The documents folder is a regular file: nothing can be made in it.
                std::filesystem::remove_all(home_->path() + "Documents");
                write_file(home_->path() + "Documents", "");
                return uncreatable();
            },
            1, {"Cannot Access Directory", "Directory Not Accessible"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_process_state();
        recorded_messages().clear();
        const QString stored = c.set_up();
        store_data_dir(stored);
        {
            main_window w;
            EXPECT_EQ(w.open_data(), c.exit_code);
            fail_file_operations({});
            QStringList titles;
            for (const recorded_message& m : recorded_messages())
                titles << m.title;
            EXPECT_EQ(titles, c.titles);
            EXPECT_TRUE(told(c.titles.size(), 0, {}, stored));
            EXPECT_EQ(db().db_state == DB_OPEN, c.exit_code == 0);
            // The second box has no window to own it: that is gone.
            EXPECT_TRUE(c.titles.size() == 1 || !recorded_messages().back().owned);
            if (std::string_view(c.name) == "uncreatable" && !recorded_messages().empty()) {
                EXPECT_EQ(recorded_messages()[0].text, "Cannot access nor create directory that is set in settings:\n" + stored
                        + "\n\nUsing default directory:\n" + default_dir());
                EXPECT_EQ(ui().settings_record->pathtodatadir, default_dir());
            }
        }
        reset_window_state();
        ui().message_box = recording_message_box();
    }
    // The held directory was left alone: only the log says what happened.
    EXPECT_EQ(QDir(base() + "shared").entryList(QDir::Files, QDir::Name), (QStringList{"error.log", "lockfile"}));
    ::close(lock_fd);
}

// A data directory that cannot be written is opened read-only for this run: the user is told,
// is told again at the close that nothing was saved there, and keeps the setting.
TEST_F(DataDirectory, AReadOnlyDirectoryIsOpenedReadOnlyAndTheSettingKept)
{
    const QString stored = base() + "cards/";
    store_data_dir(stored);
    earlier_session(1);
    const std::string bin = stored.toStdString() + "elements.bin";
    const std::string saved = read_file(bin);
    // As on a read-only mount: nothing under it can be created or written.
    std::vector<file_fault> read_only_mount;
    for (const file_op op : {file_op::create, file_op::write, file_op::rename, file_op::unlink, file_op::copy})
        read_only_mount.push_back({.op = op, .path_part = stored.toStdString(), .error = EROFS});
    fail_file_operations(read_only_mount);

    auto* w = new main_window;
    ASSERT_EQ(w->open_data(), 0);
    ASSERT_TRUE(told(1, 0, QStringLiteral("Read-Only Data Directory"), stored));
    ui().settings_record->qfontsize = 14;
    w->close();
    QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
    fail_file_operations({});
    ASSERT_TRUE(told(2, 1, QStringLiteral("Cannot Save Database"), QStringLiteral("read-only")));
    EXPECT_TRUE(!saved.empty() && read_file(bin) == saved);
    QSettings raw(settings_file(), QSettings::NativeFormat);
    EXPECT_EQ(raw.value("pathtodatadir").toString(), stored);
    EXPECT_EQ(raw.value("qfontsize").toInt(), 14) << "the settings are saved though the database is not";
}
