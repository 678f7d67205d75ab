#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "BriselUIFiles/ui/CConvertList.h"
#include "BriselUIFiles/ui/CConvertListItemDlg.h"
#include "platform/FileSystem.h"
#include "settings/AppSettings.h"
#include "support/FakeConverter.h"
#include "support/RecordingConvertPage.h"
#include "support/Sandbox.h"
#include "support/ui/UiEvents.h"

namespace brisel::test {

// A conversion list of 808 × 400 in a shown window, over a sandbox program folder that has
// the build's skin, and a converter that holds every run until the test releases it
// (OUTPUT.release, see fake_converter.sh).
class ConvertListUi : public ::testing::Test {
 protected:
  static constexpr int kListHeight = 400;

  ConvertListUi() {
    const std::string skin = std::string(BuiltProgramFolder()) + "/SkinRes";
    EXPECT_EQ(symlink(skin.c_str(), sandbox.Path("SkinRes").c_str()), 0);
    EXPECT_TRUE(LoadSettings(false));
    theSettings->m_strConvertPath = sandbox.Path("out");
    EXPECT_TRUE(CreateDirectories(sandbox.Path("out")));
    window.setGeometry(100, 100, 808, kListHeight);
    list = new CConvertList(&page, &window);
    list->setGeometry(0, 0, 808, kListHeight);
    window.show();
  }

  static std::string Source(const std::string& name) { return "/src/" + name + ".avi"; }

  // A task as a conversion request adds it (started when none runs), then laid out.
  std::string Add(const std::string& name, const std::string& thumbnail = "") {
    std::string id =
        list->Core().AddTask({name, Source(name), "5242880", thumbnail, "4000", "1280", "720"});
    list->Relayout();
    return id;
  }
  // A task in `state` without a transcoder run, appended and laid out.
  // A finished task is loaded with its output in out/.
  std::string AddIn(const std::string& name, int state, const std::string& thumbnail = "") {
    const bool done = state == TASK_DONE;
    std::string id = list->Core().AddLoadedTask(
        {name, done ? sandbox.Path("out/" + name + ".mp4") : Source(name), "5242880", thumbnail,
         "4000", "1280", "720"},
        done ? TASK_DONE : TASK_NEW);
    list->Core().FindTaskById(id)->Row->SetState(state);
    list->Relayout();
    return id;
  }
  CConvertListItemDlg* RowOf(const std::string& name) const {
    for (CConvertListItemDlg* row : list->Rows())
      if (row->Task()->Name() == name) return row;
    return nullptr;
  }
  std::string Order() const {
    std::string out;
    for (const LISTITEM_ST& t : list->Core().TaskList())
      out += (out.empty() ? "" : " ") + t.VideoName + "(" + std::to_string(t.Row->State()) + ")";
    return out;
  }
  // Lets posted messages and timers run until `condition` holds.
  static bool Until(const std::function<bool()>& condition) { return RunEventsUntil(condition); }
  // Releases the held run of task `name` with an exit status, once it has reported progress
  // (and so has recorded its arguments).
  void Release(const std::string& name, int status) {
    const ConvertListItemCore* core = nullptr;
    for (const LISTITEM_ST& t : list->Core().TaskList())
      if (t.VideoName == name) core = t.Row.get();
    ASSERT_NE(core, nullptr);
    ASSERT_TRUE(WaitFor([&] { return core->Progress() == 50; }));
    ASSERT_TRUE(WriteFileAtomically(converter.Args().back() + ".release", std::to_string(status)));
  }
  static void Wheel(QWidget* widget, int angleDeltaY) {
    QPointF at(10, 10);
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, angleDeltaY), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
  }

  Sandbox sandbox;
  FakeConverter converter{sandbox.Folder(), "hold"};
  RecordingConvertPage page;
  QWidget window;
  CConvertList* list = nullptr;  // owned by the window
};

}  // namespace brisel::test
