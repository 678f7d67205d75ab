#include "app/CSharePagePlaceholder.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/SharePageHost.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CMsgBoxDlg.h"
#include "toolkit/CSetContentDlg.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

constexpr int kWidth = 812, kHeight = 630;
constexpr int kHeaderBottom = 53;  // presses down to here drag the window
constexpr QRgb kHeaderLine = 0xFFDDDDDD;

}  // namespace

CSharePagePlaceholder::CSharePagePlaceholder(SharePageHost* host, QWidget* parent)
    : QWidget(parent), m_pHost(host) {
  setObjectName(QStringLiteral("RightVideoDlg"));
  resize(kWidth, kHeight);

  const QCursor hand = HandCursor();
  auto makeButton = [&](int id, const char* image, int x) {
    auto* button = new CKbcButton(id, this);
    button->SetImage(SkinPath(QString::fromUtf8(image)), QString());
    button->SetBackground(BACKGROUND_LIGHTER);
    button->SetHandCursor(hand);
    button->move(x, 18);
    button->SetSize(18, 18);
    return button;
  };
  m_pMinimise = makeButton(1005, "Comm\\Min.png", kWidth - 66);
  m_pClose = makeButton(1006, "Comm\\Close.png", kWidth - 36);
  connect(m_pMinimise, &CKbcButton::Clicked, this, [this] { m_pHost->MinimiseMainWindow(); });
  connect(m_pClose, &CKbcButton::Clicked, this, [this] { m_pHost->HandleCloseRequest(); });

  m_pSettings = new CSetContentDlg(host->MainWindowTarget(), this);
  m_pSettings->setGeometry(0, 56, kWidth - 4, kHeight - 108);
  m_pSettings->SetupControls();
  m_pSettings->ShowCurrentSettings();
  m_pToast = new CMsgBoxDlg(this);
  SelectView(VIEW_VIDEOS);
}

void CSharePagePlaceholder::SelectView(int view) {
  if (view >= VIEW_VIDEOS && view <= VIEW_SETTINGS) {
    m_nView = view;
    if (view == VIEW_SETTINGS) m_pSettings->ShowCurrentSettings();
    m_pSettings->setVisible(view == VIEW_SETTINGS);
  }
  update();
}

void CSharePagePlaceholder::ShowToast(int kind) {
  m_pToast->ShowToast(kind);
  m_pToast->raise();
}

void CSharePagePlaceholder::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(QRect(0, 0, width(), 54), QColor::fromRgba(skin::kLighter));
  p.fillRect(QRect(0, 54, width(), height() - 54), QColor::fromRgba(skin::kPage));
  p.fillRect(QRect(0, 55, width(), 1), QColor::fromRgba(kHeaderLine));
}

void CSharePagePlaceholder::mousePressEvent(QMouseEvent* event) {
  if (event->position().y() <= kHeaderBottom) m_drag.Press(window(), event);
}

void CSharePagePlaceholder::mouseMoveEvent(QMouseEvent* event) { m_drag.Move(event); }

void CSharePagePlaceholder::mouseReleaseEvent(QMouseEvent*) { m_drag.Release(); }

}  // namespace brisel
