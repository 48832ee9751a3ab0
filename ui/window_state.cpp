#include "ui/window_state.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

#include <ctime>

window_state& ui()
{
    static window_state state;
    return state;
}

void reset_window_state() { ui() = window_state{}; }

namespace {

// Where no window manager hands the keyboard back, the window a message was shown over would be
// left without it once the message closes: Escape and Return would do nothing there.
class keyboard_back {
public:
    explicit keyboard_back(QWidget* owner) : window_(owner ? owner->window() : nullptr) {}
    ~keyboard_back()
    {
        if (window_ && window_->isVisible())
            window_->activateWindow();
    }
    keyboard_back(const keyboard_back&) = delete;
    keyboard_back& operator=(const keyboard_back&) = delete;

private:
    QPointer<QWidget> window_;  // null once the window is gone
};

}  // namespace

message_answer show_message(QWidget* owner, const QString& title, const QString& text, message_buttons buttons)
{
    if (ui().message_box)
        return ui().message_box(owner, title, text, buttons);
    const keyboard_back back(owner);
    switch (buttons) {
    case message_buttons::ok:
        QMessageBox::information(owner, title, text, QMessageBox::Ok);
        return message_answer::ok;
    case message_buttons::ok_after_failure:
        QMessageBox::warning(owner, title, text, QMessageBox::Ok);
        return message_answer::ok;
    case message_buttons::yes_no:
        // No is the default: a key meant for the window must not confirm what cannot be undone.
        return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
                == QMessageBox::Yes
            ? message_answer::yes
            : message_answer::no;
    case message_buttons::retry_cancel:
        return QMessageBox::warning(owner, title, text, QMessageBox::Retry | QMessageBox::Cancel)
                == QMessageBox::Retry
            ? message_answer::retry
            : message_answer::cancel;
    case message_buttons::retry_elsewhere_discard: {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, owner);
        QPushButton* retry = box.addButton(QMessageBox::Retry);
        QPushButton* elsewhere = box.addButton(QCoreApplication::translate("window_state", "Save in Another Folder..."), QMessageBox::ActionRole);
        box.addButton(QCoreApplication::translate("window_state", "Close Without Saving"), QMessageBox::DestructiveRole);
        box.setDefaultButton(retry);
        box.exec();
        if (box.clickedButton() == retry)
            return message_answer::retry;
        if (box.clickedButton() == elsewhere)
            return message_answer::elsewhere;
        return message_answer::discard;
    }
    }
    return message_answer::cancel;
}

QString choose_folder(QWidget* owner, const QString& title)
{
    if (ui().choose_folder)
        return ui().choose_folder(owner, title);
    return QFileDialog::getExistingDirectory(owner, title, QDir::homePath());
}

void open_folder(const QString& path)
{
    if (ui().open_folder)
        ui().open_folder(path);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

uint32_t tick_count_ms()
{
    if (ui().tick_count)
        return ui().tick_count();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

sound_player& sounds()
{
    if (!ui().sound)
        ui().sound = make_qt_sound_player();
    return *ui().sound;
}

picture_viewer& pictures()
{
    if (!ui().viewer)
        ui().viewer = make_desktop_picture_viewer();
    return *ui().viewer;
}
