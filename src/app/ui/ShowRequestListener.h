#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace brisel {

// The running copy's side of the second-copy handshake: listens on the per-user local socket
// beside the instance lock and emits ShowRequested when a second copy asks for the window
// (SingleInstanceLock::AskRunningCopyToShow). Only the copy that holds the lock listens, so a
// socket file left behind by a crash is removed first. Anything other than the request is
// ignored. UI thread only.
class ShowRequestListener : public QObject {
  Q_OBJECT

 public:
  explicit ShowRequestListener(QObject* parent = nullptr);
  ~ShowRequestListener() override;

  // Starts listening at `socketPath`; false when the socket cannot be made.
  bool Listen(const QString& socketPath);

 signals:
  void ShowRequested();

 private:
  void OnConnection();

  QLocalServer* m_pServer;
};

}  // namespace brisel
