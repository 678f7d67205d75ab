#include "toolkit/CSetContentDlg.h"

#include <QPainter>
#include <QWheelEvent>

#include "settings/BuildConfig.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/SettingsPageHost.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {

namespace {

constexpr int kPageHeight = 800;  // height of the off-screen page

struct ControlSetup {
  int id;
  const char* caption;
  const char* image;
  int width, height, x, y;
  bool shown;
  bool checkBox;
};

// x < 0 counts from the page's right edge.
const ControlSetup kControls[] = {
    {IDC_SET_CHECK_UPDATE, "检测更新", "Setting\\Button.png", 70, 26, 328, 58, true, false},
    {IDC_SET_QUALITY_1080P, "1080P画质 (1K及以下手机)", "Setting\\Radio.png", 200, 18, 138, 133,
     true, true},
    {IDC_SET_QUALITY_2K, "  2K画质     (2K及以上手机)", "Setting\\Radio.png", 200, 18, 138, 168,
     true, true},
    {IDC_SET_KEEP_AWAKE, "有任务时电脑不休眠(推荐开启)", "Setting\\Check.png", 250, 18, 138, 288,
     true, true},
    {IDC_SET_AUTORUN, "开机时启动VR助手", "Setting\\Check.png", 250, 18, 178, 26, false, true},
    {IDC_SET_AUTO_UPDATE, "启用软件自动升级(推荐启用)", "Setting\\Check.png", 250, 18, 178, 58,
     false, true},
    {IDC_SET_EXIT_ASK, "退出时询问", "Setting\\Radio.png", 250, 18, 178, 116, false, true},
    {IDC_SET_EXIT_HIDE, "关闭窗口，后台运行", "Setting\\Radio.png", 250, 18, 178, 148, false, true},
    {IDC_SET_EXIT_QUIT, "完全关闭", "Setting\\Radio.png", 250, 18, 178, 180, false, true},
    {IDC_SET_CHANGE_FOLDER, "修改", "Setting\\Button.png", 70, 26, 178, 227, false, false},
    {IDC_SET_OPEN_FOLDER, "打开", "Setting\\Button.png", 70, 26, 258, 227, false, false},
    {IDC_SET_CONVERTED_NOTIFY, "转码完成后提醒", "Setting\\Check.png", 250, 18, 178, 285, false,
     true},
    {IDC_SET_DELETE_ORIGIN, "同时删除转码视频原文件", "Setting\\Check.png", 250, 18, 178, 338,
     false, true},
    {IDC_SET_MINIMISE, "", "", 18, 18, -61, 18, false, false},
    {IDC_SET_CLOSE, "", "", 18, 18, -36, 18, false, false},
};

}  // namespace

CSetContentDlg::CSetContentDlg(SettingsPageHost* host, QWidget* parent)
    : QWidget(parent), m_pHost(host) {
  setObjectName(QStringLiteral("SetContentDlg"));
  setMouseTracking(true);
  for (const ControlSetup& c : kControls) {
    auto* button = new CKbcButton(c.id, this,
                                  c.checkBox ? CKbcButton::Mode::CheckBox : CKbcButton::Mode::Push);
    connect(button, &CKbcButton::Clicked, this, &CSetContentDlg::OnButton);
    m_buttons[c.id] = button;
  }
  SetupControls();
  ShowCurrentSettings();
}

CKbcButton* CSetContentDlg::Button(int id) const {
  auto it = m_buttons.find(id);
  return it == m_buttons.end() ? nullptr : it->second;
}

void CSetContentDlg::SetupControls() {
  const QCursor hand = HandCursor();
  for (const ControlSetup& c : kControls) {
    CKbcButton* button = Button(c.id);
    button->SetImage(*c.image ? SkinPath(QString::fromUtf8(c.image)) : QString(),
                     QString::fromUtf8(c.caption));
    button->SetBackground(BACKGROUND_PAGE);
    button->SetHandCursor(hand);
    if (c.checkBox) {
      button->SetStyle(BUTTON_DIALOG);
    } else if (*c.image) {
      button->SetStyle(BUTTON_SMALL_CAPTION);
      button->SetCellSize(90, 30);
    }
    button->move(c.x < 0 ? width() + c.x : c.x, c.y);
    button->SetSize(c.width, c.height);
    button->setVisible(c.shown);
  }
}

void CSetContentDlg::ShowCurrentSettings() {
  m_settings = m_pHost ? m_pHost->CurrentSettings() : AppSettings{};
  const AppSettings& s = m_settings;
  Button(IDC_SET_AUTORUN)->SetChecked(s.m_nAutoRun == 1);
  Button(IDC_SET_AUTO_UPDATE)->SetChecked(s.m_nAutoUpdate == 1);
  Button(IDC_SET_CONVERTED_NOTIFY)->SetChecked(s.m_nConvertedNotify == 1);
  Button(IDC_SET_KEEP_AWAKE)->SetChecked(s.m_nKeepAwake == 1);
  Button(IDC_SET_DELETE_ORIGIN)->SetChecked(s.m_nDeleteOrigin == 1);
  if (s.m_nExitWndType >= 1 && s.m_nExitWndType <= 3) {
    Button(IDC_SET_EXIT_ASK)->SetChecked(s.m_nExitWndType == 1);
    Button(IDC_SET_EXIT_HIDE)->SetChecked(s.m_nExitWndType == 2);
    Button(IDC_SET_EXIT_QUIT)->SetChecked(s.m_nExitWndType == 3);
  }
  Button(IDC_SET_QUALITY_1080P)->SetChecked(s.m_nConvertRatio == 1);
  Button(IDC_SET_QUALITY_2K)->SetChecked(s.m_nConvertRatio != 1);
  update();
}

QString CSetContentDlg::VersionLabel() {
  return QStringLiteral("当前版本：V%1.%2.%3 内测版")
      .arg(build::kVersionMajor)
      .arg(build::kVersionMinor)
      .arg(build::kVersionPatch);
}

void CSetContentDlg::OnButton(int id) {
  switch (id) {
    case IDC_SET_CHECK_UPDATE:
      if (m_pHost) m_pHost->CheckForUpdate();
      break;
    case IDC_SET_KEEP_AWAKE: {
      CKbcButton* box = Button(id);
      const bool on = !box->IsChecked();
      box->SetChecked(on);
      m_settings.m_nKeepAwake = on ? 1 : 0;
      if (m_pHost) m_pHost->KeepAwakeChosen(on);
      break;
    }
    case IDC_SET_QUALITY_1080P:
      ChooseQuality(1);
      break;
    case IDC_SET_QUALITY_2K:
      ChooseQuality(2);
      break;
    default:  // the hidden controls do nothing
      break;
  }
}

void CSetContentDlg::ChooseQuality(int ratio) {
  CKbcButton* chosen = Button(ratio == 1 ? IDC_SET_QUALITY_1080P : IDC_SET_QUALITY_2K);
  CKbcButton* other = Button(ratio == 1 ? IDC_SET_QUALITY_2K : IDC_SET_QUALITY_1080P);
  if (chosen->IsChecked()) return;
  chosen->SetChecked(true);
  other->SetChecked(false);
  m_settings.m_nConvertRatio = ratio;
  if (m_pHost) m_pHost->ConvertRatioChosen(ratio);
}

void CSetContentDlg::paintEvent(QPaintEvent*) {
  QImage page(width(), kPageHeight, QImage::Format_ARGB32_Premultiplied);
  page.fill(QColor::fromRgba(skin::kPage));
  {
    QPainter p(&page);
    const QFont font = SkinFont(14);
    DrawSkinText(p, QRect(72, 23, 100, 18), QStringLiteral("版本状态："), font, skin::kColumn);
    DrawSkinText(p, QRect(138, 60, 180, 18), VersionLabel(), font, skin::kColumn);
    DrawSkinText(p, QRect(72, 101, 100, 18), QStringLiteral("转码："), font, skin::kColumn);
    DrawSkinText(p, QRect(138, 204, 538, 18),
                 QStringLiteral("请根据手机屏幕分辨率选取适当的画质设置，我们将为您智能转码"), font,
                 0xFF6C6B64);
    DrawSkinText(p, QRect(72, 249, 80, 18), QStringLiteral("休眠设置："), font, skin::kColumn);
  }
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), page, QRect(0, m_nScrollOffset, width(), height()));
}

void CSetContentDlg::wheelEvent(QWheelEvent* event) {
  // The page does not scroll: vertical wheel turns go to default handling, horizontal ones
  // are swallowed.
  if (event->angleDelta().x() != 0) {
    event->accept();
    return;
  }
  QWidget::wheelEvent(event);
}

void CSetContentDlg::resizeEvent(QResizeEvent*) {
  // 1005 and 1006 sit at fixed distances from the right edge.
  Button(IDC_SET_MINIMISE)->move(width() - 61, 18);
  Button(IDC_SET_CLOSE)->move(width() - 36, 18);
}

}  // namespace brisel
