// The real program, ended by SIGTERM while its data directory takes nothing: the save fails, the
// question stays up, and the second SIGTERM ends it with exit code 1 once the rescue copy exists.
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include "support/qt_test_support.h"

namespace {

class FailedClose : public qt_test {};

}  // namespace

TEST_F(FailedClose, ASecondSigtermDuringCannotSaveDatabaseEndsTheProgramWithCodeOne)
{
    const QString home = QString::fromStdString(home_->path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "config");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(CARDWRIGHT_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(default_dir() + "lockfile"); }, 15000));

    // The directory goes and a file takes its name: nothing can be written there any more,
    // whoever runs the test (permissions do not stop root).
    QString dir = default_dir();
    dir.chop(1);
    ASSERT_TRUE(QDir().rename(dir, dir + ".moved"));
    QFile blocker(dir);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    auto rescued = [&] {
        return !QDir(home).entryList({QStringLiteral("elements.rescue-*.bin")}, QDir::Files).isEmpty();
    };
    ASSERT_TRUE(QTest::qWaitFor(rescued, 15000)) << "no rescue copy in the home folder";
    // The question is up: the program waits for an answer.
    EXPECT_FALSE(program.waitForFinished(500));
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(15000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
}
