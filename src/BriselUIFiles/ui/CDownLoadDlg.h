#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <initializer_list>
#include <string>

#include "BriselUIFiles/DownLoadCore.h"
#include "toolkit/MessageReceiver.h"
#include "toolkit/WindowDrag.h"

namespace brisel {

class CKbcButton;
class CMyProgressBar;

// Control ids of the update download dialog.
enum DownLoadControl : int {
  IDC_DOWNLOAD_CANCEL = 1006,    // "取消升级"
  IDC_DOWNLOAD_PROGRESS = 1073,  // the progress bar
  IDC_DOWNLOAD_RETRY = 1075,     // "重新下载"
  IDC_DOWNLOAD_INSTALL = 1076,   // "立即安装"
  IDC_DOWNLOAD_CLOSE = 1077,     // "关闭"
};

// The update download dialog: a borderless 460 x 310 window with rounded corners, centred on
// the screen, with the header picture, a progress bar and one line of text. Made hidden at
// start-up; the main window shows it on top and calls StartDownload. The download runs on
// DownLoadCore's thread; its progress and its end come back as messages.
//
// How it ends (DownLoadCore verifies; the dialog says what happened and asks):
//   a verified Debian package   "升级文件已通过验证，是否立即安装？" with "取消升级" and
//                               "立即安装"; installing opens it with the desktop's software
//                               installer, shows "升级文件下载完毕" and asks the main window
//                               to close (WM_SYSCOMMAND, SC_CLOSE);
//   another verified file       "升级文件已通过验证，已保存至下载文件夹", its folder opened;
//   no key built in             "升级文件未经验证，已保存至下载文件夹", its folder opened;
//   a rejected signature        "升级文件未通过验证，已删除";
//   a failed download           "升级文件下载失败".
// The last two offer "重新下载" (the same URL again) and "取消升级"; the kept files offer
// "关闭". "取消升级" and "关闭" hide the dialog and emit UpdateCancelled; nothing is opened.
// Dragged by its top 140 pixels. UI thread only.
class CDownLoadDlg : public QWidget, public MessageReceiver {
  Q_OBJECT

 public:
  static constexpr int kWidth = 460, kHeight = 310;
  static constexpr int kHeaderHeight = 140;
  static inline const QRect kTextRect{kWidth / 2 - 193, 230, kWidth - 30 - (kWidth / 2 - 193), 20};

  // `owner`: where the close request goes once the installer runs (the main window).
  explicit CDownLoadDlg(MessageTargetRef owner);
  ~CDownLoadDlg() override;

  // Starts fetching the installer from `url` (again, after a failure).
  void StartDownload(const std::string& url);
  // Stops a running download; nothing is launched.
  void CancelDownload();

  // The line shown: "VR助手升级中，请稍后...", or how the download ended (above).
  const QString& Text() const { return m_strText; }
  bool Done() const { return m_bDone; }
  bool Failed() const { return m_bFailed; }
  bool Running() const { return m_core.Running(); }
  // Percentages shown so far in this download (-1 for a reply without a length).
  const std::vector<int>& ShownPercents() const { return m_shownPercents; }
  CMyProgressBar* ProgressBar() const { return m_pProgress; }
  CKbcButton* Button(int id) const;
  DownLoadCore& Core() { return m_core; }

 signals:
  // "取消升级" or "关闭": the update is over; the main window comes back.
  void UpdateCancelled();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void OnMessage(const Message& message) override;

 private:
  void OnButton(int id);
  void OnProgress(int percent);
  void OnResult(DownloadResult result, const std::string& path);
  // Shows these buttons and hides the others.
  void ShowButtons(std::initializer_list<CKbcButton*> shown);
  void SetText(const QString& text);

  DownLoadCore m_core;
  std::string m_strUrl;
  QImage m_header;
  CMyProgressBar* m_pProgress;
  CKbcButton* m_pRetry;
  CKbcButton* m_pCancel;
  CKbcButton* m_pInstall;
  CKbcButton* m_pClose;
  QString m_strText;
  bool m_bDone = false;
  bool m_bFailed = false;
  std::vector<int> m_shownPercents;
  QTimer m_marquee;  // moves the bar while the length is unknown
  WindowDrag m_drag;
};

}  // namespace brisel
