#include "app/ui/BriselVRClientApp.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include <clocale>
#include <memory>

#include "app/ui/BriselVRClientDlg.h"
#include "app/ui/ShowRequestListener.h"
#include "platform/SignalWatcher.h"
#include "platform/SingleInstance.h"
#include "settings/AppSettings.h"

namespace brisel {

int RunBriselVRClient(int argc, char** argv) {
  SingleInstanceLock instance;
  if (!instance.Acquired()) {
    // A second copy makes no window of its own; the running one shows its window instead,
    // which is otherwise out of reach while it is hidden without a tray.
    SingleInstanceLock::AskRunningCopyToShow(instance.ShowRequestPath());
    return 0;
  }

  int signalFd = SignalWatcher::Install();
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  // Wayland compositors match the window to the installed desktop entry by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.briselvr.BriselVRClient"));
  // Media probing opens non-ASCII paths only under a UTF-8 locale.
  if (!std::setlocale(LC_ALL, "C.UTF-8")) std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");

  auto dlg = std::make_unique<CBriselVRClientDlg>(ProgramSettings());
  std::unique_ptr<QSocketNotifier> notifier;
  if (signalFd >= 0) {
    notifier = std::make_unique<QSocketNotifier>(signalFd, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [&] {
      if (SignalWatcher::TakeSignal() != 0) dlg->QuitSequence();
    });
  }
  ShowRequestListener listener;
  listener.Listen(QString::fromStdString(instance.ShowRequestPath()));
  QObject::connect(&listener, &ShowRequestListener::ShowRequested, dlg.get(),
                   &CBriselVRClientDlg::BringToFront);
  QObject::connect(dlg.get(), &CBriselVRClientDlg::ClosedForQuit, &app, &QApplication::quit,
                   Qt::QueuedConnection);

  dlg->show();
  if (!dlg->OnInitDialog())
    QMessageBox::warning(dlg.get(), QString(), QStringLiteral("配置文件异常"));
  int rc = app.exec();
  notifier.reset();
  dlg.reset();  // shutdown: the pages' threads, the log thread, the service, the windows
  return rc;
}

}  // namespace brisel
