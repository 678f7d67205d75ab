#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTimer>

#include "BriselUIFiles/ui/RightVideoDlg.h"
#include "BriselUIFiles/ui/SharePage.h"
#include "app/ui/BriselVRClientDlg.h"
#include "app/ui/TrayIcon.h"
#include "platform/FileSystem.h"
#include "platform/KeepAwake.h"
#include "settings/AppSettings.h"
#include "support/Sandbox.h"
#include "support/ui/RecordingSharePage.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CLeftMenuDlg.h"
#include "toolkit/CNotifyMsgDlg.h"
#include "toolkit/CSetContentDlg.h"
#include "toolkit/MessageReceiver.h"

namespace brisel {
namespace {

// The main window with its pages, not started (no log thread, no service).
class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadSettings(false));
    dlg_ = std::make_unique<CBriselVRClientDlg>(ProgramSettings());
    dlg_->CreatePages();
    dlg_->move(100, 80);
    dlg_->show();
    test::DeliverPosted();  // the edge windows follow the window on screen
  }
  QWidget* Page() const { return dlg_->findChild<QWidget*>("RightVideoDlg"); }
  CKbcButton* PageButton(int id) const {
    return Page()->findChild<CKbcButton*>(QString::number(id), Qt::FindDirectChildrenOnly);
  }
  // While a prompt is open, `action` runs on it; returns whether an exit prompt appeared.
  bool WithPrompt(const std::function<void()>& close,
                  const std::function<void(CNotifyMsgDlg*)>& action) {
    bool prompted = false;
    // Looks for the prompt until it is open (a posted request opens it a little later); a
    // close that shows none leaves the timer behind unused.
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      auto* prompt = qobject_cast<CNotifyMsgDlg*>(QApplication::activeModalWidget());
      if (!prompt) return;
      watch.stop();
      prompted = prompt->Kind() == NOTIFY_EXIT;
      action(prompt);
    });
    watch.start();
    close();
    test::DeliverPosted();
    return prompted;
  }
  bool CloseWithPrompt(const std::function<void(CNotifyMsgDlg*)>& action) {
    return WithPrompt([this] { dlg_->close(); }, action);
  }
  static void Press(CNotifyMsgDlg* prompt, int id) {
    CKbcButton* button = prompt->Button(id);
    ASSERT_NE(button, nullptr);
    test::Click(button, button->rect().center());
  }
  test::Sandbox box_;
  std::unique_ptr<CBriselVRClientDlg> dlg_;
};

TEST_F(MainWindow, CreatePagesPlacesTheMenuThePageAndTheEdgeWindows) {
  EXPECT_EQ(dlg_->size(), QSize(972, 630));
  EXPECT_EQ(dlg_->windowTitle(), QStringLiteral("BriselVR助手"));
  EXPECT_TRUE(dlg_->windowFlags() & Qt::FramelessWindowHint);
  auto* menu = dlg_->findChild<CLeftMenuDlg*>("LeftMenuDlg");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->geometry(), QRect(0, 0, 160, 630));
  EXPECT_TRUE(menu->isVisible());
  ASSERT_NE(Page(), nullptr);
  EXPECT_EQ(Page()->geometry(), QRect(160, 0, 812, 630));
  EXPECT_TRUE(Page()->isVisible());
  EXPECT_EQ(dlg_->Page()->View(), SHARE_VIEW_VIDEOS);

  // The edge windows keep their 16-pixel ring around the window wherever it moves.
  for (QPoint to : {QPoint(100, 80), QPoint(337, 201), QPoint(20, 16)}) {
    dlg_->move(to);
    std::array<QRect, 4> expected =
        ShadowPlacement(ShadowOwner::MainWindow, QRect(dlg_->mapToGlobal(QPoint()), dlg_->size()));
    for (int i = 0; i < 4; ++i) {
      ASSERT_NE(dlg_->Shadows().Shadow(i), nullptr);
      EXPECT_EQ(dlg_->Shadows().Shadow(i)->geometry(), expected[i]) << i << " at " << to.x();
      EXPECT_TRUE(dlg_->Shadows().Shadow(i)->isVisible());
    }
    EXPECT_EQ(expected[1].topLeft(), dlg_->mapToGlobal(QPoint(-16, -16)));
  }
}

TEST_F(MainWindow, PageChoicesReachTheSharePage) {
  struct Case {
    int page;
    int view;  // after the choice
  } cases[] = {{PAGE_SETTINGS, SHARE_VIEW_SETTINGS}, {PAGE_ABOUT, SHARE_VIEW_SETTINGS},
               {PAGE_SECRET, SHARE_VIEW_SETTINGS},   {PAGE_CONVERT_LIST, SHARE_VIEW_CONVERT_LIST},
               {PAGE_SHARE, SHARE_VIEW_VIDEOS},      {7, SHARE_VIEW_VIDEOS}};
  for (const Case& c : cases) {
    PostTo(dlg_->Target(), Message(WM_SWITCH_PAGE, c.page, 0));
    test::DeliverPosted();
    EXPECT_EQ(dlg_->Page()->View(), c.view) << c.page;
  }
  // The left menu's own entries travel the same way.
  dlg_->LeftMenu()->Button(IDC_MENU_SETTINGS)->click();
  test::DeliverPosted();
  EXPECT_EQ(dlg_->Page()->View(), SHARE_VIEW_SETTINGS);
  // Messages the window has nothing to do with change nothing.
  for (std::uint32_t id : {WM_CONVERT_REQUEST, WM_SHARE_FILE_STATUS_1, WM_SHARE_FILE_STATUS_2})
    PostTo(dlg_->Target(), Message(id, 1, 0, "/videos/a.mp4"));
  test::DeliverPosted();
  EXPECT_EQ(dlg_->Page()->View(), SHARE_VIEW_SETTINGS);
  EXPECT_TRUE(dlg_->isVisible());
}

TEST_F(MainWindow, TheQueuesStateReachesTheConvertEntryThroughThePage) {
  auto* page = dynamic_cast<CRightVideoDlg*>(Page());
  ASSERT_NE(page, nullptr);
  for (bool converting : {true, false, true}) {
    // What the conversion queue tells its page whenever a task starts or the last ends.
    page->Core().OnConvertingChanged(converting);
    EXPECT_EQ(dlg_->LeftMenu()->Converting(), converting);
  }
}

TEST_F(MainWindow, OnlyTheDragAreasMoveTheWindow) {
  auto drag = [](QWidget* widget, QPoint at) {
    test::SendMouse(widget, QEvent::MouseButtonPress, at);
    test::SendMouse(widget, QEvent::MouseMove, at + QPoint(30, 20), Qt::NoButton, Qt::LeftButton);
    test::SendMouse(widget, QEvent::MouseButtonRelease, at + QPoint(30, 20), Qt::LeftButton,
                    Qt::NoButton);
  };
  const QPoint start = dlg_->pos();
  // A menu entry and the view's background belong to their page, not to the window's move.
  drag(dlg_->LeftMenu(), QPoint(80, 127));
  drag(Page(), QPoint(400, 300));
  EXPECT_EQ(dlg_->pos(), start);
  drag(Page(), QPoint(400, 20));  // the header band
  EXPECT_EQ(dlg_->pos(), start + QPoint(30, 20));
}

TEST_F(MainWindow, AskShowsTheExitPromptEveryTime) {
  theSettings->m_nExitWndType = 1;
  std::size_t prompts = 0;
  EXPECT_TRUE(CloseWithPrompt([&](CNotifyMsgDlg* p) {
    // Another close request while it is open asks nothing new.
    PostTo(dlg_->Target(), Message(WM_COMMAND, ID_TRAY_CLOSE));
    test::DeliverPosted();
    prompts = dlg_->findChildren<CNotifyMsgDlg*>().size();
    Press(p, IDC_NOTIFY_CLOSE);
  }));
  EXPECT_EQ(prompts, 1u);
  EXPECT_TRUE(dlg_->isVisible());
  EXPECT_FALSE(dlg_->QuitConfirmed());

  EXPECT_TRUE(CloseWithPrompt([](CNotifyMsgDlg* p) { Press(p, IDC_NOTIFY_RUN_HIDDEN); }));
  EXPECT_TRUE(dlg_->isMinimized()) << "leaves the screen but can be brought back";
  EXPECT_FALSE(dlg_->QuitConfirmed()) << "runs on in the background";

  dlg_->showNormal();
  QSignalSpy closed(dlg_.get(), &CBriselVRClientDlg::ClosedForQuit);
  EXPECT_TRUE(CloseWithPrompt([](CNotifyMsgDlg* p) { Press(p, IDC_NOTIFY_QUIT); }));
  EXPECT_TRUE(dlg_->QuitConfirmed());
  EXPECT_FALSE(dlg_->isVisible());
  EXPECT_EQ(closed.count(), 1);
  EXPECT_EQ(theSettings->m_nExitWndType, 1) << "the prompt does not change the setting";
}

// The prompt's hidden "不再提示", ticked: the window stores the answer as the exit behaviour
// and saves it, and the next close asks nothing. The close button keeps nothing.
TEST_F(MainWindow, ATickedNoPromptBoxKeepsTheAnswerAsTheExitBehaviour) {
  struct Case {
    int button;
    int exitWndType;  // afterwards
  } cases[] = {{IDC_NOTIFY_CLOSE, 1}, {IDC_NOTIFY_RUN_HIDDEN, 2}, {IDC_NOTIFY_QUIT, 3}};
  for (const Case& c : cases) {
    RemoveFile(box_.Path("config.ini"));
    ASSERT_TRUE(LoadSettings(false));  // a first start: ask
    ASSERT_EQ(dlg_->Core().Settings().m_nExitWndType, 1);
    dlg_->showNormal();
    EXPECT_TRUE(CloseWithPrompt([&](CNotifyMsgDlg* p) {
      p->Button(IDC_NOTIFY_NO_PROMPT)->click();  // hidden: no pointer reaches it
      Press(p, c.button);
    })) << c.button;
    EXPECT_EQ(dlg_->Core().Settings().m_nExitWndType, c.exitWndType) << c.button;
    EXPECT_NE(box_.ReadFile("config.ini").find("ExitWndType=" + std::to_string(c.exitWndType)),
              std::string::npos)
        << c.button;
  }
  EXPECT_TRUE(dlg_->QuitConfirmed());
}

// What the user chooses on the settings page reaches config.ini through the window at once;
// keep-awake is held or released with it.
TEST_F(MainWindow, SettingsPageChoicesAreStoredAndSavedAtOnce) {
  KeepAwake::SetInhibitCommandForTesting({"env"});  // a stand-in inhibitor that just waits
  PostTo(dlg_->Target(), Message(WM_SWITCH_PAGE, PAGE_SETTINGS, 0));
  test::DeliverPosted();
  auto* page = Page()->findChild<CSetContentDlg*>();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(page->isVisible());
  auto click = [&](int id) { test::Click(page->Button(id), QPoint(5, 5)); };
  auto config = [&] { return box_.ReadFile("config.ini"); };
  const AppSettings& settings = dlg_->Core().Settings();
  ASSERT_EQ(settings.m_nConvertRatio, 1);  // a first start
  ASSERT_EQ(settings.m_nKeepAwake, 1);

  click(IDC_SET_QUALITY_2K);
  EXPECT_EQ(settings.m_nConvertRatio, 2);
  EXPECT_NE(config().find("VideoConvert-Ratio=2"), std::string::npos);
  RemoveFile(box_.Path("config.ini"));
  click(IDC_SET_QUALITY_2K);  // already ticked: nothing is saved
  EXPECT_FALSE(PathExists(box_.Path("config.ini")));
  click(IDC_SET_QUALITY_1080P);
  EXPECT_NE(config().find("VideoConvert-Ratio=1"), std::string::npos);

  click(IDC_SET_KEEP_AWAKE);
  EXPECT_EQ(settings.m_nKeepAwake, 0);
  EXPECT_NE(config().find("ComSleep-UnSleep=0"), std::string::npos);
  EXPECT_FALSE(KeepAwake::IsHeld());
  click(IDC_SET_KEEP_AWAKE);
  EXPECT_NE(config().find("ComSleep-UnSleep=1"), std::string::npos);
  EXPECT_TRUE(KeepAwake::IsHeld());
  KeepAwake::Apply(false);
  KeepAwake::SetInhibitCommandForTesting({});
}

TEST_F(MainWindow, EveryCloseRequestRunsTheSameHandling) {
  // Alt+F4 and the system close arrive as a close of the window; the page's close button and
  // the tray's "关闭" call the close handling themselves.
  const std::pair<const char*, std::function<void()>> ways[] = {
      {"window close", [this] { dlg_->close(); }},
      {"page close button", [this] { PageButton(1006)->click(); }},
      {"tray close", [this] { PostTo(dlg_->Target(), Message(WM_COMMAND, ID_TRAY_CLOSE)); }},
      {"system close", [this] { PostTo(dlg_->Target(), Message(WM_SYSCOMMAND, SC_CLOSE)); }},
  };
  for (const auto& [name, close] : ways) {
    theSettings->m_nExitWndType = 1;
    dlg_->showNormal();
    EXPECT_TRUE(WithPrompt(close, [](CNotifyMsgDlg* p) { Press(p, IDC_NOTIFY_RUN_HIDDEN); }))
        << name;
    EXPECT_TRUE(dlg_->isMinimized()) << name;

    theSettings->m_nExitWndType = 0;
    dlg_->showNormal();
    EXPECT_FALSE(WithPrompt(close, [](CNotifyMsgDlg*) {})) << name;
    EXPECT_TRUE(dlg_->isVisible() && !dlg_->isMinimized()) << name;
    EXPECT_FALSE(dlg_->QuitConfirmed()) << name;
  }
  // The page's minimise button, and the hide request "后台运行" posts.
  dlg_->showNormal();
  PageButton(1005)->click();
  EXPECT_TRUE(dlg_->isMinimized());
  dlg_->showNormal();
  PostTo(dlg_->Target(), Message(WM_SYSCOMMAND, ID_HIDE_TO_TRAY));
  test::DeliverPosted();
  EXPECT_TRUE(dlg_->isMinimized()) << "no tray icon to come back from: minimised";
}

TEST_F(MainWindow, DoubleClickOnTheTrayIconTogglesTheWindow) {
  const auto doubleClick = [this](int iconId) {
    PostTo(dlg_->Target(), Message(WM_TRAY_NOTIFY, iconId, WM_LBUTTONDBLCLK));
    test::DeliverPosted();
  };
  auto shown = [this] { return dlg_->isVisible() && !dlg_->isMinimized(); };
  doubleClick(TrayIcon::kIconId);
  EXPECT_FALSE(shown());
  doubleClick(TrayIcon::kIconId);
  EXPECT_TRUE(shown());
  doubleClick(TrayIcon::kIconId);
  EXPECT_FALSE(shown());
  doubleClick(999);  // another icon's message
  EXPECT_FALSE(shown());
  doubleClick(TrayIcon::kSelfPostedId);  // the window's own: shows, never hides
  EXPECT_TRUE(shown());
  doubleClick(TrayIcon::kSelfPostedId);
  EXPECT_TRUE(shown());
}

// Under a desktop with a notification area (see README: tray tests) the icon docks, and its
// menu's "显示" hides and shows the window and "关闭" runs the close handling.
TEST_F(MainWindow, TrayMenuShowsHidesAndCloses) {
  if (!TrayIcon::Available()) GTEST_SKIP() << "no notification area on this display";
  dlg_->Tray()->Add();
  ASSERT_TRUE(test::WaitFor([&] {
    test::DeliverPosted();
    return !dlg_->Tray()->Icon()->geometry().isEmpty();
  })) << "the icon docks";
  EXPECT_EQ(dlg_->Tray()->Icon()->toolTip(), QStringLiteral("BriselVR助手"));
  QList<QAction*> actions = dlg_->Tray()->Menu()->actions();
  ASSERT_EQ(actions.size(), 2);
  EXPECT_EQ(actions[0]->text(), QStringLiteral("关闭"));
  EXPECT_EQ(actions[1]->text(), QStringLiteral("显示"));

  actions[1]->trigger();
  test::DeliverPosted();
  EXPECT_FALSE(dlg_->isVisible()) << "hidden, with the tray icon to come back from";
  actions[1]->trigger();
  test::DeliverPosted();
  EXPECT_TRUE(dlg_->isVisible());

  theSettings->m_nExitWndType = 2;
  actions[0]->trigger();
  test::DeliverPosted();
  EXPECT_FALSE(dlg_->isVisible());
  EXPECT_FALSE(dlg_->QuitConfirmed());
  theSettings->m_nExitWndType = 3;
  actions[0]->trigger();
  test::DeliverPosted();
  EXPECT_TRUE(dlg_->QuitConfirmed());
  EXPECT_FALSE(dlg_->Tray()->Added()) << "the icon goes with the window";
}

TEST_F(MainWindow, ConvertedBalloonIsTitledWithTheVideoAndTakenAwayAfterEightSeconds) {
  dlg_->ShowConvertedBalloon("旅行记录.mp4");
  TrayIcon& tray = *dlg_->Tray();
  EXPECT_EQ(tray.BalloonTitle(), QStringLiteral("旅行记录.mp4"));
  EXPECT_EQ(tray.BalloonText(), QStringLiteral("转码已完成"));
  EXPECT_TRUE(tray.BalloonTimer().isActive());
  EXPECT_EQ(tray.BalloonTimer().interval(), 8000);
  tray.BalloonTimer().start(1);  // the eight seconds, shortened
  EXPECT_TRUE(test::WaitFor([&] {
    test::DeliverPosted();
    return tray.BalloonText().isEmpty();
  }));

  // At most 63 characters of title, never half of a character.
  const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // two UTF-16 units
  struct Case {
    QString title, shown;
  } cases[] = {{QString(63, 'a'), QString(63, 'a')},
               {QString(64, QChar(0x89C6)), QString(63, QChar(0x89C6))},
               {QString(62, 'a') + emoji, QString(62, 'a')},
               {QString(61, 'a') + emoji, QString(61, 'a') + emoji}};
  for (const Case& c : cases) {
    dlg_->ShowConvertedBalloon(c.title.toStdString());
    EXPECT_EQ(tray.BalloonTitle(), c.shown) << c.title.size();
  }
}

TEST(MainWindowQuit, StopsAConversionKeepsItsTaskAndRaisesTheClosingFlags) {
  test::Sandbox box;
  ASSERT_TRUE(LoadSettings(false));
  test::WindowWithRecordingPage dlg;
  dlg.CreatePages();
  dlg.show();
  dlg.Tray()->Add();
  dlg.Recorder()->converting = true;
  QSignalSpy closed(&dlg, &CBriselVRClientDlg::ClosedForQuit);
  dlg.QuitSequence();
  EXPECT_EQ(dlg.Recorder()->calls,
            (std::vector<std::string>{"StopAll exiting", "RaiseClosingFlags"}));
  EXPECT_TRUE(dlg.QuitConfirmed());
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_FALSE(dlg.Tray()->Added());
  EXPECT_EQ(closed.count(), 1);
}

TEST_F(MainWindow, HideQuitAndNothingNeedNoPrompt) {
  struct Case {
    int exitWndType;
    bool visible, minimized, quit;
  } cases[] = {{2, true, true, false}, {0, true, false, false}, {3, false, false, true}};
  for (const auto& c : cases) {
    theSettings->m_nExitWndType = c.exitWndType;
    dlg_->showNormal();
    EXPECT_FALSE(CloseWithPrompt([](CNotifyMsgDlg*) {})) << c.exitWndType;
    EXPECT_EQ(dlg_->isVisible(), c.visible) << c.exitWndType;
    EXPECT_EQ(dlg_->isMinimized(), c.minimized) << c.exitWndType;
    EXPECT_EQ(dlg_->QuitConfirmed(), c.quit) << c.exitWndType;
  }
}

TEST_F(MainWindow, AQuitSignalWhileThePromptIsOpenClosesBoth) {
  theSettings->m_nExitWndType = 1;
  EXPECT_TRUE(CloseWithPrompt([this](CNotifyMsgDlg*) { dlg_->QuitSequence(); }));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(dlg_->QuitConfirmed());
  EXPECT_FALSE(dlg_->isVisible());
}

}  // namespace
}  // namespace brisel
