#include "BriselUIFiles/ui/CConvertList.h"

#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>

#include "BriselUIFiles/ui/CConvertListItemDlg.h"

namespace brisel {

CConvertList::CConvertList(ConvertListPage* page, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ConvertList"));
  setFocusPolicy(Qt::ClickFocus);
  m_pCore = std::make_unique<ConvertListCore>(Target(), page, static_cast<ConvertListHost*>(this));
  m_pCore->SetClientHeight(height());

  m_pScrollBar = new QScrollBar(Qt::Vertical, this);
  m_pScrollBar->setObjectName(QStringLiteral("ConvertListScrollBar"));
  m_pScrollBar->setSingleStep(kWheelStep);
  m_pScrollBar->setRange(1, 1);
  m_pScrollBar->installEventFilter(this);
  m_pScrollBar->hide();
  connect(m_pScrollBar, &QScrollBar::valueChanged, this, &CConvertList::ScrollTo);

  m_progressTimer.setInterval(kProgressIntervalMs);
  connect(&m_progressTimer, &QTimer::timeout, this, &CConvertList::SyncRows);
}

CConvertList::~CConvertList() {
  m_progressTimer.stop();
  // The rows show the queue's task cores: they go first.
  for (auto& entry : m_rows) delete entry.second;
  m_rows.clear();
  m_pCore.reset();  // stops and joins a transcoder that still runs
}

void CConvertList::LoadQueueFile() {
  m_pCore->LoadQueueFile();
  Relayout();
}

void CConvertList::Relayout() {
  m_pCore->SetClientHeight(height());
  m_pCore->Relayout();
}

std::vector<CConvertListItemDlg*> CConvertList::Rows() const {
  std::vector<CConvertListItemDlg*> rows;
  for (const LISTITEM_ST& t : m_pCore->TaskList())
    if (CConvertListItemDlg* row = Row(t.TaskId)) rows.push_back(row);
  return rows;
}

CConvertListItemDlg* CConvertList::Row(const std::string& taskId) const {
  auto it = m_rows.find(taskId);
  return it == m_rows.end() ? nullptr : it->second;
}

int CConvertList::ClientWidth() const {
  return width() - (m_pScrollBar->isVisibleTo(this) ? m_pScrollBar->width() : 0);
}

int CConvertList::LastScrollPos() const {
  return std::max(1, m_pCore->ContentHeight() - height() + 1);
}

void CConvertList::ScrollTo(int position) {
  position = std::clamp(position, 1, LastScrollPos());
  {
    const QSignalBlocker quiet(m_pScrollBar);
    m_pScrollBar->setValue(position);
  }
  if (position == m_nScrollPos) return;
  m_nScrollPos = position;
  PlaceRows();
}

void CConvertList::OnMessage(const Message& message) {
  m_pCore->HandleMessage(message);
  KeepTimerRunning();
}

void CConvertList::OnRowButton(const std::string& taskId, int button) {
  switch (button) {
    case IDC_ROW_CANCEL:
      // Later, not inside the click: removing the task destroys the row whose button is
      // still handling it. The context object drops the call if the list goes first.
      QMetaObject::invokeMethod(
          this, [this, taskId] { m_pCore->CancelTask(taskId); }, Qt::QueuedConnection);
      break;
    case IDC_ROW_PIN:
      m_pCore->OnTaskCommand(taskId, kMoveToTopCommand);
      break;
    case IDC_ROW_RETRY:
      m_pCore->OnTaskCommand(taskId, kRetryCommand);
      break;
    default:
      break;
  }
}

void CConvertList::OnRelayout() {
  for (const LISTITEM_ST& t : m_pCore->TaskList()) {
    if (m_rows.count(t.TaskId) == 0) m_rows[t.TaskId] = new CConvertListItemDlg(t.Row.get(), this);
  }
  UpdateScrollBar();
  PlaceRows();
  KeepTimerRunning();
  update();
}

void CConvertList::OnTaskRemoving(const std::string& taskId) {
  auto it = m_rows.find(taskId);
  if (it == m_rows.end()) return;
  // At once, not later: the task core the row shows is destroyed when this returns. Removals
  // never come from inside the row's own event handlers (its "取消" is handled after the
  // click), so nothing of the row is on the stack here.
  delete it->second;
  m_rows.erase(it);
}

void CConvertList::UpdateScrollBar() {
  const bool needed = m_pCore->ContentHeight() > height();
  const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  m_pScrollBar->setGeometry(width() - extent, 0, extent, height());
  m_pScrollBar->setVisible(needed);
  m_nScrollPos = std::clamp(m_nScrollPos, 1, LastScrollPos());
  const QSignalBlocker quiet(m_pScrollBar);
  m_pScrollBar->setRange(1, LastScrollPos());
  m_pScrollBar->setPageStep(std::max(1, height()));
  m_pScrollBar->setValue(m_nScrollPos);
}

void CConvertList::PlaceRows() {
  const int width = ClientWidth();
  const int offset = m_nScrollPos - 1;
  for (const LISTITEM_ST& t : m_pCore->TaskList()) {
    CConvertListItemDlg* row = Row(t.TaskId);
    if (!row) continue;
    const int y = CConvertListItemDlg::kHeight * (t.Row->Position() - 1) - offset;
    row->setGeometry(0, y, width, CConvertListItemDlg::kHeight);
    row->SyncFromTask();
    row->show();
  }
  m_pScrollBar->raise();
}

void CConvertList::SyncRows() {
  for (auto& entry : m_rows) entry.second->SyncFromTask();
  if (!m_pCore->IsAnyConverting()) m_progressTimer.stop();
}

void CConvertList::KeepTimerRunning() {
  if (m_pCore->IsAnyConverting() && !m_progressTimer.isActive()) m_progressTimer.start();
}

void CConvertList::Wheel(int angleDeltaY) {
  if (angleDeltaY == 0) return;  // a sideways wheel
  ScrollTo(m_nScrollPos + (angleDeltaY < 0 ? kWheelStep : -kWheelStep));
}

void CConvertList::wheelEvent(QWheelEvent* event) {
  Wheel(event->angleDelta().y());
  event->accept();
}

bool CConvertList::eventFilter(QObject* watched, QEvent* event) {
  // The scroll bar's own wheel handling would move several lines per step.
  if (watched == m_pScrollBar && event->type() == QEvent::Wheel) {
    Wheel(static_cast<QWheelEvent*>(event)->angleDelta().y());
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void CConvertList::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
}

void CConvertList::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  SyncRows();
}

void CConvertList::paintEvent(QPaintEvent*) {
  QPainter(this).fillRect(rect(), QColor::fromRgba(kBackground));
}

void CConvertList::ShowMessageBox(const std::string& text) {
  // One box at a time: a queue whose tasks all fail to start (no converter) would otherwise
  // stack one box per task. Every failure is in the log with its reason.
  if (m_bShowingBox) return;
  m_bShowingBox = true;
  auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("BriselVR助手"),
                              QString::fromStdString(text), QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("ConvertListMessageBox"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  connect(box, &QDialog::finished, this, [this] { m_bShowingBox = false; });
  // Modal to the window without a nested event loop: the queue keeps being served.
  box->open();
}

}  // namespace brisel
