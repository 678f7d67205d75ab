#pragma once

#include <QDialog>
#include <QString>

#include <map>

#include "platform/Notifications.h"
#include "toolkit/ShadowSet.h"
#include "toolkit/WindowDrag.h"

namespace brisel {

class CKbcButton;

// Control ids of the notification dialog.
enum NotifyControl : int {
  IDC_NOTIFY_CLOSE = 1006,
  IDC_NOTIFY_CONFIRM = 1046,
  IDC_NOTIFY_CANCEL = 1047,
  IDC_NOTIFY_NO_PROMPT = 1048,
  IDC_NOTIFY_DELETE_SOURCE = 1049,
  IDC_NOTIFY_CONTINUE = 1050,
  IDC_NOTIFY_SKIP = 1051,
  IDC_NOTIFY_RUN_HIDDEN = 1053,
  IDC_NOTIFY_QUIT = 1054,
};

// The skinned, modal 460 x 300 notification dialog: a dark title band (which drags it), a
// message, the kind's buttons, a close button and its own drop shadow. Run it with exec()
// and read GetNotifyResult() (and, for the exit prompt, KeepsChoice()). Esc and Enter close it
// with no choice. It reads and writes no settings: its caller hands it the one it shows and
// stores what the user chose. UI thread only.
class CNotifyMsgDlg : public QDialog {
  Q_OBJECT

 public:
  // `name` is shown by kind 4 inside 《》 (callers shorten long names with ShortPromptName).
  // `deleteOrigin` is the DeleteOrigin setting, the first tick of "彻底删除源文件".
  CNotifyMsgDlg(QWidget* parent, int kind, const QString& name = QString(), int deleteOrigin = 0);
  ~CNotifyMsgDlg() override;

  // Sets the title, the message and the visible buttons; kinds 1-3 also tick
  // "彻底删除源文件" from the DeleteOrigin setting given at construction.
  void SetKind(int kind);

  int Kind() const { return m_nKind; }
  int GetNotifyResult() const { return m_nResult; }
  // Whether the (hidden) box "不再提示" is ticked: the exit prompt's "后台运行" or "完全退出"
  // is then meant to become the exit behaviour setting, which the caller stores.
  bool KeepsChoice() const;
  const QString& Title() const { return m_strTitle; }
  const QString& MessageText() const { return m_strMessage; }
  CKbcButton* Button(int id) const;
  ShadowSet& Shadows() { return m_shadows; }
  void DestroyShadows() { m_shadows.DestroyShadows(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnInitDialog();
  void OnButton(int id);
  void Finish(int result);

  std::map<int, CKbcButton*> m_buttons;
  QString m_strTitle, m_strMessage;
  ShadowSet m_shadows{ShadowOwner::NotifyDialog};
  int m_nKind;
  int m_nResult = NOTIFY_NO_CHOICE;
  QString m_strName;
  int m_nDeleteOrigin;
  WindowDrag m_drag;
};

}  // namespace brisel
