#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the window thread: the handler only
// writes a byte into a pipe that a socket notifier watches.
#include <QObject>

class QSocketNotifier;

class signal_bridge : public QObject {
    Q_OBJECT
public:
    explicit signal_bridge(QObject* parent = nullptr);
    ~signal_bridge() override;

signals:
    void termination_requested(int signal_number);

private:
    QSocketNotifier* notifier_ = nullptr;
};
