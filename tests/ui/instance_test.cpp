#include <signal.h>

#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include "support/qt_test_support.h"
#include "ui/single_instance.h"

namespace {

class Instance : public qt_test {};

QString unique_name() { return QStringLiteral("cardwright-test-%1-%2").arg(::getpid()).arg(std::rand()); }

bool wait_for(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 15000); }

// Starts the real program offscreen in the test's home; true once it holds the database.
bool start_program(QProcess& program, const QString& home, const QString& data_dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "config");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(CARDWRIGHT_PROGRAM), {});
    return program.waitForStarted() && wait_for([&] { return QFile::exists(data_dir + "lockfile"); });
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
    EXPECT_TRUE(raised.wait(5000) || raised.count() == 1);
    EXPECT_EQ(raised.count(), 1);

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

TEST_F(Instance, TheProgramKeepsOneCopyAndSavesOnSigterm)
{
    const QString home = QString::fromStdString(home_->path());
    QProcess first;
    ASSERT_TRUE(start_program(first, home, default_dir()));

    QProcess second;
    second.setProcessEnvironment(first.processEnvironment());
    second.start(QStringLiteral(CARDWRIGHT_PROGRAM), {});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(default_dir() + "lockfile"));
    QSettings written(home + "config/Cardwright.conf", QSettings::NativeFormat);
    EXPECT_EQ(written.value("pathtodatadir").toString(), default_dir());
}
