#include "BriselUIFiles/ui/CConvertListItemDlg.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "BriselUIFiles/ConvertListItemCore.h"
#include "BriselUIFiles/ui/CConvertList.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CMyProgressBar.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {

CConvertListItemDlg::CConvertListItemDlg(ConvertListItemCore* task, CConvertList* list)
    : QWidget(list), m_pTask(task), m_pList(list) {
  setObjectName(QStringLiteral("ConvertListItemDlg"));
  setMouseTracking(true);
  hide();

  m_noVideo = LoadSkinImage(SkinPath("Convert\\NoVideoSrc.png"));
  m_converted = LoadSkinImage(SkinPath("Convert\\Converted.png"));
  m_error = LoadSkinImage(SkinPath("Convert\\Error.png"));
  m_tip = LoadSkinImage(SkinPath("Convert\\Tip.png"));
  // A missing or unreadable thumbnail leaves a null image: the placeholder is drawn instead.
  if (!task->ScreenPath().empty()) m_thumb = QImage(QString::fromStdString(task->ScreenPath()));
  const QCursor hand = HandCursor();

  m_pCancel = new CKbcButton(IDC_ROW_CANCEL, this);
  m_pCancel->SetStyle(BUTTON_ICON_CAPTION);
  m_pCancel->SetImage(SkinPath("Convert\\Close.png"), QStringLiteral("取消"));
  m_pCancel->SetSize(64, 30);
  m_pCancel->SetCellSize(64, 30);
  m_pCancel->SetHandCursor(hand);
  m_pCancel->SetBackground(BACKGROUND_TASK_ROW);
  m_pCancel->setGeometry(kCancelRect);

  m_pPin = new CKbcButton(IDC_ROW_PIN, this);
  m_pPin->SetStyle(BUTTON_TEXT_ONLY);
  m_pPin->SetImage(QString(), QStringLiteral("置顶"));
  m_pPin->SetSize(30, 20);
  m_pPin->SetHandCursor(hand);
  m_pPin->SetBackground(BACKGROUND_PAGE);
  m_pPin->setGeometry(kPinRect);
  m_pPin->hide();

  // Runs an interrupted or failed task again; an icon like the list's other small actions.
  m_pRetry = new CKbcButton(IDC_ROW_RETRY, this);
  m_pRetry->SetStyle(BUTTON_IMAGE_ONLY);
  m_pRetry->SetImage(SkinPath("Convert\\Reset.png"), QString());
  m_pRetry->SetSize(kRetryRect.width(), kRetryRect.height());
  m_pRetry->SetHandCursor(hand);
  m_pRetry->SetBackground(BACKGROUND_TASK_ROW);
  m_pRetry->setGeometry(kRetryRect);
  m_pRetry->setToolTip(QStringLiteral("重新转码"));
  m_pRetry->setAccessibleName(QStringLiteral("重新转码"));
  m_pRetry->hide();

  for (CKbcButton* button : {m_pCancel, m_pPin, m_pRetry})
    connect(button, &CKbcButton::Clicked, this, &CConvertListItemDlg::OnButton);

  m_pProgress = new CMyProgressBar(IDC_ROW_PROGRESS, this);
  m_pProgress->SetRange(0, 100);
  m_pProgress->setGeometry(kProgressRect);
  SyncFromTask();
}

const std::string& CConvertListItemDlg::TaskId() const { return m_pTask->TaskId(); }

CKbcButton* CConvertListItemDlg::Button(int id) const {
  switch (id) {
    case IDC_ROW_CANCEL:
      return m_pCancel;
    case IDC_ROW_PIN:
      return m_pPin;
    case IDC_ROW_RETRY:
      return m_pRetry;
    default:
      return nullptr;
  }
}

bool CConvertListItemDlg::Painted() const { return m_pTask->Position() <= kMaxPaintedPosition; }

void CConvertListItemDlg::SyncFromTask() {
  const int state = m_pTask->State();
  const bool painted = Painted();
  const int progress = m_pTask->Progress();
  if (m_pProgress->GetPos() != progress) {
    m_pProgress->SetPos(progress);
    if (state == TASK_CONVERTING) update(kStatusRect);
  }
  m_pProgress->setVisible(painted && m_pTask->ProgressVisible());
  m_pCancel->setVisible(painted);
  m_pRetry->setVisible(painted && m_pTask->ShowsRetryButton());
  // A task that starts (or finishes) under the pointer can no longer be moved.
  if (m_pPin->isVisible() && !m_pTask->ShowsPinButton()) m_pPin->hide();
  if (state != m_nShownState || m_pTask->Position() != m_nShownPosition) {
    m_nShownState = state;
    m_nShownPosition = m_pTask->Position();
    update();
  }
}

QString CConvertListItemDlg::StatusText() const {
  switch (m_pTask->State()) {
    case TASK_WAITING:
      return QStringLiteral("任务等待");
    case TASK_CONVERTING:
      return QStringLiteral("已转码：%1 %").arg(m_pProgress->GetPos());
    case TASK_DONE:
      return QStringLiteral("转码完成");
    case TASK_INTERRUPTED:
      return QStringLiteral("任务中断");
    case TASK_FAILED:
      return QStringLiteral("任务失败");
    default:
      return QString();
  }
}

void CConvertListItemDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor::fromRgba(kBackground));
  if (!Painted()) return;
  painter.fillRect(10, kHeight - 1, width() - 20, 1, QColor::fromRgba(kSeparator));

  const QRect source(0, 0, 128, 72);
  DrawImageCell(painter, kThumbRect, m_thumb.isNull() ? m_noVideo : m_thumb, source);

  const int state = m_pTask->State();
  const QFont font = SkinFont(12);
  const bool cancelled = state == TASK_CANCELLED;
  DrawSkinText(painter, kNameRect, QString::fromStdString(m_pTask->Name()), font,
               cancelled ? kCancelledText : kNameColour);
  DrawSkinText(painter, kSizeRect, QString::fromStdString(m_pTask->SizeText()), font,
               cancelled ? kCancelledText : kGrey);
  DrawSkinText(painter, kModeText, QString::fromStdString(m_pTask->ModeLabel()), font, kGrey);

  switch (state) {
    case TASK_WAITING:
    case TASK_CONVERTING:
    case TASK_INTERRUPTED:
      DrawSkinText(painter, kStatusRect, StatusText(), font, kGrey);
      break;
    case TASK_DONE:
      DrawImageCell(painter, kDoneMark, m_converted, QRect(QPoint(0, 0), kDoneMark.size()));
      DrawSkinText(painter, kDoneText, StatusText(), font, kGrey);
      break;
    case TASK_FAILED:
      DrawSkinText(painter, kStatusRect, StatusText(), font, kFailedText);
      DrawImageCell(painter, kTipMark, m_tip, QRect(QPoint(0, 0), kTipMark.size()));
      DrawImageCell(painter, kErrorBadge, m_error, QRect(QPoint(0, 0), kErrorBadge.size()));
      break;
    default:
      break;
  }
}

void CConvertListItemDlg::PointerOver() {
  m_bRowHover = true;
  if (Painted() && m_pTask->ShowsPinButton() && !m_pPin->isVisible()) m_pPin->show();
}

void CConvertListItemDlg::enterEvent(QEnterEvent* event) {
  PointerOver();
  QWidget::enterEvent(event);
}

void CConvertListItemDlg::mouseMoveEvent(QMouseEvent* event) {
  PointerOver();
  QWidget::mouseMoveEvent(event);
}

void CConvertListItemDlg::leaveEvent(QEvent* event) {
  // Moving onto the pin button keeps it: the pointer is still on the row then.
  if (!kPinRect.contains(mapFromGlobal(QCursor::pos()))) {
    m_bRowHover = false;
    if (m_pPin->isVisible()) m_pPin->hide();
  }
  update();
  QWidget::leaveEvent(event);
}

void CConvertListItemDlg::mousePressEvent(QMouseEvent* event) {
  if (!kModeField.contains(event->position().toPoint())) {
    if (m_pList) m_pList->setFocus(Qt::MouseFocusReason);
    update();
  }
  QWidget::mousePressEvent(event);
}

void CConvertListItemDlg::wheelEvent(QWheelEvent* event) {
  // The list scrolls, wherever over it the wheel turns.
  if (m_pList) {
    QCoreApplication::sendEvent(m_pList, event);
  } else {
    QWidget::wheelEvent(event);
  }
}

void CConvertListItemDlg::OnButton(int id) {
  // The pin goes at once: the task moves where the pointer no longer is.
  if (id == IDC_ROW_PIN) m_pPin->hide();
  if (m_pList) m_pList->OnRowButton(TaskId(), id);
}

}  // namespace brisel
