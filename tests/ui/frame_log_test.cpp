// The frame log that scripts/time-actions.sh times the real program by.
#include <signal.h>
#include <time.h>

#include <QFile>
#include <QProcess>
#include <QTest>

#include "support/qt_test_support.h"

namespace {

class FrameLog : public qt_test {};

int64_t now_ns(clockid_t clock)
{
    timespec t {};
    ::clock_gettime(clock, &t);
    return int64_t {t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

TEST_F(FrameLog, TheProgramLogsTheTimeAndItsProcessorTimeOfEachFrameItDraws)
{
    const QString home = QString::fromStdString(home_->path());
    const QString log = home + "frames.log";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "config");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("CARDWRIGHT_FRAME_LOG", log);
    QProcess program;
    program.setProcessEnvironment(env);
    const int64_t started = now_ns(CLOCK_REALTIME);
    program.start(QStringLiteral(CARDWRIGHT_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted());
    QList<QByteArray> first;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        QFile f(log);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        first = f.readLine().trimmed().split(' ');
        return first.size() == 2;
    }, 15000));
    const int64_t seen = now_ns(CLOCK_REALTIME);
    bool wall_read = false;
    bool cpu_read = false;
    const qint64 wall = first[0].toLongLong(&wall_read);
    const qint64 cpu = first[1].toLongLong(&cpu_read);
    ASSERT_TRUE(wall_read && cpu_read) << first.join(' ').toStdString();
    EXPECT_GE(wall, started);
    EXPECT_LE(wall, seen);
    // The main thread's own time: some work was done, never more than the time since the start.
    EXPECT_GT(cpu, 0);
    EXPECT_LE(cpu, seen - started);

    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(15000));
    EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
