#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

#include <string>

namespace brisel {

class CConvertList;
class CKbcButton;
class CMyProgressBar;
class ConvertListItemCore;

// Controls of a task row.
enum ConvertRowControl : int {
  IDC_ROW_PROGRESS = 1000,
  IDC_ROW_CANCEL = 1043,  // "取消"
  IDC_ROW_RETRY = 1044,   // "重新转码" (icon with a tooltip)
  IDC_ROW_PIN = 1082,     // "置顶"
};

// One task's row in the conversion list: 80 pixels high and as wide as the list. It shows
// the thumbnail (or "Convert\NoVideoSrc.png"), the name, the size text, the mode label, a
// progress bar and the status of the task's state, the cancel button, the pin button "置顶"
// while the pointer rests on a waiting, failed or interrupted task, and the retry button
// "重新转码" on an interrupted or failed task.
//
// Lifetime: the row shows a task core that the conversion queue owns. The list destroys the
// row when the queue announces the task's removal (ConvertListHost::OnTaskRemoving), before
// the core goes, and destroys every row before the queue itself; so `task` is valid for the
// row's whole life.
//
// The transcoder thread writes the task's state and progress; the row reads them only in
// SyncFromTask (the list's timer, and after every change of the queue), so nobody waits for
// anybody. The buttons go to the list (CConvertList::OnRowButton). UI thread only.
class CConvertListItemDlg : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 80;
  // Rows further down are left blank, without a cancel button.
  static constexpr int kMaxPaintedPosition = 10000;

  static inline const QRect kThumbRect{24, 18, 80, 45};
  static inline const QRect kNameRect{120, 21, 164, 14};
  static inline const QRect kSizeRect{118, 39, 46, 14};
  static inline const QRect kModeField{309, 20, 116, 24};
  static inline const QRect kModeText{328, 23, 116, 24};
  static inline const QRect kProgressRect{452, 32, 142, 8};
  static inline const QRect kStatusRect{451, 44, 160, 14};
  static inline const QRect kDoneMark{451, 34, 18, 18};
  static inline const QRect kDoneText{471, 34, 160, 14};
  static inline const QRect kTipMark{504, 46, 13, 13};
  static inline const QRect kErrorBadge{92, 51, 14, 14};
  static inline const QRect kPinRect{632, 30, 35, 20};
  static inline const QRect kRetryRect{670, 28, 24, 24};
  static inline const QRect kCancelRect{699, 25, 64, 30};

  static constexpr QRgb kBackground = 0xFFF2F3F3;
  static constexpr QRgb kSeparator = 0xFFE8E9ED;
  static constexpr QRgb kNameColour = 0xFF3E3D42;
  static constexpr QRgb kGrey = 0xFF8E8E8E;
  static constexpr QRgb kCancelledText = 0xFFAAAAAA;
  static constexpr QRgb kFailedText = 0xFFF4564E;

  // `list` is the conversion list window: it hears the row's buttons, and it gets the
  // keyboard focus when the row is clicked, so that the wheel scrolls it.
  CConvertListItemDlg(ConvertListItemCore* task, CConvertList* list);

  ConvertListItemCore* Task() const { return m_pTask; }
  const std::string& TaskId() const;

  // Takes over the task's state, progress and position: the progress bar, which buttons
  // show, and a repaint of what changed.
  void SyncFromTask();

  CMyProgressBar* ProgressBar() const { return m_pProgress; }
  CKbcButton* Button(int id) const;
  bool IsRowHover() const { return m_bRowHover; }
  // The status line as painted: "任务等待", "已转码：37 %", "转码完成", "任务中断", "任务失败" or
  // nothing.
  QString StatusText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void OnButton(int id);
  void PointerOver();
  bool Painted() const;

  ConvertListItemCore* const m_pTask;
  CConvertList* const m_pList;
  QImage m_thumb, m_noVideo, m_converted, m_error, m_tip;
  CMyProgressBar* m_pProgress = nullptr;
  CKbcButton* m_pCancel = nullptr;
  CKbcButton* m_pPin = nullptr;
  CKbcButton* m_pRetry = nullptr;
  bool m_bRowHover = false;
  // What the last SyncFromTask saw, so that only changes repaint.
  int m_nShownState = -1;
  int m_nShownPosition = -1;
};

}  // namespace brisel
