#pragma once
// For the Qt tests: a QApplication on the offscreen platform, and a fixture that gives each
// test its own home folder (so its documents folder), settings file and recorded message boxes.
#include <QtTest>
#include <QtWidgets>

#include <deque>
#include <memory>
#include <ostream>

#include "support/test_support.h"
#include "ui/window_state.h"

// Qt's own waits report a timeout to a QTest run that GoogleTest never sees, and leave the test
// quietly: these fail the test instead.
#undef QTRY_VERIFY_WITH_TIMEOUT
#define QTRY_VERIFY_WITH_TIMEOUT(condition, timeout_ms) \
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, timeout_ms)) << #condition
#undef QTRY_VERIFY
#define QTRY_VERIFY(condition) QTRY_VERIFY_WITH_TIMEOUT(condition, 5000)
#undef QTRY_COMPARE_WITH_TIMEOUT
#define QTRY_COMPARE_WITH_TIMEOUT(actual, expected, timeout_ms)         \
    do {                                                                \
        static_cast<void>(QTest::qWaitFor([&] { return (actual) == (expected); }, timeout_ms)); \
        ASSERT_EQ(actual, expected);                                    \
    } while (false)
#undef QTRY_COMPARE
#define QTRY_COMPARE(actual, expected) QTRY_COMPARE_WITH_TIMEOUT(actual, expected, 5000)

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

class main_window;

struct recorded_message {
    QString title;
    QString text;
    message_buttons buttons;
    bool owned;
};

class qt_test : public clean_state_test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString settings_file() const;
    QString default_dir() const;  // in this test's home
    // A database of `count` items saved and closed by a window, as an earlier session leaves it.
    void earlier_session(int count);
    // A main window on the data directory of the settings, shown and active.
    static main_window* open_window();

    std::unique_ptr<temp_dir> home_;
};

// Message boxes shown since the test began, and the answers the next ones will get (then Cancel/No).
std::vector<recorded_message>& recorded_messages();
std::deque<message_answer>& message_answers();
// Whether exactly `count` boxes were shown, the one at `index` with this title (unless empty)
// and with `part` in its text.
::testing::AssertionResult told(size_t count, size_t index, const QString& title, const QString& part = {});
// The stand-in for the message box that records into them, which each test starts with.
message_box_function recording_message_box();

class QMenu;
class QWidget;
void run_command(main_window* window, int id);
void click_file_menu_entry(main_window* window, const char* action_name);
// Whether the named timer of a box's behaviour ("edit_after_click", "hold") is running.
bool box_timer_running(const QWidget* box, const char* name);
// Runs `act` on the next modal window (a dialog started with exec()) once it is open. The wait
// ends with the test.
void on_next_modal(std::function<void(QWidget*)> act);
// Runs `act` on the next pop-up menu once it is open. The wait ends with the test.
void on_next_popup(std::function<void(QMenu*)> act);
