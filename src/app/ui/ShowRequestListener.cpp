#include "app/ui/ShowRequestListener.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <cstring>

#include "platform/SingleInstance.h"

namespace brisel {
namespace {

// More than a request ever holds; a connection that sends more is dropped.
constexpr qint64 kMaxRequest = 64;

}  // namespace

ShowRequestListener::ShowRequestListener(QObject* parent)
    : QObject(parent), m_pServer(new QLocalServer(this)) {
  m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
  connect(m_pServer, &QLocalServer::newConnection, this, &ShowRequestListener::OnConnection);
}

ShowRequestListener::~ShowRequestListener() { m_pServer->close(); }

bool ShowRequestListener::Listen(const QString& socketPath) {
  QLocalServer::removeServer(socketPath);
  return m_pServer->listen(socketPath);
}

void ShowRequestListener::OnConnection() {
  while (QLocalSocket* socket = m_pServer->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      const QByteArray request(SingleInstanceLock::kShowRequest);
      QByteArray data = socket->peek(kMaxRequest);
      if (data.startsWith(request)) {
        socket->readAll();
        socket->disconnectFromServer();
        emit ShowRequested();
      } else if (data.size() >= request.size() || !request.startsWith(data)) {
        socket->abort();  // not a request of ours
        socket->deleteLater();
      }
    });
  }
}

}  // namespace brisel
