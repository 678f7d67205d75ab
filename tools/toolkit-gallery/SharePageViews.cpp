#include "SharePageViews.h"

#include <QCoreApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>

#include <cstdio>
#include <filesystem>

#include "BriselUIFiles/ConvertStatus.h"
#include "BriselUIFiles/VideoWndCore.h"
#include "BriselUIFiles/VideoWndListCore.h"
#include "BriselUIFiles/ui/RightVideoDlg.h"
#include "BriselUIFiles/ui/VideoWndDlg.h"
#include "BriselUIFiles/ui/VideoWndList.h"
#include "ConService/Service.h"
#include "GalleryOutput.h"
#include "ShownSettings.h"
#include "platform/NetworkAdapters.h"
#include "platform/ProgramFolder.h"
#include "settings/AppSettings.h"
#include "settings/ProgramValues.h"
#include "toolkit/CLeftMenuDlg.h"
#include "toolkit/CMenuDlg.h"
#include "toolkit/CMsgBoxDlg.h"
#include "toolkit/SkinPainting.h"

namespace brisel {
namespace {

// A made-up frame of a video: a sky, a horizon and a sun, in the video's own hue.
QImage MakeThumbnail(int hue) {
  QImage image(128, 72, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient sky(0, 0, 0, 72);
  sky.setColorAt(0, QColor::fromHsv(hue, 120, 235));
  sky.setColorAt(1, QColor::fromHsv((hue + 30) % 360, 200, 120));
  p.fillRect(image.rect(), sky);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor::fromHsv((hue + 180) % 360, 90, 250));
  p.drawEllipse(QPoint(30 + hue % 60, 24), 10, 10);
  p.setBrush(QColor::fromHsv(hue, 160, 70));
  p.drawRect(0, 52, 128, 20);
  return image;
}

QString TileLabel(const VideoWndCore& tile) {
  if (tile.Checked()) return "ticked";
  switch (tile.State()) {
    case VIDEO_CONVERTING:
      return "converting";
    case VIDEO_QUEUED:
      return "waiting";
    case VIDEO_CONVERTED:
      return "converted";
    default:
      return tile.HasThumbnail() ? "idle" : "no-picture";
  }
}

// Lets the posted repaints, probes and grabs of the page run until they are done.
void Settle(CRightVideoDlg& page) {
  for (int round = 0; round < 400; ++round) {
    QCoreApplication::processEvents();
    bool busy = page.VideoList()->Core().ProbeAllRunning();
    for (const VIDEOINFO_ST& e : page.VideoList()->Core().Entries())
      busy =
          busy || !e.m_pTile->Probed() || !e.m_pTile->WaitForWorkers(std::chrono::milliseconds(0));
    if (!busy) break;
    QThread::msleep(20);
  }
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// What the page asks of the main window: here only its service and the settings page's host,
// which shows the gallery's settings and stores nothing.
class PictureMainWindow : public SharePageHost {
 public:
  explicit PictureMainWindow(Service* service) : m_pService(service) {}
  void HandleCloseRequest() override {}
  void MinimiseMainWindow() override {}
  void ShowConvertedBalloon(const std::string&) override {}
  void SetConverting(bool) override {}
  Service* GetService() override { return m_pService; }
  SettingsPageHost* SettingsHost() override { return &m_settings; }

 private:
  Service* m_pService;
  gallery::ShownSettings m_settings;
};

// The page at its place in the window, beside the left menu, as the program shows it.
class PageWindow {
 public:
  PageWindow(Service* service) : m_host(service) {
    m_window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    m_window.setFixedSize(972, 630);
    m_window.move(200, 150);
    m_menu = new CLeftMenuDlg({}, &m_window);
    m_menu->resize(160, 630);
    m_menu->LayoutItems();
    m_page = new CRightVideoDlg(&m_host, &m_window);
    m_page->move(160, 0);
    m_window.show();
  }
  ~PageWindow() { m_page->Shutdown(); }
  CRightVideoDlg& Page() { return *m_page; }

  // The window with the windows of its own on top (address menu, toast) where they are.
  QImage Picture() {
    QImage out = m_window.grab().toImage();
    QPainter p(&out);
    CMenuDlg* menu = m_page->AddressMenu();
    if (menu && menu->isVisible())
      p.drawImage(menu->pos() - m_window.pos(), menu->grab().toImage());
    CMsgBoxDlg* toast = m_page->Toast();
    if (toast->isVisible()) {
      const QImage face = toast->Render();
      p.drawImage(QPoint((972 - face.width()) / 2, (630 - face.height()) / 2), face);
    }
    return out;
  }

 private:
  PictureMainWindow m_host;
  QWidget m_window;
  CLeftMenuDlg* m_menu = nullptr;
  CRightVideoDlg* m_page = nullptr;
};

}  // namespace

void RenderSharePageViews() {
  // Everything the page writes (catalogue records, thumbnails, settings, relations) goes to
  // a program folder inside OUTDIR that borrows the built skin, and is removed at the end.
  const std::string skin = GetResourceFolder() + "/SkinRes";
  const std::string folder = gallery::OutputFolder().toStdString() + "/.share-page-program";
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  std::filesystem::create_directories(folder + "/videos", ec);
  std::filesystem::create_directory_symlink(skin, folder + "/SkinRes", ec);
  SetProgramFolderOverride(folder);
  AppSettings* const savedSettings = theSettings;
  LoadSettings(false);
  theSettings->m_strConvertPath =
      "/home/user/Videos/BriselVR converted/2016 summer trip/with friends/";
  SetServiceIp("192.168.1.20");
  SetAdapterSourceForTesting([] {
    AdapterInfo adapter;
    adapter.name = "eth0";
    adapter.hardwareAddress = {0, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    adapter.ipv4 = {"192.168.1.20", "10.0.0.5", "172.16.3.9"};
    return std::vector<AdapterInfo>{adapter};
  });

  {
    Service service;
    PageWindow empty(&service);
    empty.Page().LoadFromCatalogue();
    Settle(empty.Page());
    gallery::Save(empty.Picture(), "share-empty");
  }

  {
    Service service;
    // Twelve videos: ten with pictures, one that cannot be read (its grab fails: the
    // placeholder) and the converted ones in list 2.
    const char* names[] = {"海边日落.mp4",     "Skiing in the Alps 360.mkv",
                           "城市夜景延时.mp4", "concert_front_row.avi",
                           "山顶.mp4",         "Roller coaster POV.mp4",
                           "婚礼现场.wmv",     "drone over the forest.mp4",
                           "水下世界.flv",     "not really a video.mp4",
                           "海边日落(1).mp4",  "concert_front_row.mp4"};
    int hue = 0;
    for (const char* name : names) {
      const std::string path = folder + "/videos/" + name;
      std::FILE* f = std::fopen(path.c_str(), "wb");
      if (f) {
        std::fputs("a stand-in for a video", f);
        std::fclose(f);
      }
      const bool converted = std::string(name).find("(1)") != std::string::npos ||
                             std::string(name) == "concert_front_row.mp4";
      std::string key;
      service.Catalogue().AddShareRecord(
          path, converted ? SHARE_LIST_CONVERTED : SHARE_LIST_ORDINARY, &key);
      if (std::string(name) != "not really a video.mp4")
        MakeThumbnail(hue).save(QString::fromStdString(service.Catalogue().ThumbnailPath(key)),
                                "JPG");
      hue += 29;
    }
    PageWindow full(&service);
    CRightVideoDlg& page = full.Page();
    page.LoadFromCatalogue();
    Settle(page);
    const std::string videos = folder + "/videos/";
    page.Core().OnTaskStateChanged(CONVERT_STARTED, videos + "城市夜景延时.mp4");
    page.Core().OnTaskStateChanged(CONVERT_QUEUED, videos + "山顶.mp4");
    page.Core().OnTaskStateChanged(CONVERT_QUEUED, videos + "婚礼现场.wmv");
    Settle(page);
    gallery::Save(full.Picture(), "share-12-videos");

    // Close-ups of the tiles (2x): converting, waiting, converted, no picture, ticked.
    const std::vector<CVideoWndDlg*> tiles = page.VideoList()->TileWindows();
    for (std::size_t i : {2u, 4u, 10u, 9u, 0u}) {
      if (i >= tiles.size()) continue;
      if (i == 0) tiles[i]->Tile()->SetChecked(true);
      tiles[i]->Refresh();
      const QImage tile = tiles[i]->grab().toImage();
      gallery::Save(tile.scaled(tile.size() * 2),
                    QString("share-tile-%1").arg(TileLabel(*tiles[i]->Tile())));
      if (i == 0) tiles[i]->Tile()->SetChecked(false);
    }

    // A ticked selection: three videos, "转码" and "删除" enabled.
    for (std::size_t i : {0u, 1u, 7u}) tiles[i]->Tile()->SetChecked(true);
    page.Core().RefreshSelection();
    Settle(page);
    gallery::Save(full.Picture(), "share-ticked");
    page.Core().OnCheckAllClicked();
    Settle(page);
    gallery::Save(full.Picture(), "share-all-ticked");
    page.Core().OnCheckAllClicked();

    // The address menu open under the address box.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(CRightVideoDlg::kAddressBox.center()),
                      page.mapToGlobal(QPointF(CRightVideoDlg::kAddressBox.center())),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&page, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, press.position(), press.globalPosition(),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&page, &release);
    Settle(page);
    gallery::Save(full.Picture(), "share-address-menu");
    page.AddressMenu()->hide();

    // A toast over the page, at its full opacity.
    page.ShowToast(TOAST_FILE_EXISTS);
    while (page.Toast()->IsTimerActive(CMsgBoxDlg::TIMER_FADE_IN))
      page.Toast()->OnTimer(CMsgBoxDlg::TIMER_FADE_IN);
    gallery::Save(full.Picture(), "share-toast");
    page.Toast()->hide();

    // The other two views with their footers.
    page.SelectView(SHARE_VIEW_CONVERT_LIST);
    Settle(page);
    gallery::Save(full.Picture(), "share-view1-convert-list");
    page.SelectView(SHARE_VIEW_SETTINGS);
    Settle(page);
    gallery::Save(full.Picture(), "share-view2-settings");

    // No LAN address (no network, or only loopback): the address box says so.
    page.SelectView(SHARE_VIEW_VIDEOS);
    SetServiceIp("");
    page.StatusChanged();
    Settle(page);
    gallery::Save(full.Picture(), "share-no-network");
  }

  SetAdapterSourceForTesting({});
  SetProgramFolderOverride("");
  theSettings = savedSettings;
  std::filesystem::remove_all(folder, ec);
}

}  // namespace brisel
