#pragma once
// Timing the window from outside: with CARDWRIGHT_FRAME_LOG naming a file, the program appends to
// it a line for each frame its top-level windows put on the screen: the time (CLOCK_REALTIME) and
// the processor time of the main thread so far and of all its threads (ended ones too), all in
// nanoseconds, so that a script driving it with real input can time an input to the last frame
// the input causes, and tell the program's own work from the waiting on a busy machine. Without
// the variable nothing is written.
#include <cstdio>

#include <QApplication>

class frame_logging_application : public QApplication {
public:
    frame_logging_application(int& argc, char** argv);
    ~frame_logging_application() override;
    frame_logging_application(const frame_logging_application&) = delete;
    frame_logging_application& operator=(const frame_logging_application&) = delete;

    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::FILE* log_ = nullptr;  // the frame log, or null when frames are not logged
    bool painted_ = false;  // a widget was painted since the last frame was logged
};
