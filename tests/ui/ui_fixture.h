#pragma once
// A main window on a fresh data directory, with sound and picture doubles, a settable
// millisecond clock and helpers that put items into the database.
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <string>
#include <vector>

#include "session/choose.h"
#include "database/database.h"
#include "support/database_helpers.h"
#include "support/qt_test_support.h"
#include "ui/main_window.h"
#include "ui/media.h"

// What the doubles were asked to do: "play <path>", "stop", "open <path>", "folder <path>".
inline std::vector<std::string>& media_log()
{
    static std::vector<std::string> log;
    return log;
}

class recording_sound_player : public sound_player {
public:
    void play(const QString& path) override { media_log().push_back("play " + path.toStdString()); }
    void stop() override { media_log().push_back("stop"); }
};

class recording_picture_viewer : public picture_viewer {
public:
    void open(const QString& path) override { media_log().push_back("open " + path.toStdString()); }
};

inline uint32_t& fake_now()
{
    static uint32_t now = 0;
    return now;
}

class ui_test : public qt_test {
protected:
    void SetUp() override
    {
        qt_test::SetUp();
        media_log().clear();
        fake_now() = 100000;
        w = new main_window;
        ASSERT_EQ(w->open_data(), 0);
        // Ten days into the database's life, so that items can be overdue.
        db().time_of_start -= 10 * 86400;
        ui().sound = std::make_unique<recording_sound_player>();
        ui().viewer = std::make_unique<recording_picture_viewer>();
        ui().open_folder = [](const QString& path) { media_log().push_back("folder " + path.toStdString()); };
        ui().tick_count = [] { return fake_now(); };
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        client()->setFocus();
    }

    QWidget* client() const { return w->client_area; }
    std::string data_dir() const { return default_dir().toStdString(); }

    // A scheduled item due `days` from today (negative: overdue).
    static item* add_item(const std::string& question, const std::string& answer, uint16_t ctgr = 0, int days = 0)
    {
        return add_test_item(static_cast<uint16_t>(day_number(0) + days), ctgr, 0, question, answer);
    }
    static pending_item* add_pending(const std::string& question, const std::string& answer, uint16_t ctgr = 0)
    {
        return add_test_pending(ctgr, question, answer);
    }

    void key(Qt::Key k) { QTest::keyClick(client(), k); }
    // A key or a text as the keyboard sends them: to the widget that has the focus.
    void press(Qt::Key k, Qt::KeyboardModifiers mods = {})
    {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, k, mods);
    }
    void type(const QString& text)
    {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClicks(target, text);
    }
    // A click on a button some time after the last one.
    void click(QPushButton* button, uint32_t after_ms = 1000)
    {
        fake_now() += after_ms;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QString question_shown() const { return w->question_box->toPlainText(); }
    QString answer_shown() const { return w->answer_box->toPlainText(); }
    bool grades_shown() const { return !w->grade_buttons[0]->isHidden(); }

    main_window* w = nullptr;
};
