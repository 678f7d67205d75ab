#include "MainWindowGallery.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "BriselUIFiles/ConvertListCore.h"
#include "BriselUIFiles/ConvertTask.h"
#include "BriselUIFiles/QueueFile.h"
#include "BriselUIFiles/VideoRelationFile.h"
#include "BriselUIFiles/VideoWndCore.h"
#include "BriselUIFiles/VideoWndListCore.h"
#include "BriselUIFiles/ui/CConvertList.h"
#include "BriselUIFiles/ui/CConvertListItemDlg.h"
#include "BriselUIFiles/ui/CDownLoadDlg.h"
#include "BriselUIFiles/ui/RightVideoDlg.h"
#include "BriselUIFiles/ui/SharePage.h"
#include "BriselUIFiles/ui/VideoWndList.h"
#include "ConService/ShareCatalogue.h"
#include "ConService/ShareRecord.h"
#include "GalleryOutput.h"
#include "app/ui/BriselVRClientDlg.h"
#include "platform/ChildProcess.h"
#include "platform/ConverterLocator.h"
#include "platform/FileSystem.h"
#include "platform/NetworkAdapters.h"
#include "platform/ProgramFolder.h"
#include "settings/AppSettings.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CLeftMenuDlg.h"
#include "toolkit/CMyProgressBar.h"
#include "toolkit/CNotifyMsgDlg.h"

using namespace brisel;

namespace gallery {
namespace {

std::map<std::string, MainWindowView>& Views() {
  static std::map<std::string, MainWindowView> views;
  return views;
}

// ---------------------------------------------------------------- the sample library

struct SampleVideo {
  const char* name;
  const char* source;  // lavfi source of its picture
  const char* seconds;
};

// Ordinary videos, and which of them were converted (with the converted file's name).
const SampleVideo kVideos[] = {
    {"海边日落.mp4", "testsrc2=size=640x360:rate=25", "16"},
    {"城市夜景.mkv", "smptehdbars=size=640x360:rate=25", "16"},
    {"雪山航拍.mp4", "mandelbrot=size=640x360:rate=25", "16"},
    // A phone recording shorter than the thumbnail's seek point: the sample has no picture
    // for it, and the window makes one from inside the clip.
    {"家庭聚会2016.mp4", "rgbtestsrc=size=640x360:rate=25", "4"},
};
const std::pair<const char*, const char*> kConverted[] = {
    {"城市夜景.mkv", "城市夜景.mp4"},
    {"雪山航拍.mp4", "雪山航拍(1).mp4"},
};

// Conversion tasks of videos outside the library, each with a picture (a lavfi source, or
// none), its size, length and frame.
struct SampleTask {
  const char* name;
  const char* picture;
  const char* size;
  const char* milliseconds;
  const char* width;
  const char* height;
  int state;  // as the queue file of an earlier run left it; TASK_NEW: added in the view
};
const SampleTask kTasks[] = {
    {"演唱会现场.mkv", "life=size=128x72:mold=10:ratio=0.2:death_color=#5B3A8B", "1073741824",
     "3600000", "2560", "1440", TASK_INTERRUPTED},
    {"broken clip.mov", "cellauto=size=128x72:rule=110", "15728640", "60000", "1440", "1080",
     TASK_FAILED},
    {"旅行记录2016夏天.mp4", "testsrc=size=128x72", "734003200", "100000", "1920", "1080",
     TASK_NEW},
    {"Ocean dive 360.mp4", "smptebars=size=128x72", "2254857830", "905000", "3840", "1920",
     TASK_NEW},
    {"猫咪日常.avi", nullptr, "52428800", "180000", "1280", "720", TASK_NEW},
};

std::string TaskPicture(const std::string& folder, const SampleTask& t) {
  return t.picture ? folder + "/thumbs/" + t.name + ".jpg" : std::string();
}

bool Run(const std::vector<std::string>& argv) {
  ProcessResult r = RunProcess(argv, 120000);
  if (r.exitCode != 0) std::fprintf(stderr, "%s failed: %s\n", argv[0].c_str(), r.output.c_str());
  return r.exitCode == 0;
}

// A clip and its 128 x 72 thumbnail, taken at 15 s (none for a shorter clip).
bool MakeClip(const std::string& path, const char* source, const char* seconds) {
  return Run({ConverterExecutable(),
              "-v",
              "error",
              "-y",
              "-f",
              "lavfi",
              "-i",
              source,
              "-f",
              "lavfi",
              "-i",
              "sine=frequency=440",
              "-t",
              seconds,
              "-c:v",
              "libx264",
              "-preset",
              "ultrafast",
              "-pix_fmt",
              "yuv420p",
              "-c:a",
              "aac",
              path});
}

bool MakeThumbnail(const std::string& video, const std::string& jpeg) {
  return Run({ConverterExecutable(), "-v", "error", "-y", "-ss", "00:00:15", "-i", video,
              "-vframes", "1", "-s", "128x72", jpeg});
}

bool MakePicture(const char* source, const std::string& jpeg) {
  return Run({ConverterExecutable(), "-v", "error", "-y", "-f", "lavfi", "-i", source, "-vframes",
              "1", jpeg});
}

// config.ini, the videos with their catalogue records and thumbnails, the converted files,
// their relations and the queue an earlier run left: a task interrupted, one failed, and the
// finished ones.
bool MakeSampleLibrary(const std::string& folder) {
  WriteFileAtomically(folder + "/config.ini",
                      "[NormalSetting]\r\nBase-AutoRun=0\r\nExitWndType=1\r\n"
                      "ComSleep-UnSleep=1\r\nDeleteOrigin=1\r\n"
                      "[VideoSetting]\r\nVideoConvert-Ratio=1\r\n");
  CreateDirectories(folder + "/videos");
  CreateDirectories(folder + "/thumbs");
  CreateDirectories(folder + "/appData/converted");
  CreateDirectories(folder + "/file_root/image");
  ShareCatalogue catalogue;  // writes the record files; destroyed before the window starts
  std::vector<QueueFileEntry> tasks;
  for (const SampleTask& t : kTasks) {
    const std::string picture = TaskPicture(folder, t);
    if (!picture.empty() && !MakePicture(t.picture, picture)) return false;
    if (t.state != TASK_NEW)
      tasks.push_back({{t.name, folder + "/videos/" + t.name, t.size, picture, t.milliseconds,
                        t.width, t.height},
                       t.state});
  }
  std::vector<VIDEO_RELATION_ST> relations;
  for (const SampleVideo& v : kVideos) {
    const std::string path = folder + "/videos/" + v.name;
    if (!MakeClip(path, v.source, v.seconds)) return false;
    std::string key;
    catalogue.AddShareRecord(path, SHARE_LIST_ORDINARY, &key);
    MakeThumbnail(path, catalogue.ThumbnailPath(key));
  }
  for (const auto& [source, output] : kConverted) {
    const std::string from = folder + "/videos/" + source;
    const std::string to = folder + "/appData/converted/" + output;
    if (!Run({ConverterExecutable(), "-v", "error", "-y", "-i", from, "-c", "copy", to}))
      return false;
    std::string key;
    catalogue.AddShareRecord(to, SHARE_LIST_CONVERTED, &key);
    MakeThumbnail(to, catalogue.ThumbnailPath(key));
    relations.push_back({from, to});
    // A finished task shows the picture of the video it was made from.
    tasks.push_back({{source, to, std::to_string(FileSize(to).value_or(0)),
                      catalogue.ThumbnailPath(ShareRecord::MakeKey(from)), "16000", "1920", "1080"},
                     TASK_DONE});
  }
  WriteRelationFile(RelationFilePath(), relations);
  WriteQueueFile(QueueFilePath(), tasks);
  return true;
}

// True when every tile of the page is probed and has no grab running.
bool TilesSettled(CRightVideoDlg& page) {
  if (page.VideoList()->Core().ProbeAllRunning()) return false;
  for (const VIDEOINFO_ST& e : page.VideoList()->Core().Entries()) {
    if (!e.m_pTile->Probed() || !e.m_pTile->WaitForWorkers(std::chrono::milliseconds(0)))
      return false;
  }
  return true;
}

// ---------------------------------------------------------------- views

void VideosView(MainWindowScene& scene) {
  scene.ChoosePage(PAGE_SHARE);
  Save(scene.Picture(), "window-videos");
}

// The queue as the conversion view shows it after a restart and three new tasks: the first
// converting (a stand-in converter reports 37 % and waits), two waiting, then what the earlier
// run left. The view stops the conversion again before the next view.
void ConvertListView(MainWindowScene& scene) {
  auto* page = dynamic_cast<CRightVideoDlg*>(scene.Window().Page()->Widget());
  if (!page) return;
  const std::string folder = scene.ProgramFolder().toStdString();
  const std::string converter = folder + "/thumbs/converter.sh";
  WriteFileAtomically(converter,
                      "#!/bin/sh\n"
                      "case \"$*\" in *-encoders*) echo ' A..... aac  AAC'; exit 0 ;; esac\n"
                      "printf 'frame=1 time=00:00:37.00 bitrate=1k\\r' >&2\n"
                      "exec sleep 60\n");
  chmod(converter.c_str(), 0755);
  SetConverterOverrideForTesting(converter);
  for (const SampleTask& t : kTasks) {
    if (t.state != TASK_NEW) continue;
    page->ConvertList().AddTask({t.name, folder + "/videos/" + t.name, t.size,
                                 TaskPicture(folder, t), t.milliseconds, t.width, t.height});
  }
  page->ConvertListView()->Relayout();
  scene.ChoosePage(PAGE_CONVERT_LIST);
  // The converting task's first progress report.
  const std::vector<CConvertListItemDlg*> rows = page->ConvertListView()->Rows();
  for (int i = 0; i < 100 && !rows.empty() && rows.front()->ProgressBar()->GetPos() == 0; ++i)
    scene.Settle(50);
  scene.Settle(100);
  Save(scene.Picture(), "window-convert-list");

  // Stopped as a quit stops it: the task stays, interrupted, and nothing starts in its place.
  scene.Window().Page()->StopAll(true);
  scene.Settle(100);
  SetConverterOverrideForTesting("");
}

void SettingsView(MainWindowScene& scene) {
  scene.ChoosePage(PAGE_SETTINGS);
  Save(scene.Picture(), "window-settings");
}

void ExitPromptView(MainWindowScene& scene) {
  scene.ChoosePage(PAGE_SHARE);
  CNotifyMsgDlg prompt(&scene.Window(), NOTIFY_EXIT);
  prompt.show();
  scene.Settle(100);
  Save(scene.PictureWith(&prompt, &prompt.Shadows()), "window-exit-prompt");
}

// The download dialog as the update shows it: at 40 %, without a length, each way a download
// ends, and after a failure. Driven by the messages its download thread sends.
void DownloadView(MainWindowScene& scene) {
  CDownLoadDlg* dialog = scene.Window().DownLoadDlg();
  dialog->show();
  PostTo(dialog->Target(), Message(WM_DOWNLOAD_PROGRESS, 40, 10240));
  scene.Settle(100);
  Save(OnDesktop({{dialog, nullptr}}, 28), "download-40");
  const std::string folder = "/home/user/.local/share/BriselVR/appData/download/";
  struct Ending {
    DownloadResult result;
    std::string path;
    const char* name;
  } endings[] = {
      {DownloadResult::Ok, folder + "BriselVR助手.deb", "download-install"},
      {DownloadResult::Ok, folder + "BriselVR助手.exe", "download-verified"},
      {DownloadResult::KeptUnverified, folder + "BriselVR助手.exe", "download-unverified"},
      {DownloadResult::SignatureRejected, folder + "BriselVR助手.exe", "download-rejected"},
  };
  for (const Ending& e : endings) {
    PostTo(dialog->Target(), Message(WM_DOWNLOAD_RESULT, static_cast<int>(e.result), 200, e.path));
    scene.Settle(100);
    Save(OnDesktop({{dialog, nullptr}}, 28), e.name);
  }
  // "立即安装" when the opener cannot take the package (here: no package was downloaded, so
  // nothing is opened).
  PostTo(dialog->Target(),
         Message(WM_DOWNLOAD_RESULT, static_cast<int>(DownloadResult::Ok), 200, endings[0].path));
  scene.Settle(100);
  dialog->Button(IDC_DOWNLOAD_INSTALL)->click();
  scene.Settle(100);
  Save(OnDesktop({{dialog, nullptr}}, 28), "download-install-failed");
  dialog->StartDownload("http://127.0.0.1:9/BriselVR.exe");  // nothing listens there
  for (int i = 0; i < 50 && !dialog->Failed(); ++i) scene.Settle(100);
  Save(OnDesktop({{dialog, nullptr}}, 28), "download-failed");
  dialog->hide();
}

[[maybe_unused]] const bool kViews = AddMainWindowView("1-videos", VideosView) &&
                                     AddMainWindowView("2-convert-list", ConvertListView) &&
                                     AddMainWindowView("3-settings", SettingsView) &&
                                     AddMainWindowView("4-exit-prompt", ExitPromptView) &&
                                     AddMainWindowView("5-download", DownloadView);

}  // namespace

bool AddMainWindowView(const char* name, MainWindowView view) {
  Views()[name] = std::move(view);
  return true;
}

void MainWindowScene::Settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  do {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  } while (timer.elapsed() < ms);
}

void MainWindowScene::ChoosePage(int page) {
  CLeftMenuDlg* menu = m_window.LeftMenu();
  if (page == PAGE_CONVERT_LIST) {
    QPoint at = CLeftMenuDlg::kConvertItem.center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, QPointF(at), menu->mapToGlobal(QPointF(at)), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                        Qt::NoModifier);
      QCoreApplication::sendEvent(menu, &event);
    }
  } else {
    menu->Button(page == PAGE_SETTINGS ? IDC_MENU_SETTINGS : IDC_MENU_SHARE)->click();
  }
  Settle();
}

QImage MainWindowScene::Picture() { return OnDesktop({{&m_window, &m_window.Shadows()}}, 40); }

QImage MainWindowScene::PictureWith(QWidget* top, ShadowSet* topShadows) {
  return OnDesktop({{&m_window, &m_window.Shadows()}, {top, topShadows}}, 40);
}

void RenderMainWindowViews() {
  QTemporaryDir sample;
  if (!sample.isValid()) {
    std::fprintf(stderr, "no temporary folder for the sample library\n");
    return;
  }
  const std::string folder = sample.path().toStdString();
  // Nothing of the sample leaves its folder: no autostart entry, no lock in the session's.
  qputenv("XDG_CONFIG_HOME", sample.path().toLocal8Bit() + "/config");
  // The skin stays where the tool finds it.
  QFile::link(QString::fromStdString(GetResourceFolder() + "/SkinRes"), sample.path() + "/SkinRes");
  SetProgramFolderOverride(folder);
  if (!MakeSampleLibrary(folder)) {
    std::fprintf(stderr, "the sample library could not be made (ffmpeg?); main window skipped\n");
    SetProgramFolderOverride("");
    return;
  }
  // The address box shows a sample LAN address, not the network of the machine that draws
  // (without one it would say "IP: 网络未连接"); sandboxed, the service is never started on it.
  SetAdapterSourceForTesting([] {
    AdapterInfo adapter;
    adapter.name = "eth0";
    adapter.hardwareAddress = {0, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    adapter.ipv4 = {"192.168.1.20"};
    return std::vector<AdapterInfo>{adapter};
  });
  {
    CBriselVRClientDlg window(ProgramSettings());
    window.Core().SetSandboxed(true);
    window.OnInitDialog();
    window.move(200, 150);
    window.show();
    MainWindowScene scene(window, sample.path());
    scene.Settle(1500);  // tiles probe and load their thumbnails
    // ... and make the missing ones.
    if (auto* page = dynamic_cast<CRightVideoDlg*>(window.Page()->Widget())) {
      for (int i = 0; i < 300 && !TilesSettled(*page); ++i) scene.Settle(100);
    }
    for (auto& [name, view] : Views()) view(scene);
  }
  SetAdapterSourceForTesting({});
  SetProgramFolderOverride("");
}

}  // namespace gallery
