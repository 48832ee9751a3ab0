#include "ui/single_instance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalSocket>
#include <QSettings>

#include "settings/settings_store.h"

namespace {

constexpr int connect_timeout_ms = 1000;
const QByteArray raise_request = "raise\n";

}  // namespace

QString instance_name()
{
    const QByteArray file = open_settings_store()->fileName().toUtf8();
    const QByteArray hash = QCryptographicHash::hash(file, QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("Cardwright-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

single_instance::single_instance(QString name, QObject* parent) : QObject(parent), name_(std::move(name))
{
    server_.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read_request(socket); });
            read_request(socket);
        }
    });
}

bool single_instance::ask_running_copy()
{
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(name_);
    if (!socket.waitForConnected(connect_timeout_ms))
        return false;
    socket.write(raise_request);
    socket.waitForBytesWritten(connect_timeout_ms);
    socket.disconnectFromServer();
    return true;
}

bool single_instance::listen() { return server_.listen(name_); }

void single_instance::read_request(QLocalSocket* socket)
{
    // Only whole lines count; anything else a stranger sends is ignored.
    while (socket->canReadLine()) {
        if (socket->readLine(64) == raise_request)
            emit raise_requested();
    }
    if (socket->bytesAvailable() > 64)
        socket->abort();
}
