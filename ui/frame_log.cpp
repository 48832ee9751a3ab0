#include "ui/frame_log.h"

#include <time.h>

#include <cstdlib>

#include <QWidget>
#include <QWindow>

namespace {

// The events after which a window's backing store has been painted and flushed.
bool ends_frame(QObject* receiver, const QEvent* event)
{
    if (event->type() != QEvent::UpdateRequest && event->type() != QEvent::Expose)
        return false;
    if (receiver->isWindowType())
        return true;
    const auto* widget = qobject_cast<const QWidget*>(receiver);
    return widget && widget->isWindow();
}

long long nanoseconds(clockid_t clock)
{
    timespec t {};
    ::clock_gettime(clock, &t);
    return static_cast<long long>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

}  // namespace

frame_logging_application::frame_logging_application(int& argc, char** argv) : QApplication(argc, argv)
{
    const char* path = std::getenv("CARDWRIGHT_FRAME_LOG");
    if (!path || !*path)
        return;
    log_ = std::fopen(path, "a");
    // A blinking cursor would draw a frame every half second and hide the last one an input causes.
    if (log_)
        setCursorFlashTime(0);
}

frame_logging_application::~frame_logging_application()
{
    if (log_)
        std::fclose(log_);
}

bool frame_logging_application::notify(QObject* receiver, QEvent* event)
{
    if (!log_)
        return QApplication::notify(receiver, event);
    const QEvent::Type type = event->type();
    const bool frame = ends_frame(receiver, event);
    const bool handled = QApplication::notify(receiver, event);
    if (type == QEvent::Paint)
        painted_ = true;
    else if (frame && painted_) {
        painted_ = false;
        std::fprintf(log_, "%lld %lld %lld\n", nanoseconds(CLOCK_REALTIME), nanoseconds(CLOCK_THREAD_CPUTIME_ID),
            nanoseconds(CLOCK_PROCESS_CPUTIME_ID));
        std::fflush(log_);
    }
    return handled;
}
