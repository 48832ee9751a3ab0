#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QMessageBox>
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
#include "session/lifecycle.h"
#include "support/database_helpers.h"
#include "support/qt_test_support.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui/signal_bridge.h"

namespace {

std::string failing_dir;  // every write under it fails, as on a full disk

int data_disk_full(file_op op, const char* path)
{
    return op == file_op::write && path && std::string_view(path).starts_with(failing_dir) ? ENOSPC : 0;
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
        platform_globals().fault_hook = nullptr;
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
    failing_dir = default_dir().toStdString();
    platform_globals().fault_hook = data_disk_full;
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
    platform_globals().fault_hook = nullptr;

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
    failing_dir = "/";
    platform_globals().fault_hook = data_disk_full;
    bool asking_after_second = false;
    on_next_modal([&](QWidget* modal) {
        std::raise(SIGTERM);
        QTimer::singleShot(400, [modal = QPointer<QWidget>(modal), &asking_after_second] {
            asking_after_second = modal && modal->isVisible();
            platform_globals().fault_hook = nullptr;
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
