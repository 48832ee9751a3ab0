#include "support/qt_test_support.h"

#include "settings/settings_store.h"
#include "support/database_helpers.h"
#include "ui/main_window.h"

namespace {

message_answer record_message(QWidget* owner, const QString& title, const QString& text, message_buttons buttons)
{
    recorded_messages().push_back({title, text, buttons, owner != nullptr});
    if (message_answers().empty())  // none planned: the box's way out
        return buttons == message_buttons::ok || buttons == message_buttons::ok_after_failure ? message_answer::ok
            : buttons == message_buttons::yes_no ? message_answer::no
            : buttons == message_buttons::retry_cancel ? message_answer::cancel : message_answer::discard;
    const message_answer answer = message_answers().front();
    message_answers().pop_front();
    return answer;
}

// Owns the waits below; replaced by each test so that none outlives its test.
QObject*& waits()
{
    static QObject* owner = nullptr;
    return owner;
}

// Runs `act` on what `find` finds, looking every 5 ms; after 10 s the test fails.
template <typename T>
void act_on_next(std::function<T*()> find, std::function<void(T*)> act, const char* what)
{
    if (!waits())
        waits() = new QObject;
    auto* poll = new QTimer(waits());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, find = std::move(find), act = std::move(act), what, tries = 0]() mutable {
        T* found = find();
        if (found || ++tries > 2000) {
            poll->stop();
            poll->deleteLater();
        }
        if (found)
            act(found);
        else if (tries > 2000) {
            ADD_FAILURE() << what;
            // A dialog the test meant to leave would otherwise wait for input for ever.
            if (QWidget* stuck = QApplication::activeModalWidget())
                stuck->close();
        }
    });
    poll->start(5);
}

}  // namespace

message_box_function recording_message_box() { return record_message; }

void on_next_modal(std::function<void(QWidget*)> act)
{
    // Registered inside a modal window, the wait is for the next one.
    QPointer<QWidget> open_before = QApplication::activeModalWidget();
    act_on_next<QWidget>([open_before]() -> QWidget* {
        if (QWidget* modal = QApplication::activeModalWidget(); modal != open_before)
            return modal;
        // Offscreen, a dialog opened from inside another may not be reported active at once.
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window != open_before && window->isVisible() && window->isModal())
                return window;
        return nullptr;
    }, std::move(act), "no modal window opened");
}

void on_next_popup(std::function<void(QMenu*)> act)
{
    act_on_next<QMenu>([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }, std::move(act), "no menu opened");
}

void run_command(main_window* window, int id)
{
    for (QAction* action : window->findChildren<QAction*>())
        if (action->data() == QVariant(id)) {
            action->trigger();
            return;
        }
    ADD_FAILURE() << "no action has the id " << id;
}

void click_file_menu_entry(main_window* window, const char* action_name)
{
    QMenuBar* bar = window->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions().front()).center());
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* a : menu->actions())
        if (a->objectName() == QLatin1String(action_name)) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
            return;
        }
    ADD_FAILURE() << "no entry " << action_name << " in the File menu";
}

bool box_timer_running(const QWidget* box, const char* name)
{
    const auto* timer = box->findChild<QTimer*>(QLatin1String(name));
    return timer && timer->isActive();
}

std::vector<recorded_message>& recorded_messages()
{
    static std::vector<recorded_message> messages;
    return messages;
}

::testing::AssertionResult told(size_t count, size_t index, const QString& title, const QString& part)
{
    const std::vector<recorded_message>& m = recorded_messages();
    if (m.size() != count)
        return ::testing::AssertionFailure() << m.size() << " boxes shown, not " << count;
    if ((!title.isEmpty() && m[index].title != title) || !m[index].text.contains(part))
        return ::testing::AssertionFailure() << "box " << index << ": \"" << m[index].title.toStdString() << "\": "
                                             << m[index].text.toStdString();
    return ::testing::AssertionSuccess();
}

std::deque<message_answer>& message_answers()
{
    static std::deque<message_answer> answers;
    return answers;
}

void qt_test::SetUp()
{
    clean_state_test::SetUp();
    home_ = std::make_unique<temp_dir>();
    qputenv("HOME", QByteArray::fromStdString(home_->path()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home_->path() + "config"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(home_->path() + "config"));
    reset_window_state();
    ui().message_box = recording_message_box();
    recorded_messages().clear();
    message_answers().clear();
}

void qt_test::TearDown()
{
    delete waits();
    waits() = nullptr;
    // The closing sequence posts the quit; run later, it would end every dialog of the next
    // test at once.
    QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
    // A quit that ran leaves every later exec() returning at once; the application's loop clears that.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    delete ui().window;
    reset_window_state();
    clean_state_test::TearDown();
    home_.reset();
}

QString qt_test::settings_file() const { return open_settings_store()->fileName(); }

void qt_test::earlier_session(int count)
{
    {
        main_window w;
        ASSERT_EQ(w.open_data(), 0);
        for (int i = 0; i < count; ++i)
            add_test_item(0, 0, 1, "saved " + std::to_string(i));
        w.close();
        ASSERT_EQ(db().db_state, database_state::uninitialised);
        // The quit that the close posted would end the next dialog at once.
        QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
    }
    reset_window_state();
    ui().message_box = recording_message_box();
}

main_window* qt_test::open_window()
{
    auto* w = new main_window;
    EXPECT_EQ(w->open_data(), 0);
    w->show();
    QApplication::setActiveWindow(w);
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    return w;
}

QString qt_test::default_dir() const { return QString::fromStdString(home_->path()) + "Documents/cardwrightdb/"; }

int main(int argc, char** argv)
{
    // Never the user's own home, display or settings, not even while tests are listed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static temp_dir process_home;
    qputenv("HOME", QByteArray::fromStdString(process_home.path()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(process_home.path() + "config"));
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
