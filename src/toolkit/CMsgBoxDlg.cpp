#include "toolkit/CMsgBoxDlg.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimerEvent>

#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {

QString ToastText(int kind) {
  switch (kind) {
    case TOAST_ALREADY_CONVERTED:
      return QStringLiteral("该任务已转码");
    case TOAST_FILE_EXISTS:
      return QStringLiteral("文件已存在");
    case TOAST_TASK_EXISTS:
      return QStringLiteral("任务已存在");
    case TOAST_NOT_VIDEO:
      return QStringLiteral("无法添加非视频类文件");
    case TOAST_PATH_TOO_LONG:
      return QStringLiteral("文件路径过长");
    case TOAST_TOO_MANY:
      return QStringLiteral("至多可添加70项视频");
    case TOAST_MOVED_OR_DELETED:
      return QStringLiteral("视频已被移动或删除");
    case TOAST_SUBMITTED:
      return QStringLiteral("提交成功");
    case TOAST_SUBMIT_FAILED:
      return QStringLiteral("提交失败");
    case TOAST_NO_SERVER:
      return QStringLiteral("服务器连接失败");
    case TOAST_IN_USE:
      return QStringLiteral("视频正被其他程序使用");
    case TOAST_UP_TO_DATE:
      return QStringLiteral("已经是最新版本");
    case TOAST_SHARE_LIST_FULL:
      return QStringLiteral("至多可添加35项视频");
    default:
      return QString();
  }
}

CMsgBoxDlg::CMsgBoxDlg(QWidget* page)
    : QWidget(page, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                        Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      m_pPage(page) {
  setObjectName(QStringLiteral("MsgBoxDlg"));
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setFixedSize(315, 80);
  m_background = LoadSkinImage(SkinPath("Comm\\1.png"));
  m_warning = LoadSkinImage(SkinPath("Comm\\Warning.png"));
  QPainterPath corners;
  corners.addRoundedRect(QRectF(0, 0, 315, 80), 4.5, 4.5);
  setMask(QRegion(corners.toFillPolygon().toPolygon()));
  CentreOnScreen();
  hide();
}

void CMsgBoxDlg::CentreOnScreen() {
  QScreen* screen = m_pPage ? m_pPage->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect area = screen->availableGeometry();
  move(area.center() - QPoint(width() / 2, height() / 2));
}

void CMsgBoxDlg::ShowToast(int kind) {
  m_nKind = kind;
  QString text = ToastText(kind);
  if (!text.isEmpty()) m_strText = text;
  if (!isVisible()) CentreOnScreen();
  StartTimer(TIMER_FADE_IN, 20);
}

void CMsgBoxDlg::OnTimer(int id) {
  switch (id) {
    case TIMER_FADE_IN:
      if (!isVisible()) show();
      if (m_nOpacity < 220) {
        m_nOpacity += 10;
        update();
      } else {
        StopTimer(TIMER_FADE_IN);
        StartTimer(TIMER_HOLD, 600);
      }
      break;
    case TIMER_HOLD:
      StopTimer(TIMER_HOLD);
      StartTimer(TIMER_FADE_OUT, 50);
      break;
    case TIMER_FADE_OUT:
      if (m_nOpacity > 70) {
        m_nOpacity -= 10;
        update();
      } else {
        StopTimer(TIMER_FADE_OUT);
        hide();
      }
      break;
    default:
      break;
  }
}

int CMsgBoxDlg::TimerInterval(int id) const {
  auto it = m_timers.find(id);
  return it == m_timers.end() ? 0 : it->second.interval;
}

void CMsgBoxDlg::StartTimer(int id, int ms) {
  StopTimer(id);  // setting a running timer again restarts it
  m_timers[id] = Timer{startTimer(ms, Qt::PreciseTimer), ms};
}

void CMsgBoxDlg::StopTimer(int id) {
  auto it = m_timers.find(id);
  if (it == m_timers.end()) return;
  killTimer(it->second.qtId);
  m_timers.erase(it);
}

void CMsgBoxDlg::timerEvent(QTimerEvent* event) {
  for (const auto& [id, timer] : m_timers) {
    if (timer.qtId == event->timerId()) {
      OnTimer(id);
      return;
    }
  }
  QWidget::timerEvent(event);
}

QImage CMsgBoxDlg::Render() const {
  QImage out(size(), QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  QPainter painter(&out);
  painter.setOpacity(m_nOpacity / 255.0);
  DrawImageCell(painter, QRect(0, 0, 315, 80), m_background, QRect(0, 0, 315, 80));
  DrawSkinText(painter, QRect(0, 0, 315, 80), m_strText, SkinFont(24), 0xFFCFCED3,
               Qt::AlignHCenter | Qt::AlignVCenter);
  return out;
}

void CMsgBoxDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(0, 0, Render());
}

}  // namespace brisel
