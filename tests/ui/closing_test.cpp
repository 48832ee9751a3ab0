#include <QFile>
#include <QSettings>

#include "session/lifecycle.h"
#include "settings/settings_store.h"
#include "support/qt_test_support.h"
#include "ui/main_window.h"
#include "resources/ids.h"

namespace {

int deinit_calls = 0;
int failures_left = 0;

deinit_result failing_deinit(close_mode mode)
{
    ++deinit_calls;
    if (failures_left > 0) {
        --failures_left;
        return {deinit_status::not_saved, {"elements.bin", "the disk is full"}};
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
