#include <signal.h>
#include <time.h>

#include <QLocalSocket>

#include "ui/single_instance.h"
#include "ui_fixture.h"

namespace {

class Instance : public qt_test {};

QString unique_name() { return QStringLiteral("cardwright-test-%1-%2").arg(::getpid()).arg(std::rand()); }

bool wait_for(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 15000); }

int64_t now_ns(clockid_t clock)
{
    timespec t {};
    ::clock_gettime(clock, &t);
    return int64_t {t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

}  // namespace

TEST_F(Instance, ASecondStartRaisesTheFirst)
{
    const QString name = unique_name();
    single_instance first(name);
    single_instance second(name);
    EXPECT_FALSE(second.ask_running_copy());  // nobody listens yet
    ASSERT_TRUE(first.listen());
    QSignalSpy raised(&first, &single_instance::raise_requested);
    EXPECT_TRUE(second.ask_running_copy());
    QTRY_COMPARE(raised.count(), 1);
    // Strangers' bytes are not a request; too many of them end the connection.
    QLocalSocket stranger;
    stranger.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    stranger.connectToServer(name);
    ASSERT_TRUE(stranger.waitForConnected(2000));
    stranger.write(QByteArray(5000, 'x') + "\nraise" + QByteArray(100, 'y'));
    stranger.waitForBytesWritten(2000);
    QTRY_COMPARE(stranger.state(), QLocalSocket::UnconnectedState);
    EXPECT_EQ(raised.count(), 1);
}

// The real program: a second start leaves it running, SIGTERM saves it; it logs each frame's
// time and processor times (main thread, all threads) for scripts/time-actions.sh.
TEST_F(Instance, TheProgramKeepsOneCopyLogsItsFramesAndSavesOnSigterm)
{
    const QString home = QString::fromStdString(home_->path());
    const QString frames = home + "frames.log";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "config");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("CARDWRIGHT_FRAME_LOG", frames);
    QProcess first;
    first.setProcessEnvironment(env);
    const int64_t started = now_ns(CLOCK_REALTIME);
    first.start(QStringLiteral(CARDWRIGHT_PROGRAM), {});
    ASSERT_TRUE(first.waitForStarted() && wait_for([&] { return QFile::exists(default_dir() + "lockfile"); }));
    // Once the data is read on its thread, a frame's time of all threads holds that one's too.
    QList<QByteArray> frame;
    ASSERT_TRUE(wait_for([&] {
        QFile f(frames);
        const QList<QByteArray> lines = f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().split('\n') : QList<QByteArray>{};
        frame = lines.isEmpty() ? QList<QByteArray>{} : lines.back().split(' ');
        return frame.size() == 3 && frame[2].toLongLong() > frame[1].toLongLong();
    }));
    const int64_t seen = now_ns(CLOCK_REALTIME);
    bool read[3] = {};
    const qint64 wall = frame[0].toLongLong(&read[0]), cpu = frame[1].toLongLong(&read[1]), all = frame[2].toLongLong(&read[2]);
    EXPECT_TRUE(read[0] && read[1] && read[2] && wall >= started && wall <= seen) << frame.join(' ').toStdString();
    EXPECT_TRUE(cpu > 0 && cpu <= seen - started && all > cpu) << frame.join(' ').toStdString();

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(CARDWRIGHT_PROGRAM), {});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_TRUE(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0 && first.state() == QProcess::Running);
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_TRUE(first.exitStatus() == QProcess::NormalExit && first.exitCode() == 0 && !QFile::exists(default_dir() + "lockfile"));
    QSettings written(home + "config/Cardwright.conf", QSettings::NativeFormat);
    EXPECT_EQ(written.value("pathtodatadir").toString(), default_dir());
}
