#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "app/AppSettings.h"
#include "app/BriselVRClientDlg.h"
#include "support/Sandbox.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CNotifyMsgDlg.h"

namespace brisel {
namespace {

// The close request of the main window, as the close button, Alt+F4 and the tray's "关闭" run
// it. The window is not started (no log thread, no service).
class CloseRequest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadSettings(false));
    dlg_ = std::make_unique<CBriselVRClientDlg>();
    dlg_->show();
  }
  // While the prompt is open, `action` runs on it; returns whether a prompt appeared.
  bool CloseWithPrompt(std::function<void(CNotifyMsgDlg*)> action) {
    bool prompted = false;
    QObject scope;  // a close that shows no prompt leaves no timer behind
    QTimer::singleShot(0, &scope, [&] {
      auto* prompt = qobject_cast<CNotifyMsgDlg*>(QApplication::activeModalWidget());
      if (!prompt) return;
      prompted = prompt->Kind() == NOTIFY_EXIT;
      action(prompt);
    });
    dlg_->close();
    return prompted;
  }
  static void Press(CNotifyMsgDlg* prompt, int id) {
    CKbcButton* button = prompt->Button(id);
    ASSERT_NE(button, nullptr);
    test::Click(button, button->rect().center());
  }
  test::Sandbox box_;
  std::unique_ptr<CBriselVRClientDlg> dlg_;
};

TEST_F(CloseRequest, AskShowsTheExitPromptEveryTime) {
  theSettings->m_nExitWndType = 1;
  EXPECT_TRUE(CloseWithPrompt([](CNotifyMsgDlg* p) { Press(p, IDC_NOTIFY_CLOSE); }));
  EXPECT_TRUE(dlg_->isVisible());
  EXPECT_FALSE(dlg_->QuitConfirmed());

  EXPECT_TRUE(CloseWithPrompt([](CNotifyMsgDlg* p) { Press(p, IDC_NOTIFY_RUN_HIDDEN); }));
  EXPECT_TRUE(dlg_->isMinimized()) << "leaves the screen but can be brought back";
  EXPECT_FALSE(dlg_->QuitConfirmed()) << "runs on in the background";

  dlg_->showNormal();
  EXPECT_TRUE(CloseWithPrompt([](CNotifyMsgDlg* p) { Press(p, IDC_NOTIFY_QUIT); }));
  EXPECT_TRUE(dlg_->QuitConfirmed());
  EXPECT_FALSE(dlg_->isVisible());
  EXPECT_EQ(theSettings->m_nExitWndType, 1) << "the prompt does not change the setting";
}

TEST_F(CloseRequest, HideQuitAndNothingNeedNoPrompt) {
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

TEST_F(CloseRequest, AQuitSignalWhileThePromptIsOpenClosesBoth) {
  theSettings->m_nExitWndType = 1;
  EXPECT_TRUE(CloseWithPrompt([this](CNotifyMsgDlg*) { dlg_->QuitSequence(); }));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(dlg_->QuitConfirmed());
  EXPECT_FALSE(dlg_->isVisible());
}

}  // namespace
}  // namespace brisel
