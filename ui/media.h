#pragma once
// Sounds and pictures named by item texts. The program plays through Qt Multimedia and opens
// pictures in the desktop's viewer; tests put doubles in their place.
#include <QString>

#include <memory>

class sound_player {
public:
    virtual ~sound_player() = default;
    // Starts the sound in the background; a sound already playing is cut off.
    virtual void play(const QString& path) = 0;
    virtual void stop() = 0;
};

class picture_viewer {
public:
    virtual ~picture_viewer() = default;
    virtual void open(const QString& path) = 0;
};

// One player for the whole program, so that a new sound always stops the last.
std::unique_ptr<sound_player> make_qt_sound_player();
std::unique_ptr<picture_viewer> make_desktop_picture_viewer();
