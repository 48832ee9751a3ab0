// Closing: Exit saves the database and the settings once; a close request (SIGTERM) during a
// save that fails waits for the database to be rescued.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "database/binfile.h"
#include "database/database.h"
#include "platform/files.h"
#include "platform/platform_state.h"
#include "resources/ids.h"
#include "session/lifecycle.h"
#include "settings/settings_store.h"
#include "support/database_helpers.h"
#include "support/qt_test_support.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui/signal_bridge.h"

namespace {

int deinit_calls = 0;
int failures_left = 0;

deinit_result failing_deinit(close_mode mode)
{
    ++deinit_calls;
    if (failures_left > 0) {
        --failures_left;
        return {deinit_status::not_saved, {"elements.bin", save_obstacle::system, ENOSPC}};
    }
    return ma_deinit(mode);
}

class Closing : public qt_test {
protected:
    // A window on an open database whose next `failures` closes cannot save.
    static main_window* window_failing(int failures)
    {
        auto* w = new main_window;
        EXPECT_EQ(w->open_data(), 0);
        ui().close_database = failing_deinit;
        deinit_calls = 0;
        failures_left = failures;
        return w;
    }
};

}  // namespace

TEST_F(Closing, ClosingSavesTheDatabaseAndTheSettingsOnce)
{
    auto* w = new main_window;
    ASSERT_EQ(w->open_data(), 0);
    ui().settings_record->randompick = 1;
    ui().settings_record->acs4 = std::vector<uint8_t>{0x03};
    ASSERT_TRUE(QFile::exists(default_dir() + "lockfile"));
    run_command(w, cmd_exit);
    EXPECT_TRUE(w->closed());
    EXPECT_EQ(db().db_state, DB_UNINITIALISED);
    EXPECT_FALSE(QFile::exists(default_dir() + "lockfile"));
    EXPECT_FALSE(ui().settings_record);
    QSettings raw(settings_file(), QSettings::NativeFormat);
    EXPECT_EQ(raw.value("pathtodatadir").toString(), default_dir());
    EXPECT_EQ(raw.value("randompick").toUInt(), 1u);
    EXPECT_EQ(raw.value("acs4").toByteArray(), QByteArray("\x03", 1));
    EXPECT_FALSE(raw.value("windowgeometry").toByteArray().isEmpty());

    // A second request (a signal after Exit, say) does nothing more.
    w->closing_sequence();
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(Closing, GivingUpOnSavingStillKeepsTheSettings)
{
    main_window* w = window_failing(5);
    message_answers() = {message_answer::cancel};
    ui().settings_record->qfontsize = 14;
    w->close();
    EXPECT_EQ(deinit_calls, 1);
    EXPECT_EQ(recorded_messages().size(), 1u);
    QSettings raw(settings_file(), QSettings::NativeFormat);
    EXPECT_EQ(raw.value("qfontsize").toInt(), 14);
    ui().close_database = nullptr;
}

namespace {

// Every write under `dir` fails, as on a full disk.
void disk_full_under(const std::string& dir)
{
    fail_file_operations({{.op = file_op::write, .path_part = dir, .error = ENOSPC}});
}

// The rescue copies in `dir`.
QStringList rescue_files(const QString& dir)
{
    return QDir(dir).entryList({QStringLiteral("elements.rescue-*.bin")}, QDir::Files);
}

class CloseRequest : public qt_test {
protected:
    void SetUp() override
    {
        qt_test::SetUp();
        // The real box, so that nothing but the program can end it.
        ui().message_box = nullptr;
        window = new main_window;
        ASSERT_EQ(window->open_data(), 0);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        for (int i = 0; i < 30; ++i)
            add_test_item(0, 0, 1, "typed today " + std::to_string(i));
        bridge = std::make_unique<signal_bridge>();
        connect_close_requests(*bridge, *window);
    }
    void TearDown() override
    {
        fail_file_operations({});
        bridge.reset();
        qt_test::TearDown();
    }

    // Runs the event loop until the program's close ends it (its exit code), or 99 after 20 s.
    static int run_until_exit()
    {
        QEventLoop loop;
        QTimer::singleShot(20000, &loop, [&loop] {
            // Whatever is still asking is answered, so that a failing test ends.
            for (int i = 0; i < 16; ++i)
                if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    box->done(0);
            loop.exit(99);
        });
        return loop.exec();
    }

    main_window* window = nullptr;
    std::unique_ptr<signal_bridge> bridge;
};

}  // namespace

// SIGTERM while nothing can be written in the data directory: the question stays up and names
// the rescue copy in the home folder; a second SIGTERM ends the program, not with success,
// and the rescue copy holds every item of the session.
TEST_F(CloseRequest, ASecondSigtermEndsAFailedSaveOnlyOnceTheDatabaseIsRescued)
{
    disk_full_under(default_dir().toStdString());
    QString asked_text;
    bool still_asking_later = false;
    on_next_modal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Cannot Save Database"));
        asked_text = box->text();
        // A box that a close request ends by itself would be gone by now.
        QTimer::singleShot(600, [box = QPointer<QMessageBox>(box), &still_asking_later] {
            still_asking_later = box && box->isVisible();
            std::raise(SIGTERM);
        });
    });
    std::raise(SIGTERM);
    const int code = run_until_exit();
    fail_file_operations({});

    EXPECT_TRUE(still_asking_later) << "the failed save's question vanished";
    EXPECT_EQ(code, 1) << "the program must not end as if it had saved";
    const QString home = QDir::homePath() + "/";
    const QStringList rescued = rescue_files(home);
    ASSERT_EQ(rescued.size(), 1) << "no rescue copy in the home folder";
    EXPECT_TRUE(rescue_files(default_dir()).isEmpty());
    EXPECT_TRUE(asked_text.contains(home + rescued[0])) << asked_text.toStdString();
    EXPECT_TRUE(read_file(default_dir().toStdString() + "error.log").find((home + rescued[0]).toStdString())
        != std::string::npos);
    EXPECT_EQ(db().db_state, DB_UNINITIALISED);
    EXPECT_FALSE(file_exists(default_dir().toStdString() + "elements.bin"));

    bin_summary summary;
    ASSERT_TRUE(inspect_bin((home + rescued[0]).toUtf8().constData(), &summary));
    EXPECT_EQ(summary.item_count, 30u);
}

// While no copy can be written anywhere, further requests are refused and the question stays;
// the user's own answer still decides.
TEST_F(CloseRequest, WhileNothingCanBeWrittenAnywhereASecondSigtermIsRefused)
{
    disk_full_under("/");
    bool asking_after_second = false;
    on_next_modal([&](QWidget* modal) {
        std::raise(SIGTERM);
        QTimer::singleShot(400, [modal = QPointer<QWidget>(modal), &asking_after_second] {
            asking_after_second = modal && modal->isVisible();
            fail_file_operations({});
            // The user gives up on saving.
            if (auto* box = qobject_cast<QMessageBox*>(modal.data()))
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == QStringLiteral("Close Without Saving"))
                        b->click();
        });
    });
    std::raise(SIGTERM);
    const int code = run_until_exit();
    EXPECT_TRUE(asking_after_second) << "a close request ended a session that is saved nowhere";
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(rescue_files(QDir::homePath()).isEmpty());
    EXPECT_EQ(db().db_state, DB_UNINITIALISED);
}
