#pragma once

#include <QWidget>

#include "app/BriselVRClientCore.h"
#include "toolkit/MessageReceiver.h"

namespace brisel {

// The program's only top-level window: borderless, 972 x 630, "BriselVR助手". It runs the
// start-up steps when it is set up and the shutdown steps when it is destroyed.
class CBriselVRClientDlg : public QWidget, public MessageReceiver {
  Q_OBJECT

 public:
  explicit CBriselVRClientDlg(QWidget* parent = nullptr);
  ~CBriselVRClientDlg() override;

  // The start-up sequence (OnInitDialog). False when the settings could not be loaded.
  bool OnInitDialog();

  // The quit sequence: marks the quit as confirmed and closes the window, which ends the
  // event loop.
  void QuitSequence();

  BriselVRClientCore& Core() { return m_core; }
  bool QuitConfirmed() const { return m_bQuitConfirmed != 0; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void OnMessage(const Message& message) override;

 private:
  void HandleCloseRequest();
  // "后台运行": the window leaves the screen, the program keeps running.
  void RunInBackground();

  BriselVRClientCore m_core;
  int m_bQuitConfirmed = 0;
};

}  // namespace brisel
