#include "ui/media.h"

#include <QAudioOutput>
#include <QDesktopServices>
#include <QMediaPlayer>
#include <QUrl>

namespace {

class qt_sound_player : public sound_player {
public:
    void play(const QString& path) override
    {
        // Made on first use: a session without sounds never touches the audio system.
        if (!player_) {
            output_ = std::make_unique<QAudioOutput>();
            player_ = std::make_unique<QMediaPlayer>();
            player_->setAudioOutput(output_.get());
        }
        player_->stop();
        const QUrl url = QUrl::fromLocalFile(path);
        if (!url.host().isEmpty())
            return;  // a file on another computer: never fetched
        player_->setSource(url);
        player_->play();
    }
    void stop() override
    {
        if (player_)
            player_->stop();
    }

private:
    std::unique_ptr<QAudioOutput> output_;
    std::unique_ptr<QMediaPlayer> player_;
};

class desktop_picture_viewer : public picture_viewer {
public:
    void open(const QString& path) override
    {
        // A path that turns into file://host/... would be fetched from another computer.
        const QUrl url = QUrl::fromLocalFile(path);
        if (url.host().isEmpty())
            QDesktopServices::openUrl(url);
    }
};

}  // namespace

std::unique_ptr<sound_player> make_qt_sound_player() { return std::make_unique<qt_sound_player>(); }

std::unique_ptr<picture_viewer> make_desktop_picture_viewer() { return std::make_unique<desktop_picture_viewer>(); }
