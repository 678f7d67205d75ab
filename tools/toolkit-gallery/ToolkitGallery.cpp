// toolkit-gallery OUTDIR
//
// Writes one PNG per toolkit window and control in each of its states, plus contact sheets
// (buttons.png, windows in context), for reviewers to look at. Runs on the offscreen
// platform unless QT_QPA_PLATFORM says otherwise. Nothing is written outside OUTDIR.

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "BriselUIFiles/ui/CConvertList.h"
#include "BriselUIFiles/ui/CConvertListItemDlg.h"
#include "GalleryOutput.h"
#include "MainWindowGallery.h"
#include "SharePageViews.h"
#include "ShownSettings.h"
#include "platform/ConverterLocator.h"
#include "platform/ProgramFolder.h"
#include "settings/AppSettings.h"
#include "toolkit/CClientFrameDlg.h"
#include "toolkit/CComboboxEx.h"
#include "toolkit/CGIFImage.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CLeftMenuDlg.h"
#include "toolkit/CMenuDlg.h"
#include "toolkit/CMsgBoxDlg.h"
#include "toolkit/CMyProgressBar.h"
#include "toolkit/CNotifyMsgDlg.h"
#include "toolkit/CSetContentDlg.h"
#include "toolkit/ShadowSet.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

using namespace brisel;

namespace {

using gallery::Save;
using gallery::WithShadows;

void SendEnter(QWidget* w) {
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), w->mapToGlobal(QPointF(1, 1)));
  QCoreApplication::sendEvent(w, &enter);
}

void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(w, &event);
}

// A plain host that paints one colour behind its children.
class Host : public QWidget {
 public:
  Host(QSize size, QRgb colour) : m_colour(colour) { resize(size); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(rect(), QColor::fromRgba(m_colour));
  }

 private:
  QRgb m_colour;
};

// Sheet: labelled images laid out in rows.
class Sheet {
 public:
  explicit Sheet(int width) : m_width(width) {}
  void Add(const QString& label, const QImage& image) { m_items.push_back({label, image}); }
  void NewRow() { m_items.push_back({QString(), QImage()}); }
  QImage Render(const QString& title) const {
    struct Placed {
      int x, y;
    };
    std::vector<Placed> places;
    int x = 20, y = 56, rowHeight = 0;
    for (const auto& item : m_items) {
      if (item.image.isNull()) {
        x = 20;
        y += rowHeight + 16;
        rowHeight = 0;
        places.push_back({0, 0});
        continue;
      }
      if (x + item.image.width() > m_width - 20 && x > 20) {
        x = 20;
        y += rowHeight + 16;
        rowHeight = 0;
      }
      places.push_back({x, y});
      x += item.image.width() + 24;
      rowHeight = std::max(rowHeight, item.image.height() + 20);
    }
    QImage out(m_width, y + rowHeight + 20, QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor::fromRgba(0xFFFFFFFF));
    QPainter p(&out);
    DrawSkinText(p, QRect(20, 14, m_width - 40, 30), title, SkinFont(18), skin::kColumn);
    for (std::size_t i = 0; i < m_items.size(); ++i) {
      if (m_items[i].image.isNull()) continue;
      p.drawImage(places[i].x, places[i].y, m_items[i].image);
      DrawSkinText(p, QRect(places[i].x, places[i].y + m_items[i].image.height() + 2, 400, 16),
                   m_items[i].label, SkinFont(11), skin::kGreyText);
    }
    return out;
  }

 private:
  struct Item {
    QString label;
    QImage image;
  };
  int m_width;
  std::vector<Item> m_items;
};

// ---------------------------------------------------------------- buttons

struct ButtonCase {
  const char* name;
  int style;
  const char* image;
  const char* caption;
  int width, height, cellWidth, cellHeight;
  int background;
  bool checkBox;
  QRgb host;
};

const ButtonCase kButtons[] = {
    {"s0-add", 0, "FP\\AddFile.png", "添加", 64, 30, 0, 0, 0, false, skin::kLighter},
    {"s0-convert", 0, "FP\\Convert.png", "转码", 64, 30, 0, 0, 0, false, skin::kLighter},
    {"s0-delete", 0, "FP\\Delete.png", "删除", 64, 30, 0, 0, 0, false, skin::kPage},
    {"s0-minimise", 0, "Comm\\Min.png", "", 18, 18, 0, 0, 2, false, skin::kLighter},
    {"s0-close", 0, "Comm\\Close.png", "", 18, 18, 0, 0, 2, false, skin::kLighter},
    {"s0-dialog-close", 0, "Msg\\Close.png", "", 24, 24, 0, 0, 3, false, skin::kTitleBand},
    {"s1-image-only", 1, "FP\\ConvertList.png", "", 18, 18, 0, 0, 0, false, skin::kPage},
    {"s2-navigation", 2, "FP\\FlyScreen.png", "飞屏", 160, 48, 0, 0, 4, true, skin::kColumn},
    {"s3-confirm", 3, "Msg\\Button.png", "确认", 90, 30, 0, 0, 2, false, skin::kPage},
    {"s3-run-hidden", 3, "Msg\\RunHide.png", "后台运行", 90, 30, 0, 0, 2, false, skin::kPage},
    {"s3-check-box", 3, "Msg\\Check.png", "彻底删除源文件", 250, 18, 0, 0, 1, true, skin::kPage},
    {"s3-radio", 3, "Setting\\Radio.png", "1080P画质 (1K及以下手机)", 200, 18, 0, 0, 1, true,
     skin::kPage},
    {"s4-check-update", 4, "Setting\\Button.png", "检测更新", 70, 26, 90, 30, 1, false,
     skin::kPage},
    {"s4-change", 4, "Setting\\Button.png", "修改", 70, 26, 90, 30, 1, false, skin::kPage},
    {"s5-clean", 5, "Convert\\CleanBtn.png", "清空已完成", 86, 16, 16, 16, 8, false, skin::kPage},
    {"s6-quit", 6, "", "完全退出", 90, 30, 0, 0, 6, false, skin::kPage},
    {"s6-pin", 6, "", "置顶", 35, 20, 0, 0, 1, false, skin::kPage},
    {"s7-cancel", 7, "Convert\\Close.png", "取消", 64, 30, 64, 30, 6, false, skin::kPage},
};

void Buttons() {
  Sheet sheet(1180);
  const char* states[] = {"normal", "over", "pressed", "disabled", "checked"};
  for (const ButtonCase& c : kButtons) {
    for (int state = 0; state < 5; ++state) {
      if (state == 4 && !c.checkBox) continue;
      Host host(QSize(c.width + 16, c.height + 16), c.host);
      CKbcButton button(1000, &host,
                        c.checkBox ? CKbcButton::Mode::CheckBox : CKbcButton::Mode::Push);
      button.SetImage(*c.image ? SkinPath(QString::fromUtf8(c.image)) : QString(),
                      QString::fromUtf8(c.caption));
      button.SetStyle(c.style);
      button.SetBackground(c.background);
      if (c.cellWidth) button.SetCellSize(c.cellWidth, c.cellHeight);
      button.move(8, 8);
      button.SetSize(c.width, c.height);
      if (state == 1) SendEnter(&button);
      if (state == 2) button.setDown(true);
      if (state == 3) button.SetDisabled(true);
      if (state == 4) button.SetChecked(true);
      QImage image = host.grab().toImage();
      Save(image, QString("button-%1-%2").arg(c.name, states[state]));
      sheet.Add(QString("%1 %2").arg(c.name, states[state]), image.scaled(image.size() * 2));
    }
    sheet.NewRow();
  }
  Save(sheet.Render("CKbcButton: every style, normal / over / pressed / disabled / checked (2x)"),
       "buttons");
}

// ---------------------------------------------------------------- windows with shadows

void Toast() {
  Host page(QSize(600, 200), skin::kPage);
  CMsgBoxDlg toast(&page);
  toast.ShowToast(TOAST_PATH_TOO_LONG);
  while (toast.IsTimerActive(CMsgBoxDlg::TIMER_FADE_IN)) toast.OnTimer(CMsgBoxDlg::TIMER_FADE_IN);
  for (int kind :
       {TOAST_ALREADY_CONVERTED, TOAST_PATH_TOO_LONG, TOAST_UP_TO_DATE, TOAST_SHARE_LIST_FULL}) {
    toast.ShowToast(kind);
    QImage out(315 + 80, 80 + 80, QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor::fromRgba(skin::kPage));
    QPainter(&out).drawImage(40, 40, toast.Render());
    Save(out, QString("toast-kind%1").arg(kind));
  }
}

void NotifyDialogs() {
  AppSettings settings = *theSettings;
  for (int kind = 1; kind <= 5; ++kind) {
    CNotifyMsgDlg dialog(nullptr, kind,
                         QString::fromStdString(ShortPromptName("我的旅行记录2016夏天.mp4")),
                         settings.m_nDeleteOrigin);
    dialog.move(100, 100);
    dialog.show();
    if (kind == 1) SendEnter(dialog.Button(IDC_NOTIFY_CONFIRM));
    Save(WithShadows(&dialog, dialog.Shadows()), QString("notify-kind%1").arg(kind));
    dialog.hide();
  }
  *theSettings = settings;
}

// ---------------------------------------------------------------- menus

void LeftMenus() {
  struct Case {
    const char* name;
    std::function<void(CLeftMenuDlg&)> act;
  };
  const Case cases[] = {
      {"share-selected", [](CLeftMenuDlg&) {}},
      {"convert-selected",
       [](CLeftMenuDlg& m) {
         SendMouse(&m, QEvent::MouseButtonPress, QPoint(80, 120), Qt::LeftButton, Qt::LeftButton);
         SendMouse(&m, QEvent::MouseButtonRelease, QPoint(80, 120), Qt::LeftButton, Qt::NoButton);
       }},
      {"settings-selected", [](CLeftMenuDlg& m) { m.Button(IDC_MENU_SETTINGS)->click(); }},
      {"settings-selected-share-over",
       [](CLeftMenuDlg& m) {
         m.Button(IDC_MENU_SETTINGS)->click();
         SendEnter(m.Button(IDC_MENU_SHARE));
       }},
  };
  for (const Case& c : cases) {
    Host host(QSize(160, 630), skin::kColumn);
    CLeftMenuDlg menu({}, &host);
    menu.resize(160, 630);
    menu.LayoutItems();
    c.act(menu);
    Save(menu.grab().toImage(), QString("leftmenu-%1").arg(c.name));
  }
}

void PickLists() {
  Host owner(QSize(200, 200), skin::kPage);
  CMenuDlg addresses(MENU_ADDRESSES, {}, &owner);
  addresses.SetTexts({"192.168.1.20", "10.0.0.5", "172.16.3.9"});
  addresses.SetCurrentText("192.168.1.20");
  Save(addresses.grab().toImage(), "picklist-kind2");
  addresses.show();
  SendMouse(&addresses, QEvent::MouseMove, QPoint(40, 33), Qt::NoButton, Qt::NoButton);
  Save(addresses.grab().toImage(), "picklist-kind2-row2-over");
  SendMouse(&addresses, QEvent::MouseMove, QPoint(40, 11), Qt::NoButton, Qt::NoButton);
  Save(addresses.grab().toImage(), "picklist-kind2-current-over");

  CMenuDlg formats(MENU_OUTPUT_FORMAT, {}, &owner);
  formats.SetTexts({"3D-1080P", "3D-2K", "360°-1080P", "360°-2K"});
  formats.SetCurrentText("3D-2K");
  Save(formats.grab().toImage(), "picklist-kind3");
}

// ---------------------------------------------------------------- pages

void Controls() {
  Sheet sheet(900);
  Host host(QSize(360, 60), skin::kPage);
  CMyProgressBar bar(1000, &host);
  bar.setGeometry(20, 26, 142, 8);
  for (int pos : {0, 40, 100}) {
    bar.SetPos(pos);
    sheet.Add(QString("CMyProgressBar %1").arg(pos), host.grab().toImage().scaled(720, 120));
  }
  sheet.NewRow();
  Host comboHost(QSize(200, 40), skin::kLighter);
  CComboboxEx combo(1007, &comboHost);
  combo.setGeometry(10, 9, 126, 22);
  combo.SetImage(SkinPath("FP\\IPCombo.png"));
  combo.SetText("192.168.1.20");
  sheet.Add("CComboboxEx", comboHost.grab().toImage().scaled(400, 80));
  SendEnter(&combo);
  sheet.Add("CComboboxEx over", comboHost.grab().toImage().scaled(400, 80));
  sheet.NewRow();
  for (const char* gif : {"FP\\Coning.gif", "LeftMenu\\ConvertList.gif", "FP\\ConvertList.gif"}) {
    Host gifHost(QSize(64, 64), QString(gif).startsWith("Left") ? skin::kColumn : skin::kPage);
    CGIFImage image(1055, &gifHost);
    image.setGeometry(8, 8, 48, 48);
    image.LoadGif(SkinPath(gif));
    if (QString(gif).startsWith("FP\\Coning")) image.SetDrawMode(GIF_MODE_BADGE);
    if (QString(gif).startsWith("Left")) image.SetDrawMode(GIF_MODE_TOP_BAND);
    for (int frame = 0; frame < image.FrameCount(); frame += 3) {
      image.Movie()->jumpToFrame(frame);
      sheet.Add(QString("%1 #%2").arg(gif).arg(frame), gifHost.grab().toImage().scaled(128, 128));
    }
    sheet.NewRow();
  }
  Save(sheet.Render("Progress bar, drop-down, animations (2x)"), "controls");
}

void SettingsPage() {
  Host host(QSize(808, 522), skin::kPage);
  gallery::ShownSettings shown;
  CSetContentDlg page(&shown, &host);
  page.resize(808, 522);
  page.SetupControls();
  page.ShowCurrentSettings();
  Save(page.grab().toImage(), "settings-page");
}

// ---------------------------------------------------------------- conversion list

// A throw-away program folder inside OUTDIR for the conversion list (it writes its queue file
// there): the skin of the real one, a converter that reports 37 % and then waits to be
// stopped, and thumbnails.
class ConversionFolder {
 public:
  ConversionFolder() : m_folder(gallery::OutputFolder() + "/conversion-program-folder") {
    const std::string real = GetResourceFolder();
    std::filesystem::remove_all(m_folder.toStdString());
    QDir().mkpath(m_folder + "/ffmpeg");
    std::filesystem::create_directory_symlink(real + "/SkinRes", Path("SkinRes"));
    const std::string converter = Path("ffmpeg/ffmpeg");
    std::FILE* f = std::fopen(converter.c_str(), "w");
    std::fputs(
        "#!/bin/sh\n"
        "case \"$*\" in *-encoders*) echo ' A..... aac  AAC'; exit 0 ;; esac\n"
        "printf 'frame=1 time=00:00:37.00 bitrate=1k\\r' >&2\n"
        "exec sleep 60\n",
        f);
    std::fclose(f);
    chmod(converter.c_str(), 0755);
    SetProgramFolderOverride(m_folder.toStdString());
    SetConverterOverrideForTesting(converter);
    m_oldConvertPath = theSettings->m_strConvertPath;
    theSettings->m_strConvertPath = Path("out");
    const QRgb colours[] = {0xFF4A7FB5, 0xFF7FA35B, 0xFFB5754A, 0xFF8B5BA3, 0xFF5BA39A, 0xFFA35B6E};
    for (int i = 0; i < 6; ++i) {
      QImage thumb(128, 72, QImage::Format_RGB32);
      QPainter p(&thumb);
      QLinearGradient g(0, 0, 128, 72);
      g.setColorAt(0, QColor::fromRgba(colours[i]));
      g.setColorAt(1, QColor::fromRgba(colours[i]).darker(180));
      p.fillRect(thumb.rect(), g);
      p.setPen(QColor(255, 255, 255, 160));
      p.drawEllipse(QPoint(64, 36), 20, 20);
      p.end();
      thumb.save(QString::fromStdString(Thumb(i)), "JPG");
    }
  }
  ~ConversionFolder() {
    theSettings->m_strConvertPath = m_oldConvertPath;
    SetConverterOverrideForTesting("");
    SetProgramFolderOverride("");
    std::filesystem::remove_all(m_folder.toStdString());
  }
  std::string Path(const char* relative) const { return (m_folder + "/" + relative).toStdString(); }
  std::string Thumb(int i) const { return Path("thumb") + std::to_string(i) + ".jpg"; }

 private:
  QString m_folder;
  std::string m_oldConvertPath;
};

// The conversion list alone: one task of each state, a waiting row under the pointer, and the
// same queue as the next start of the program shows it. The real window shows the view with
// its header and footer (window-convert-list, MainWindowGallery.cpp).
void ConversionView() {
  ConversionFolder folder;
  Host host(QSize(808, 522), skin::kPage);
  auto* list = new CConvertList({}, &host);
  list->setGeometry(0, 0, 808, 522);
  host.show();
  ConvertListCore& q = list->Core();
  auto add = [&](const char* name, const char* size, const char* ms, const char* w, const char* h,
                 int thumb) {
    return q.AddTask({name, folder.Path("videos/") + name, size,
                      thumb >= 0 ? folder.Thumb(thumb) : "", ms, w, h});
  };
  add("旅行记录2016夏天.mp4", "734003200", "100000", "1920", "1080", 0);
  add("Ocean dive 360.mp4", "2254857830", "905000", "3840", "1920", 1);
  add("猫咪日常.avi", "52428800", "180000", "1280", "720", -1);
  // Tasks in the other states, as a queue file (or a run of this program) leaves them.
  auto addIn = [&](const char* name, const std::string& path, const char* size, int thumb,
                   const char* ms, const char* w, const char* h, int state) {
    const std::string id = q.AddLoadedTask({name, path, size, folder.Thumb(thumb), ms, w, h},
                                           state == TASK_DONE ? TASK_DONE : TASK_NEW);
    q.FindTaskById(id)->Row->SetState(state);
  };
  addIn("演唱会现场.mkv", folder.Path("videos/c.mkv"), "1073741824", 2, "3600000", "2560", "1440",
        TASK_INTERRUPTED);
  addIn("broken clip.mov", folder.Path("videos/b.mov"), "15728640", 3, "60000", "1440", "1080",
        TASK_FAILED);
  addIn("山顶日出.mp4", folder.Path("out/山顶日出.mp4"), "314572800", 4, "420000", "1920", "960",
        TASK_DONE);
  addIn("cancelled.mp4", folder.Path("videos/x.mp4"), "1048576", 5, "10000", "640", "360",
        TASK_CANCELLED);
  list->Relayout();
  // The running task's first progress report.
  for (int i = 0; i < 100 && list->Rows().front()->ProgressBar()->GetPos() == 0; ++i) {
    QCoreApplication::processEvents();
    usleep(20000);
  }
  list->Rows().front()->SyncFromTask();
  Save(list->grab().toImage(), "convertlist-each-state");

  CConvertListItemDlg* waiting = list->Rows()[1];
  SendEnter(waiting);
  Save(list->grab().toImage(), "convertlist-hover-waiting");
  Save(waiting->grab().toImage().scaled(waiting->size() * 2), "convertlist-row-hover-2x");
  QEvent leave(QEvent::Leave);
  QCursor::setPos(0, 0);
  QCoreApplication::sendEvent(waiting, &leave);

  // The program is killed here: the next start reads the queue file as it was saved.
  q.SaveQueueFile();
  const std::string saved = [&] {
    std::FILE* f = std::fopen(folder.Path("ConvertList.xml").c_str(), "rb");
    std::string data(1 << 16, '\0');
    data.resize(std::fread(data.data(), 1, data.size(), f));
    std::fclose(f);
    return data;
  }();
  delete list;
  std::FILE* f = std::fopen(folder.Path("ConvertList.xml").c_str(), "wb");
  std::fwrite(saved.data(), 1, saved.size(), f);
  std::fclose(f);
  auto* restarted = new CConvertList({}, &host);
  restarted->setGeometry(0, 0, 808, 522);
  restarted->LoadQueueFile();
  Save(restarted->grab().toImage(), "convertlist-after-restart");
  delete restarted;
}

void ShadowRing() {
  Host window(QSize(972, 630), skin::kPage);
  window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  window.move(200, 150);
  window.show();
  ShadowSet shadows(ShadowOwner::MainWindow);
  shadows.CreateShadows(&window);
  Save(WithShadows(&window, shadows, 40), "shadow-ring-main");
  for (int i = 0; i < 4; ++i) {
    QImage fallback(shadows.Shadow(i)->size(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&fallback);
    CClientFrameDlg::PaintFallback(p, shadows.Shadow(i)->Kind(), fallback.size());
    p.end();
    Save(fallback, QString("shadow-fallback-kind%1").arg(i + 1));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: toolkit-gallery OUTDIR\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  gallery::SetOutputFolder(out);
  if (!QDir().mkpath(out)) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }
  // The pictures show a configured program without touching any config.ini.
  static AppSettings settings;
  settings.m_nKeepAwake = 1;
  settings.m_nConvertRatio = 1;
  settings.m_nDeleteOrigin = 1;
  settings.m_nExitWndType = 1;
  theSettings = &settings;

  Buttons();
  Toast();
  NotifyDialogs();
  LeftMenus();
  PickLists();
  Controls();
  SettingsPage();
  ShadowRing();
  ConversionView();
  gallery::RenderMainWindowViews();
  RenderSharePageViews();
  std::printf("%d pictures written to %s\n", gallery::Written(), argv[1]);
  return gallery::Written() > 0 ? 0 : 1;
}
