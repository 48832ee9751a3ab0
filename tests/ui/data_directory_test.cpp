#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>

#include <QTest>

#include <cerrno>
#include <string_view>

#include "database/database.h"
#include "platform/files.h"
#include "platform/platform_state.h"
#include "session/lifecycle.h"
#include "support/database_helpers.h"
#include "support/qt_test_support.h"
#include "ui/main_window.h"

namespace {

class DataDirectory : public qt_test {
protected:
    void store_data_dir(const QString& path)
    {
        QSettings raw(settings_file(), QSettings::NativeFormat);
        raw.setValue("pathtodatadir", path);
    }
    QString base() const { return QString::fromStdString(data_.path()); }
    temp_dir data_;
};

// A stored path under a regular file can never be created.
QString uncreatable_under(const QString& base)
{
    QFile blocker(base + "plain-file");
    blocker.open(QIODevice::WriteOnly);
    return base + "plain-file/cards/";
}

}  // namespace

TEST_F(DataDirectory, AnUncreatableDirectoryFallsBackToTheDefaultAndSaysSo)
{
    const QString stored = uncreatable_under(base());
    store_data_dir(stored);
    main_window w;
    EXPECT_EQ(w.open_data(), 0);
    ASSERT_EQ(recorded_messages().size(), 1u);
    EXPECT_EQ(recorded_messages()[0].title, QStringLiteral("Cannot Access Directory"));
    EXPECT_EQ(recorded_messages()[0].text,
        QStringLiteral("Cannot access nor create directory that is set in settings:\n") + stored
            + QStringLiteral("\n\nUsing default directory:\n") + default_dir());
    EXPECT_TRUE(recorded_messages()[0].owned);
    EXPECT_EQ(ui().settings_record->pathtodatadir, default_dir());
    EXPECT_EQ(db().db_state, DB_OPEN);
    EXPECT_TRUE(QFile::exists(default_dir() + "lockfile"));
    EXPECT_FALSE(w.stop_action->isEnabled());
    EXPECT_FALSE(w.add_button->isHidden());
}

TEST_F(DataDirectory, WhenTheDefaultCannotBeMadeEitherTheProgramEnds)
{
    store_data_dir(uncreatable_under(base()));
    // The documents folder is a regular file: nothing can be made in it.
    QFile documents(QString::fromStdString(home_->path()) + "Documents");
    ASSERT_TRUE(documents.open(QIODevice::WriteOnly));
    documents.close();
    main_window w;
    EXPECT_EQ(w.open_data(), 1);
    ASSERT_EQ(recorded_messages().size(), 2u);
    EXPECT_EQ(recorded_messages()[1].title, QStringLiteral("Directory Not Accessible"));
    EXPECT_EQ(recorded_messages()[1].text, QStringLiteral("Directory is not accessible."));
    EXPECT_FALSE(recorded_messages()[1].owned);
}

TEST_F(DataDirectory, ADatabaseHeldByAnotherCopyIsLeftAlone)
{
    const QString dir = base() + "shared/";
    ASSERT_TRUE(QDir().mkpath(dir));
    const std::string lock = (dir + "lockfile").toStdString();
    const int fd = ::open(lock.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    store_data_dir(dir);
    {
        main_window w;
        EXPECT_EQ(w.open_data(), 1);
        ASSERT_EQ(recorded_messages().size(), 1u);
        EXPECT_EQ(recorded_messages()[0].title, QStringLiteral("Database In Use"));
        EXPECT_TRUE(recorded_messages()[0].text.contains(dir));
        EXPECT_NE(db().db_state, DB_OPEN);
    }
    EXPECT_TRUE(QFile::exists(dir + "lockfile"));
    // Only the log says what happened; no database file was written.
    EXPECT_EQ(QDir(dir).entryList(QDir::Files, QDir::Name), (QStringList{"error.log", "lockfile"}));
    ::close(fd);
}

TEST_F(DataDirectory, WithoutFileLocksTheDatabaseOpensAndTheStartSaysSo)
{
    store_data_dir(base());
    fail_file_operations({{.op = file_op::lock, .error = ENOLCK}});
    main_window w;
    EXPECT_EQ(w.open_data(), 0);
    fail_file_operations({});
    EXPECT_EQ(db().db_state, DB_OPEN);
    ASSERT_EQ(recorded_messages().size(), 1u);
    EXPECT_EQ(recorded_messages()[0].title, QStringLiteral("Data Directory Not Locked"));
    EXPECT_TRUE(recorded_messages()[0].text.contains(base())) << recorded_messages()[0].text.toStdString();
}

// A data directory that cannot be written is opened read-only for this run: the user is told,
// can review, is told again at the close that nothing was saved there, and keeps the setting.
TEST_F(DataDirectory, AReadOnlyDirectoryIsOpenedReadOnlyAndTheSettingKept)
{
    const message_box_function recorder = ui().message_box;
    const QString stored = base() + "cards/";
    store_data_dir(stored);
    {
        main_window earlier;
        ASSERT_EQ(earlier.open_data(), 0);
        add_test_item(0, 0, 1, "due today", "its answer");
        earlier.close();
        QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
    }
    reset_window_state();
    ui().message_box = recorder;
    recorded_messages().clear();
    const std::string bin = stored.toStdString() + "elements.bin";
    const std::string saved = read_file(bin);
    ASSERT_FALSE(saved.empty());
    // As on a read-only mount: nothing under it can be created or written.
    std::vector<file_fault> read_only_mount;
    for (const file_op op : {file_op::create, file_op::write, file_op::rename, file_op::unlink, file_op::copy})
        read_only_mount.push_back({.op = op, .path_part = stored.toStdString(), .error = EROFS});
    fail_file_operations(read_only_mount);

    auto* w = new main_window;
    ASSERT_EQ(w->open_data(), 0);
    ASSERT_EQ(recorded_messages().size(), 1u);
    EXPECT_EQ(recorded_messages()[0].title, QStringLiteral("Read-Only Data Directory"));
    EXPECT_TRUE(recorded_messages()[0].text.contains(stored)) << recorded_messages()[0].text.toStdString();
    EXPECT_EQ(ui().settings_record->pathtodatadir, stored);
    ASSERT_EQ(db().item_count, 1u);

    w->show();
    QApplication::setActiveWindow(w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    w->client_area->setFocus();
    QTest::keyClick(w->client_area, Qt::Key_Return);
    ASSERT_EQ(ui().pass.mode(), screen_mode::scheduled);
    QTest::keyClick(w->client_area, Qt::Key_Return);
    QTest::keyClick(w->client_area, Qt::Key_4);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_EQ(db().head->gr, 4u);

    QTest::keyClick(w, Qt::Key_Q, Qt::ControlModifier);
    QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
    fail_file_operations({});
    ASSERT_EQ(recorded_messages().size(), 2u);
    EXPECT_EQ(recorded_messages()[1].title, QStringLiteral("Cannot Save Database"));
    EXPECT_TRUE(recorded_messages()[1].text.contains(QStringLiteral("read-only")))
        << recorded_messages()[1].text.toStdString();
    EXPECT_EQ(db().db_state, DB_UNINITIALISED);
    EXPECT_EQ(read_file(bin), saved);
    QSettings raw(settings_file(), QSettings::NativeFormat);
    EXPECT_EQ(raw.value("pathtodatadir").toString(), stored);
}
