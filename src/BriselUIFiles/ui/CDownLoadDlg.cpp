#include "BriselUIFiles/ui/CDownLoadDlg.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <algorithm>

#include "BriselDataManager/LogRecorder.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CMyProgressBar.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

constexpr QRgb kTextColour = 0xFF6B6B6B;  // RGB(107, 107, 107)
constexpr int kBarWidth = 326, kBarHeight = 10, kBarTop = 206;
constexpr int kButtonTop = 262;
constexpr int kMarqueeMs = 40, kMarqueeStep = 4;

const char* const kDownloadingText = "VR助手升级中，请稍后...";
const char* const kDoneText = "升级文件下载完毕";
const char* const kFailedText = "升级文件下载失败";
const char* const kInstallPromptText = "升级文件已通过验证，是否立即安装？";
const char* const kVerifiedKeptText = "升级文件已通过验证，已保存至下载文件夹";
const char* const kUnverifiedText = "升级文件未经验证，已保存至下载文件夹";
const char* const kRejectedText = "升级文件未通过验证，已删除";
const char* const kInstallFailedText = "无法打开安装程序，请手动安装";

// The window's shape: its rectangle with corners rounded by a 9 x 9 ellipse.
QBitmap RoundedMask(QSize size) {
  QBitmap mask(size);
  mask.fill(Qt::color0);
  QPainter p(&mask);
  p.setRenderHint(QPainter::Antialiasing, false);
  QPainterPath path;
  path.addRoundedRect(QRectF(0, 0, size.width(), size.height()), 4.5, 4.5);
  p.fillPath(path, Qt::color1);
  return mask;
}

}  // namespace

CDownLoadDlg::CDownLoadDlg(MessageTargetRef owner)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_core(Target(), std::move(owner)) {
  setObjectName(QStringLiteral("DownLoadDlg"));
  setWindowTitle(QStringLiteral("BriselVR助手"));
  setWindowIcon(AppIcon());
  setFixedSize(kWidth, kHeight);
  setMask(RoundedMask(size()));
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));

  m_header = LoadSkinImage(SkinPath("Update\\Update.png"));
  m_pProgress = new CMyProgressBar(IDC_DOWNLOAD_PROGRESS, this);
  m_pProgress->setGeometry((kWidth - kBarWidth) / 2, kBarTop, kBarWidth, kBarHeight);

  const QCursor hand = HandCursor();
  auto makeButton = [&](int id, const char* image, const char* caption, int style, int x) {
    auto* button = new CKbcButton(id, this);
    button->SetImage(*image ? SkinPath(QString::fromUtf8(image)) : QString(),
                     QString::fromUtf8(caption));
    button->SetStyle(style);
    button->SetBackground(BACKGROUND_WHITE);
    button->SetHandCursor(hand);
    button->move(x, kButtonTop);
    button->SetSize(90, 30);
    connect(button, &CKbcButton::Clicked, this, &CDownLoadDlg::OnButton);
    return button;
  };
  // Retrying is the way forward: the accent button, on the right as in the prompts.
  m_pCancel = makeButton(IDC_DOWNLOAD_CANCEL, "Msg\\Button.png", "取消升级", BUTTON_DIALOG,
                         kWidth / 2 - 100);
  m_pRetry = makeButton(IDC_DOWNLOAD_RETRY, "Msg\\RunHide.png", "重新下载", BUTTON_DIALOG,
                        kWidth / 2 + 10);
  m_pInstall = makeButton(IDC_DOWNLOAD_INSTALL, "Msg\\RunHide.png", "立即安装", BUTTON_DIALOG,
                          kWidth / 2 + 10);
  m_pClose =
      makeButton(IDC_DOWNLOAD_CLOSE, "Msg\\RunHide.png", "关闭", BUTTON_DIALOG, (kWidth - 90) / 2);
  ShowButtons({});
  m_strText = QString::fromUtf8(kDownloadingText);

  m_marquee.setInterval(kMarqueeMs);
  connect(&m_marquee, &QTimer::timeout, this, [this] {
    m_pProgress->SetPos((m_pProgress->GetPos() + kMarqueeStep) % (m_pProgress->High() + 1));
  });
}

CDownLoadDlg::~CDownLoadDlg() = default;

CKbcButton* CDownLoadDlg::Button(int id) const {
  if (id == IDC_DOWNLOAD_RETRY) return m_pRetry;
  if (id == IDC_DOWNLOAD_CANCEL) return m_pCancel;
  if (id == IDC_DOWNLOAD_INSTALL) return m_pInstall;
  if (id == IDC_DOWNLOAD_CLOSE) return m_pClose;
  return nullptr;
}

void CDownLoadDlg::StartDownload(const std::string& url) {
  m_strUrl = url;
  m_bDone = false;
  m_bFailed = false;
  m_shownPercents.clear();
  m_marquee.stop();
  m_pProgress->SetPos(0);
  ShowButtons({});
  SetText(QString::fromUtf8(kDownloadingText));
  if (!m_core.StartDownload(url)) {  // one is still running: it reports on its own
    WriteLog("a download is still running", kDownLoadDlgTag);
  }
}

void CDownLoadDlg::CancelDownload() { m_core.Cancel(); }

void CDownLoadDlg::OnButton(int id) {
  if (id == IDC_DOWNLOAD_RETRY) {
    StartDownload(m_strUrl);
  } else if (id == IDC_DOWNLOAD_INSTALL) {
    // The user agreed: the package goes to the desktop's software installer and the main
    // window is asked to close, as the new version replaces this one.
    ShowButtons({});
    if (m_core.InstallPackage()) {
      SetText(QString::fromUtf8(kDoneText));
    } else {
      SetText(QString::fromUtf8(kInstallFailedText));
      ShowButtons({m_pClose});
    }
  } else if (id == IDC_DOWNLOAD_CANCEL || id == IDC_DOWNLOAD_CLOSE) {
    m_core.Cancel();
    hide();
    emit UpdateCancelled();
  }
}

void CDownLoadDlg::OnMessage(const Message& message) {
  if (message.id == WM_DOWNLOAD_PROGRESS)
    OnProgress(static_cast<int>(message.wParam));
  else if (message.id == WM_DOWNLOAD_RESULT)
    OnResult(static_cast<DownloadResult>(message.wParam), message.text);
}

void CDownLoadDlg::OnProgress(int percent) {
  if (m_bFailed || m_bDone) return;  // a late report of a download that has ended
  if (m_shownPercents.empty() || m_shownPercents.back() != percent)
    m_shownPercents.push_back(percent);
  if (percent < 0) {
    // No length: the bar keeps moving instead of showing a share of an unknown whole.
    if (!m_marquee.isActive()) m_marquee.start();
    return;
  }
  m_marquee.stop();
  m_pProgress->SetPos(percent);
}

void CDownLoadDlg::OnResult(DownloadResult result, const std::string& path) {
  m_marquee.stop();
  switch (result) {
    case DownloadResult::Ok:
    case DownloadResult::KeptUnverified:
      m_bDone = true;
      m_bFailed = false;
      m_pProgress->SetPos(100);
      if (result == DownloadResult::KeptUnverified) {
        SetText(QString::fromUtf8(kUnverifiedText));
        ShowButtons({m_pClose});
      } else if (path.ends_with(".deb")) {  // DownLoadCore names a package so
        SetText(QString::fromUtf8(kInstallPromptText));
        ShowButtons({m_pCancel, m_pInstall});
      } else {
        SetText(QString::fromUtf8(kVerifiedKeptText));
        ShowButtons({m_pClose});
      }
      return;
    case DownloadResult::Cancelled:
      return;  // "取消升级", or the program quits
    case DownloadResult::SignatureRejected:
      m_bDone = false;
      m_bFailed = true;
      SetText(QString::fromUtf8(kRejectedText));
      ShowButtons({m_pCancel, m_pRetry});
      return;
    default:
      m_bDone = false;
      m_bFailed = true;
      SetText(QString::fromUtf8(kFailedText));
      ShowButtons({m_pCancel, m_pRetry});
      return;
  }
}

void CDownLoadDlg::ShowButtons(std::initializer_list<CKbcButton*> shown) {
  for (CKbcButton* button : {m_pCancel, m_pRetry, m_pInstall, m_pClose})
    button->setVisible(std::find(shown.begin(), shown.end(), button) != shown.end());
}

void CDownLoadDlg::SetText(const QString& text) {
  m_strText = text;
  update(kTextRect);
}

void CDownLoadDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  DrawImageCell(p, QRect(0, 0, kWidth, kHeaderHeight), m_header,
                QRect(0, 0, kWidth, kHeaderHeight));
  DrawSkinText(p, kTextRect, m_strText, SkinFont(14), kTextColour,
               Qt::AlignHCenter | Qt::AlignVCenter);
}

void CDownLoadDlg::mousePressEvent(QMouseEvent* event) {
  if (event->position().y() < kHeaderHeight) m_drag.Press(this, event);
}

void CDownLoadDlg::mouseMoveEvent(QMouseEvent* event) { m_drag.Move(event); }

void CDownLoadDlg::mouseReleaseEvent(QMouseEvent*) { m_drag.Release(); }

void CDownLoadDlg::keyPressEvent(QKeyEvent* event) {
  // Esc and Enter never close the dialog: the update goes on or ends by its buttons.
  event->accept();
}

}  // namespace brisel
