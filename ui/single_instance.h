#pragma once
// One running copy per user: the first copy listens on a local socket in the abstract
// namespace (nothing is left behind after a crash); a second start asks it to come forward.
#include <QLocalServer>
#include <QObject>
#include <QString>

// The per-user name; a separate settings file (another profile) gets its own name.
QString instance_name();

class single_instance : public QObject {
    Q_OBJECT
public:
    explicit single_instance(QString name, QObject* parent = nullptr);
    // True when a running copy answered and was asked to raise its window.
    bool ask_running_copy();
    // Starts answering later starts; false when the name is taken.
    bool listen();

signals:
    void raise_requested();

private:
    void read_request(class QLocalSocket* socket);

    QString name_;
    QLocalServer server_;
};
