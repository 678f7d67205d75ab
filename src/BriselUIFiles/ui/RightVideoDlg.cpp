#include "BriselUIFiles/ui/RightVideoDlg.h"

#include <QFileDialog>
#include <QMouseEvent>
#include <QPainter>

#include "BriselUIFiles/ConvertListCore.h"
#include "BriselUIFiles/Transcoder.h"
#include "BriselUIFiles/VideoWndListCore.h"
#include "BriselUIFiles/ui/CConvertList.h"
#include "BriselUIFiles/ui/VideoWndList.h"
#include "ConService/Service.h"
#include "platform/ShellOpen.h"
#include "settings/AppSettings.h"
#include "settings/ProgramValues.h"
#include "toolkit/CGIFImage.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CMenuDlg.h"
#include "toolkit/CMsgBoxDlg.h"
#include "toolkit/CSetContentDlg.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

constexpr int W = CRightVideoDlg::kWidth, H = CRightVideoDlg::kHeight;

constexpr QRgb kHeaderBand = 0xFFF8F8F8;
constexpr QRgb kBody = 0xFFF2F3F3;
constexpr QRgb kHeaderLine = 0xFFDDDDDD;  // across the page at y 55
constexpr QRgb kCountColour = 0xFF767676;
constexpr QRgb kAddressColour = 0xFF3E3D42;
constexpr QRgb kAddressHover = 0xFFF19410;
constexpr QRgb kNoAddress = 0xFFF4564E;  // the red of a failed task: phones cannot connect
constexpr QRgb kLabelColour = 0xFF3E3F42;
constexpr QRgb kPathColour = 0xFF8E8E8E;
// The header's and the footer's texts: 12 pixels, the size their rectangles (15 pixels high
// for the phone count, 22 for the address box) are made for.
constexpr int kStatusPixels = 12;

// The footer of view 1: the label, the frame the output folder is shown in, and its text.
const QRect kFolderLabel{20, H - 37, 56, 26};
const QRect kFolderFrame{78, H - 37, 266, 26};
const QRect kFolderText{84, H - 37, 256, 26};

// One line of text, left-aligned and vertically centred in `box`, cut at its edges: an
// address or a path is never wrapped onto a second line.
void DrawOneLine(QPainter& painter, const QRect& box, const QString& text, QRgb colour) {
  painter.save();
  painter.setClipRect(box);
  painter.setFont(SkinFont(kStatusPixels));
  painter.setPen(QColor::fromRgba(colour));
  painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
  painter.restore();
}

struct ButtonSetup {
  int id;
  const char* image;
  const char* caption;
  int x, y, width, height;
  int style;
  int background;
  bool checkBox;
};

// The page's buttons; their visibility follows the view (RightVideoCore::Shown).
const ButtonSetup kButtons[] = {
    {IDC_SHARE_ADD, "FP\\AddFile.png", "添加", 10, 12, 64, 30, BUTTON_IMAGE_CAPTION,
     BACKGROUND_LIGHTER, false},
    {IDC_SHARE_CONVERT, "FP\\Convert.png", "转码", 84, 12, 64, 30, BUTTON_IMAGE_CAPTION,
     BACKGROUND_LIGHTER, false},
    {IDC_SHARE_GROUP, "FP\\Group_a.png", "分组", 158, 8, 64, 30, BUTTON_IMAGE_CAPTION,
     BACKGROUND_LIGHTER, false},
    {IDC_SHARE_SAME_GROUP, "FP\\Group_b.png", "同组", 158, 8, 64, 30, BUTTON_IMAGE_CAPTION,
     BACKGROUND_LIGHTER, false},
    {IDC_SHARE_DELETE, "FP\\Delete.png", "删除", W - 85, H - 41, 64, 30, BUTTON_IMAGE_CAPTION,
     BACKGROUND_LIGHTER, false},
    {IDC_SHARE_MINIMISE, "Comm\\Min.png", "", W - 66, 18, 18, 18, BUTTON_IMAGE_ONLY,
     BACKGROUND_LIGHTER, false},
    {IDC_SHARE_CLOSE, "Comm\\Close.png", "", W - 36, 18, 18, 18, BUTTON_IMAGE_ONLY,
     BACKGROUND_LIGHTER, false},
    {IDC_SHARE_LIST_BUTTON, "FP\\ConvertList.png", "", W - 130, H - 30, 18, 18, BUTTON_IMAGE_ONLY,
     BACKGROUND_LIGHTER, false},
    {IDC_SHARE_CHANGE_FOLDER, "Setting\\Button.png", "修改", 398, H - 37, 70, 26,
     BUTTON_SMALL_CAPTION, BACKGROUND_LIGHTER, false},
    {IDC_SHARE_CLEAR_FINISHED, "Convert\\CleanBtn.png", "清空已完成", W - 106, H - 34, 86, 16,
     BUTTON_ICON_LINK, BACKGROUND_LIGHTER, false},
    {IDC_SHARE_CHECK_ALL, "Setting\\Check.png", "全选", W - 186, H - 34, 50, 18, BUTTON_DIALOG,
     BACKGROUND_LIGHTER, true},
};

CRightVideoDlg::FolderDialog g_folderDialog;

QString RunFolderDialog(QWidget* parent) {
  return QFileDialog::getExistingDirectory(parent, QStringLiteral("请选择保存路径"));
}

// The output folder the footer shows: the setting, or the default while it is empty.
std::string ShownConvertPath() {
  const std::string chosen = theSettings ? theSettings->m_strConvertPath : std::string();
  return chosen.empty() ? DefaultConvertFolder() : chosen;
}

}  // namespace

void CRightVideoDlg::SetFolderDialogForTesting(FolderDialog dialog) {
  g_folderDialog = std::move(dialog);
}

CRightVideoDlg::CRightVideoDlg(SharePageHost* host, QWidget* parent)
    : QWidget(parent), m_pHost(host), m_core(host->GetService(), this, host, Target()) {
  setObjectName(QStringLiteral("RightVideoDlg"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::ClickFocus);
  setMouseTracking(true);
  setFixedSize(kWidth, kHeight);

  m_ipState = LoadSkinImage(SkinPath("FP\\IPState.png"));
  m_ipCombo = LoadSkinImage(SkinPath("FP\\IPCombo.png"));
  m_openPath = LoadSkinImage(SkinPath("Convert\\OpenPath.png"));
  CreateButtons();

  const QRect view = ViewRect();
  m_pSettings = new CSetContentDlg(host->SettingsHost(), this);
  m_pSettings->setGeometry(view);
  m_pConvertList = new CConvertList(&m_core, this);
  m_pConvertList->setGeometry(view);
  Service* service = host->GetService();
  m_pVideoList = new CVideoWndList(service ? &service->Catalogue() : nullptr, &m_core, this);
  m_pVideoList->setGeometry(view);
  m_pToast = new CMsgBoxDlg(this);
  m_pAddressMenu = new CMenuDlg(MENU_ADDRESSES, Target(), this);
  QStringList addresses;
  for (const std::string& a : RightVideoCore::LocalAddresses())
    addresses.push_back(QString::fromStdString(a));
  m_pAddressMenu->SetTexts(addresses);
  m_pAddressMenu->SetCurrentText(QString::fromStdString(ServiceIp()));
  connect(m_pAddressMenu, &QObject::destroyed, this, [this] { m_pAddressMenu = nullptr; });

  m_core.Attach(&m_pVideoList->Core(), &m_pConvertList->Core());
  m_core.Start();
}

CRightVideoDlg::~CRightVideoDlg() {
  Shutdown();
  // The queue file keeps what finished during this run; a page that never read it leaves it
  // alone.
  if (m_bQueueLoaded) m_pConvertList->Core().SaveQueueFile();
  // The views go before the core they route through.
  delete m_pVideoList;
  delete m_pConvertList;
  m_core.Attach(nullptr, nullptr);
}

void CRightVideoDlg::Shutdown() {
  if (m_bShutDown) return;
  m_bShutDown = true;
  m_core.Shutdown();
  m_pVideoList->Core().Shutdown();
}

// The core's flags end the device-count monitor, which wakes at once, so raising them also
// waits for it; this only reports.
bool CRightVideoDlg::WaitForMonitor(std::chrono::milliseconds) { return !m_core.MonitorRunning(); }

void CRightVideoDlg::ShutdownPages() {
  if (m_core.IsAnyConverting()) m_core.StopAll(true);
  Shutdown();
}

ConvertListCore& CRightVideoDlg::ConvertList() { return m_pConvertList->Core(); }

QRect CRightVideoDlg::ViewRect() const {
  return QRect(0, kViewTop, kWidth - 4, kHeight - kViewTop - kFooterHeight);
}

CKbcButton* CRightVideoDlg::Button(int id) const {
  auto it = m_buttons.find(id);
  return it == m_buttons.end() ? nullptr : it->second;
}

void CRightVideoDlg::CreateButtons() {
  const QCursor hand = HandCursor();
  for (const ButtonSetup& b : kButtons) {
    auto* button = new CKbcButton(b.id, this,
                                  b.checkBox ? CKbcButton::Mode::CheckBox : CKbcButton::Mode::Push);
    button->SetImage(SkinPath(QString::fromUtf8(b.image)), QString::fromUtf8(b.caption));
    button->SetStyle(b.style);
    button->SetBackground(b.background);
    if (b.style == BUTTON_SMALL_CAPTION) button->SetCellSize(90, 30);
    if (b.style == BUTTON_ICON_LINK) button->SetCellSize(16, 16);
    button->move(b.x, b.y);
    button->SetSize(b.width, b.height);
    button->SetHandCursor(hand);
    connect(button, &CKbcButton::Clicked, this, &CRightVideoDlg::OnButton);
    m_buttons[b.id] = button;
  }
  // The conversion animation of the footer is never shown; it is not loaded, so it never
  // animates unseen.
  auto* animation = new CGIFImage(IDC_SHARE_ANIMATION, this);
  animation->setGeometry(W - 130, H - 30, 18, 18);
  animation->hide();
}

void CRightVideoDlg::LoadFromCatalogue() {
  m_pVideoList->Core().LoadFromCatalogue();
  m_pVideoList->RelayoutKeepingScroll();
  // The queue after the grid: the queue tells the page of the tasks it reloads as
  // interrupted, and their videos must be there to show it.
  m_pConvertList->LoadQueueFile();
  m_bQueueLoaded = true;
  m_core.RefreshSelection();
}

// ---------------------------------------------------------------------------------------------
// What the core asks of the window

void CRightVideoDlg::ControlsChanged() {
  for (auto& [id, button] : m_buttons) {
    button->setVisible(m_core.Shown(id));
    button->SetDisabled(!m_core.Enabled(id));
  }
  Button(IDC_SHARE_CHECK_ALL)->SetChecked(m_core.CheckAllTicked());
  const int view = m_core.View();
  m_pVideoList->setVisible(view == SHARE_VIEW_VIDEOS);
  m_pConvertList->setVisible(view == SHARE_VIEW_CONVERT_LIST);
  m_pSettings->setVisible(view == SHARE_VIEW_SETTINGS);
  if (view == SHARE_VIEW_SETTINGS) m_pSettings->ShowCurrentSettings();
  update();
}

void CRightVideoDlg::StatusChanged() {
  if (m_pAddressMenu) m_pAddressMenu->SetCurrentText(QString::fromStdString(ServiceIp()));
  update(QRect(0, 0, kWidth, kHeaderHeight));
}

void CRightVideoDlg::ShowToast(int kind) {
  m_pToast->ShowToast(kind);
  m_pToast->raise();
}

void CRightVideoDlg::AddFromDialog() { m_pVideoList->AddFromDialog(); }

void CRightVideoDlg::OnMessage(const Message& message) { m_core.HandleMessage(message); }

// ---------------------------------------------------------------------------------------------
// Buttons

void CRightVideoDlg::OnButton(int id) {
  switch (id) {
    // Posted to the page itself, not run here: adding opens the file dialog and converting
    // may ask about a duplicate name, and neither modal dialog should run inside the
    // button's click.
    case IDC_SHARE_ADD:
      PostTo(Target(), Message(WM_SHARE_ACTION, SHARE_ACTION_ADD));
      break;
    case IDC_SHARE_CONVERT:
      PostTo(Target(), Message(WM_SHARE_ACTION, SHARE_ACTION_CONVERT));
      break;
    case IDC_SHARE_DELETE:
      m_core.OnShareAction(SHARE_ACTION_DELETE);
      break;
    case IDC_SHARE_MINIMISE:
      m_pHost->MinimiseMainWindow();
      break;
    case IDC_SHARE_CLOSE:
      m_pHost->HandleCloseRequest();
      break;
    case IDC_SHARE_CHANGE_FOLDER:
      ChooseFolder();
      break;
    case IDC_SHARE_CLEAR_FINISHED:
      m_pConvertList->Core().ClearFinished();
      break;
    case IDC_SHARE_CHECK_ALL:
      m_core.OnCheckAllClicked();
      break;
    default:
      break;
  }
}

void CRightVideoDlg::ChooseFolder() {
  const QString folder = g_folderDialog ? g_folderDialog(this) : RunFolderDialog(this);
  if (folder.isEmpty()) return;  // cancelled: nothing changes
  m_core.SetConvertPath(folder.toStdString());
}

// ---------------------------------------------------------------------------------------------
// The address box and its menu

bool CRightVideoDlg::AddressMenuOpen() const {
  return m_pAddressMenu && m_pAddressMenu->isVisible();
}

void CRightVideoDlg::ToggleAddressMenu() {
  if (!m_pAddressMenu) return;
  if (m_pAddressMenu->isVisible()) {
    CloseAddressMenu();
    return;
  }
  // A fresh list each time: an address may have come or gone since the page was made.
  const std::vector<std::string> addresses = RightVideoCore::LocalAddresses();
  if (!RightVideoCore::OffersAddressMenu(addresses, ServiceIp())) return;
  QStringList texts;
  for (const std::string& a : addresses) texts.push_back(QString::fromStdString(a));
  m_pAddressMenu->SetTexts(texts);
  m_pAddressMenu->SetCurrentText(QString::fromStdString(ServiceIp()));
  m_pAddressMenu->move(mapToGlobal(QPoint(kAddressBox.left(), kAddressBox.bottom() + 1)));
  m_pAddressMenu->show();
  m_pAddressMenu->raise();
  update(kAddressBox);
}

void CRightVideoDlg::CloseAddressMenu() {
  if (AddressMenuOpen()) {
    m_pAddressMenu->hide();
    update(kAddressBox);
  }
}

// ---------------------------------------------------------------------------------------------
// Mouse

void CRightVideoDlg::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  if (kAddressBox.contains(at)) {
    m_bBoxPressed = true;
    ToggleAddressMenu();
    update(kAddressBox);
    return;
  }
  CloseAddressMenu();
  if (m_core.View() == SHARE_VIEW_CONVERT_LIST && kFolderIcon.contains(at)) {
    m_bFolderPressed = true;
    update(kFolderIcon);
    return;
  }
  if (at.y() < kHeaderHeight) m_drag.Press(window(), event);
  // Only the header moves the window: a press on the views' background must not reach the
  // main window, which would start a move of its own.
  event->accept();
}

void CRightVideoDlg::mouseMoveEvent(QMouseEvent* event) {
  if (m_drag.Move(event)) return;
  const QPoint at = event->position().toPoint();
  const bool overBox = kAddressBox.contains(at);
  if (overBox != m_bBoxHover) {
    // Moving off the box onto the rest of the page closes the menu; moving into the menu
    // itself leaves the page, not the box.
    if (!overBox) CloseAddressMenu();
    m_bBoxHover = overBox;
    update(kAddressBox);
  }
  const bool overFolder = m_core.View() == SHARE_VIEW_CONVERT_LIST && kFolderIcon.contains(at);
  if (overFolder != m_bFolderHover) {
    m_bFolderHover = overFolder;
    if (!overFolder) m_bFolderPressed = false;
    update(kFolderIcon);
  }
  QWidget::mouseMoveEvent(event);
}

void CRightVideoDlg::mouseReleaseEvent(QMouseEvent* event) {
  m_drag.Release();
  const QPoint at = event->position().toPoint();
  if (m_bBoxPressed) {
    m_bBoxPressed = false;
    update(kAddressBox);
  }
  if (m_bFolderPressed) {
    m_bFolderPressed = false;
    update(kFolderIcon);
    if (kFolderIcon.contains(at)) ShellOpen(ShownConvertPath());
  }
  QWidget::mouseReleaseEvent(event);
}

void CRightVideoDlg::leaveEvent(QEvent*) {
  if (m_bBoxHover || m_bFolderHover) {
    m_bBoxHover = m_bFolderHover = false;
    m_bFolderPressed = false;
    update();
  }
}

// ---------------------------------------------------------------------------------------------
// Painting

void CRightVideoDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(0, 0, W, kHeaderHeight, QColor::fromRgba(kHeaderBand));
  painter.fillRect(0, kHeaderHeight, W, H - kHeaderHeight, QColor::fromRgba(kBody));
  PaintFooter(painter);
  painter.fillRect(0, 55, W, 1, QColor::fromRgba(kHeaderLine));
  PaintStatus(painter);
}

void CRightVideoDlg::PaintFooter(QPainter& painter) {
  const int view = m_core.View();
  if (view == SHARE_VIEW_VIDEOS && m_pVideoList->Core().EntryCount() == 0) return;
  if (view != SHARE_VIEW_VIDEOS && view != SHARE_VIEW_CONVERT_LIST && view != SHARE_VIEW_SETTINGS)
    return;
  const int top = H - kFooterHeight;
  painter.fillRect(0, top, W, kFooterHeight, QColor::fromRgba(kHeaderBand));
  painter.fillRect(0, top, W, 1, QColor::fromRgba(skin::kDivider));
  if (view != SHARE_VIEW_CONVERT_LIST) return;

  painter.fillRect(kFolderFrame, QColor::fromRgba(skin::kWhite));
  painter.setPen(QColor::fromRgba(skin::kBorder));
  painter.drawRect(kFolderFrame.adjusted(0, 0, -1, -1));
  DrawOneLine(painter, kFolderLabel, QStringLiteral("保存至:"), kLabelColour);
  DrawOneLine(painter, kFolderText, QString::fromStdString(FooterPathText(ShownConvertPath())),
              kPathColour);
  const int frame = m_bFolderPressed ? 2 : m_bFolderHover ? 1 : 0;
  DrawImageCell(painter, kFolderIcon, m_openPath, QRect(0, 24 * frame, 24, 24));
}

void CRightVideoDlg::PaintStatus(QPainter& painter) {
  const int count = m_core.DeviceCount();
  if (count != 0)
    DrawOneLine(painter, kCountText, QString::fromStdString(DeviceCountText(count)), kCountColour);
  DrawImageCell(painter, kAddressIcon, m_ipState, QRect(count != 0 ? 18 : 0, 0, 18, 18));
  const bool pressed = m_bBoxPressed || AddressMenuOpen();
  DrawImageCell(painter, kAddressBox, m_ipCombo, QRect(0, pressed ? 22 : 0, 126, 22));
  // Left of the box's arrow.
  const std::string address = ServiceIp();
  DrawOneLine(painter, kAddressBox.adjusted(6, 0, -18, 0),
              QString::fromStdString(AddressText(address)),
              m_bBoxHover       ? kAddressHover
              : address.empty() ? kNoAddress
                                : kAddressColour);
}

}  // namespace brisel
