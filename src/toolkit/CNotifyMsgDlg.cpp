#include "toolkit/CNotifyMsgDlg.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "toolkit/CKbcButton.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {

namespace {

constexpr int W = 460, H = 300;
constexpr int kTitleBand = 54;

struct KindText {
  const char* title;
  const char* message;
  std::initializer_list<int> buttons;
};

const KindText* TextOf(int kind) {
  static const KindText kKinds[5] = {
      {"删除转码视频",
       "是否删除已转码视频",
       {IDC_NOTIFY_CONFIRM, IDC_NOTIFY_CANCEL, IDC_NOTIFY_DELETE_SOURCE}},
      {"取消任务", "正在转码的视频将丢失进度，是否继续", {IDC_NOTIFY_CONFIRM, IDC_NOTIFY_CANCEL}},
      {"退出提示", "是否退出Brisel助手", {IDC_NOTIFY_RUN_HIDDEN, IDC_NOTIFY_QUIT}},
      {"重名任务",
       "发现《%1》同名文件，点击继续将保存为两个文件",
       {IDC_NOTIFY_CONTINUE, IDC_NOTIFY_SKIP}},
      {"删除任务", "任务正处于转码队列，是否确认删除？", {IDC_NOTIFY_CONFIRM, IDC_NOTIFY_CANCEL}},
  };
  return kind >= 1 && kind <= 5 ? &kKinds[kind - 1] : nullptr;
}

}  // namespace

CNotifyMsgDlg::CNotifyMsgDlg(QWidget* parent, int kind, const QString& name, int deleteOrigin)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::NoDropShadowWindowHint),
      m_nKind(kind),
      m_strName(name),
      m_nDeleteOrigin(deleteOrigin) {
  setObjectName(QStringLiteral("NotifyMsgDlg"));
  setModal(true);
  setWindowIcon(AppIcon());
  OnInitDialog();
}

CNotifyMsgDlg::~CNotifyMsgDlg() { DestroyShadows(); }

CKbcButton* CNotifyMsgDlg::Button(int id) const {
  auto it = m_buttons.find(id);
  return it == m_buttons.end() ? nullptr : it->second;
}

void CNotifyMsgDlg::OnInitDialog() {
  setFixedSize(W, H);
  const QCursor hand = HandCursor();
  struct Setup {
    int id;
    const char* image;
    const char* caption;
    int width, height, style, background;
    bool checkBox;
  };
  static const Setup kSetup[] = {
      {IDC_NOTIFY_CLOSE, "Msg\\Close.png", "", 24, 24, 0, 3, false},
      {IDC_NOTIFY_CANCEL, "Msg\\Button.png", "取消", 90, 30, 3, 2, false},
      {IDC_NOTIFY_CONFIRM, "Msg\\Button.png", "确认", 90, 30, 3, 2, false},
      {IDC_NOTIFY_CONTINUE, "Msg\\Button.png", "继续", 90, 30, 3, 2, false},
      {IDC_NOTIFY_SKIP, "Msg\\Button.png", "跳过", 90, 30, 3, 2, false},
      {IDC_NOTIFY_RUN_HIDDEN, "Msg\\RunHide.png", "后台运行", 90, 30, 3, 2, false},
      {IDC_NOTIFY_QUIT, "", "完全退出", 90, 30, 6, 6, false},
      {IDC_NOTIFY_NO_PROMPT, "Msg\\Check.png", "不再提示", 250, 18, 3, 1, true},
      {IDC_NOTIFY_DELETE_SOURCE, "Msg\\Check.png", "彻底删除源文件", 250, 18, 3, 1, true},
  };
  for (const Setup& s : kSetup) {
    auto* button = new CKbcButton(s.id, this,
                                  s.checkBox ? CKbcButton::Mode::CheckBox : CKbcButton::Mode::Push);
    button->SetImage(*s.image ? SkinPath(QString::fromUtf8(s.image)) : QString(),
                     QString::fromUtf8(s.caption));
    button->SetSize(s.width, s.height);
    button->SetStyle(s.style);
    button->SetBackground(s.background);
    button->SetHandCursor(hand);
    connect(button, &CKbcButton::Clicked, this, &CNotifyMsgDlg::OnButton);
    m_buttons[s.id] = button;
  }
  Button(IDC_NOTIFY_CLOSE)->move(W - 40, 4);
  Button(IDC_NOTIFY_DELETE_SOURCE)->move(165, 150);
  for (int id : {IDC_NOTIFY_CONFIRM, IDC_NOTIFY_CONTINUE, IDC_NOTIFY_RUN_HIDDEN})
    Button(id)->move(W - 110, H - 48);
  for (int id : {IDC_NOTIFY_CANCEL, IDC_NOTIFY_SKIP, IDC_NOTIFY_QUIT})
    Button(id)->move(W - 218, H - 48);
  Button(IDC_NOTIFY_NO_PROMPT)->setGeometry(18, H - 40, 150, 30);

  SetKind(m_nKind);

  QRect area;
  if (QWidget* owner = parentWidget())
    area = owner->window()->geometry();
  else if (QScreen* screen = QGuiApplication::primaryScreen())
    area = screen->availableGeometry();
  if (!area.isNull()) move(area.center() - QPoint(W / 2, H / 2));
  m_shadows.CreateShadows(this);
}

void CNotifyMsgDlg::SetKind(int kind) {
  m_nKind = kind;
  const KindText* text = TextOf(kind);
  m_strTitle = text ? QString::fromUtf8(text->title) : QString();
  m_strMessage = text ? QString::fromUtf8(text->message) : QString();
  if (kind == NOTIFY_DUPLICATE_NAME) m_strMessage = m_strMessage.arg(m_strName);
  for (auto& [id, button] : m_buttons) {
    bool shown = id == IDC_NOTIFY_CLOSE;
    if (text)
      for (int visible : text->buttons) shown = shown || visible == id;
    button->setVisible(shown);
  }
  if (kind >= 1 && kind <= 3) Button(IDC_NOTIFY_DELETE_SOURCE)->SetChecked(m_nDeleteOrigin == 1);
  update();
}

bool CNotifyMsgDlg::KeepsChoice() const { return Button(IDC_NOTIFY_NO_PROMPT)->IsChecked(); }

void CNotifyMsgDlg::OnButton(int id) {
  switch (id) {
    case IDC_NOTIFY_DELETE_SOURCE:
    case IDC_NOTIFY_NO_PROMPT: {
      CKbcButton* box = Button(id);
      box->SetChecked(!box->IsChecked());
      return;
    }
    case IDC_NOTIFY_CONFIRM:
      if (m_nKind == NOTIFY_DELETE_CONVERTED)
        m_nResult = Button(IDC_NOTIFY_DELETE_SOURCE)->IsChecked() ? NOTIFY_DELETE_WITH_SOURCE
                                                                  : NOTIFY_DELETE;
      else if (m_nKind == NOTIFY_CANCEL_TASK)
        m_nResult = NOTIFY_CANCEL_CONFIRMED;
      break;
    case IDC_NOTIFY_CANCEL:
      if (m_nKind == NOTIFY_CANCEL_TASK) m_nResult = NOTIFY_CANCEL_DECLINED;
      break;
    case IDC_NOTIFY_RUN_HIDDEN:
    case IDC_NOTIFY_QUIT:
      m_nResult = id == IDC_NOTIFY_RUN_HIDDEN ? NOTIFY_RUN_HIDDEN : NOTIFY_QUIT;
      break;
    case IDC_NOTIFY_CONTINUE:
      if (m_nKind == NOTIFY_DUPLICATE_NAME) m_nResult = NOTIFY_KEEP_BOTH;
      break;
    case IDC_NOTIFY_SKIP:
      if (m_nKind == NOTIFY_DUPLICATE_NAME) m_nResult = NOTIFY_SKIP;
      break;
    case IDC_NOTIFY_CLOSE:
      m_nResult = NOTIFY_CLOSED;
      break;
    default:
      return;
  }
  Finish(QDialog::Accepted);
}

void CNotifyMsgDlg::Finish(int result) {
  m_drag.Release();
  done(result);
}

void CNotifyMsgDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(0, 0, W, kTitleBand, QColor::fromRgba(skin::kTitleBand));
  painter.fillRect(0, kTitleBand, W, height() - kTitleBand, QColor::fromRgba(skin::kPage));
  DrawSkinText(painter, QRect(5, 10, 100, 30), m_strTitle, SkinFont(14), 0xFFD3D3D4);
  const QFont font = SkinFont(16);
  const QRgb colour = 0xFF5B5C62;
  switch (m_nKind) {
    case NOTIFY_DELETE_CONVERTED:
      DrawSkinText(painter, QRect(150, 120, 300, 40), m_strMessage, font, colour);
      break;
    case NOTIFY_CANCEL_TASK:
    case NOTIFY_DELETE_TASK:
      DrawSkinText(painter, QRect(85, 140, 300, 40), m_strMessage, font, colour);
      break;
    case NOTIFY_EXIT:
      DrawSkinText(painter, QRect(160, 140, 300, 40), m_strMessage, font, colour);
      break;
    case NOTIFY_DUPLICATE_NAME:
      DrawSkinText(painter, QRect(110, 100, 250, 90), m_strMessage, font, colour,
                   Qt::AlignHCenter | Qt::AlignVCenter);
      break;
    default:
      break;
  }
}

void CNotifyMsgDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && event->position().y() < kTitleBand)
    m_drag.Press(this, event);
  QDialog::mousePressEvent(event);
}

void CNotifyMsgDlg::mouseMoveEvent(QMouseEvent* event) {
  if (!m_drag.Move(event)) QDialog::mouseMoveEvent(event);
}

void CNotifyMsgDlg::mouseReleaseEvent(QMouseEvent* event) {
  m_drag.Release();
  QDialog::mouseReleaseEvent(event);
}

void CNotifyMsgDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      Finish(QDialog::Rejected);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Finish(QDialog::Accepted);
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

}  // namespace brisel
