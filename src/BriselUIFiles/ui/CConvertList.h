#pragma once

#include <QTimer>
#include <QWidget>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BriselUIFiles/ConvertListCore.h"
#include "BriselUIFiles/ConvertListHost.h"
#include "toolkit/MessageReceiver.h"

class QScrollBar;

namespace brisel {

class CConvertListItemDlg;

// The conversion list: the queue (ConvertListCore) and the view of its tasks, one 80-pixel
// row (CConvertListItemDlg) per task in list order, on the light page colour, with a vertical
// scroll bar while the rows do not fit.
//
// Scrolling: the range is 1 to the content height (n × 80 from six tasks on, else the list's
// height) with a page of the list's height; the wheel, anywhere over the list and its rows,
// moves 25 pixels per step, as do the scroll bar's arrows; its page steps move a page. A row
// at unscrolled y is shown at y − (position − 1). The position is kept across every change
// of the queue, within the new range.
//
// The transcoders post how their runs ended (WM_CONVERT_STATUS) to this window, which hands
// them to the queue on the UI thread; what the queue tells the share page goes to `page`.
// Rows are created at the layout after their task was added and destroyed when the queue
// announces the task's removal; their buttons call the queue. While a task converts, a timer
// copies its progress into its row. UI thread only.
class CConvertList : public QWidget, public MessageReceiver, private ConvertListHost {
  Q_OBJECT

 public:
  static constexpr int kWheelStep = 25;
  static constexpr int kProgressIntervalMs = 200;
  static constexpr QRgb kBackground = 0xFFF2F3F3;

  // `page` (may be null) must outlive the list.
  explicit CConvertList(ConvertListPage* page, QWidget* parent = nullptr);
  ~CConvertList() override;

  ConvertListCore& Core() { return *m_pCore; }

  // The queue file's tasks, then the first layout.
  void LoadQueueFile();
  // The queue's Relayout: positions, content height, rows placed.
  void Relayout();

  // Scroll position, 1 at the top.
  int ScrollPos() const { return m_nScrollPos; }
  // The largest position: content height − page + 1, and at least 1.
  int LastScrollPos() const;
  // Applies a position, kept within 1..LastScrollPos().
  void ScrollTo(int position);
  QScrollBar* ScrollBar() const { return m_pScrollBar; }

  // The rows in list order.
  std::vector<CConvertListItemDlg*> Rows() const;
  CConvertListItemDlg* Row(const std::string& taskId) const;
  // Where the rows go: the list's width less a shown scroll bar.
  int ClientWidth() const;

  // The buttons of a task's row: "取消", "置顶" and "重新转码".
  void OnRowButton(const std::string& taskId, int button);

 protected:
  void OnMessage(const Message& message) override;
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // ConvertListHost
  void ShowMessageBox(const std::string& text) override;
  void OnRelayout() override;
  void OnTaskRemoving(const std::string& taskId) override;

  void PlaceRows();
  void UpdateScrollBar();
  void Wheel(int angleDeltaY);
  // The timer's tick: progress and state into the rows; stops itself when nothing converts.
  void SyncRows();
  void KeepTimerRunning();

  std::unique_ptr<ConvertListCore> m_pCore;
  std::map<std::string, CConvertListItemDlg*> m_rows;  // by TaskId
  QScrollBar* m_pScrollBar = nullptr;
  QTimer m_progressTimer;
  int m_nScrollPos = 1;
  bool m_bShowingBox = false;
};

}  // namespace brisel
