#include "BriselUIFiles/ConvertListCore.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "BriselUIFiles/QueueFile.h"
#include "platform/FileSystem.h"
#include "platform/MessageQueue.h"
#include "settings/AppSettings.h"
#include "support/FakeConverter.h"
#include "support/MessageLoop.h"
#include "support/RecordingConvertPage.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

using namespace std::chrono_literals;

class RecordingHost : public ConvertListHost {
 public:
  void ShowMessageBox(const std::string& text) override { boxes.push_back(text); }
  void OnRelayout() override { ++relayouts; }
  std::vector<std::string> boxes;
  int relayouts = 0;
};

// Queues whose running tasks use the fault-injecting converter in "hold" mode: a started task
// converts until the test releases it.
class ConvertListCoreTest : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_TRUE(LoadSettings(false));
    theSettings->m_strConvertPath = sandbox.Path("out");
    ASSERT_TRUE(CreateDirectories(sandbox.Path("out")));
    queue = std::make_unique<ConvertListCore>(self, &page, &host);
    // The list window's loop: the transcoders' posts reach whichever queue the test runs.
    loop.Route(self, [this](const Message& m) { queue->HandleMessage(m); });
  }

  static std::string Source(const std::string& name) { return "/src/" + name + ".avi"; }

  // Adds the task as a conversion request would.
  std::string Add(const std::string& name) {
    return queue->AddTask({name, Source(name), "10000000", "", "4000", "1280", "720"});
  }

  static std::string Output(const std::string& name) { return "/out/" + name + ".mp4"; }

  // Builds the list "A(2) B(1) F(9) ..." directly: rows in the given states, no transcoder. A
  // finished task is one as the queue file gives it back: its output is its VideoPath.
  void Build(const std::string& spec) {
    std::istringstream in(spec);
    for (std::string item; in >> item;) {
      std::string name = item.substr(0, item.find('('));
      int state = std::stoi(item.substr(item.find('(') + 1));
      const bool done = state == TASK_DONE;
      queue->AddLoadedTask(
          {name, done ? Output(name) : Source(name), "10000000", "", "4000", "1280", "720"},
          done ? TASK_DONE : TASK_NEW);
      Row(name)->SetState(state);
    }
    page.TakeNotes();
  }
  // The end of task `name`'s run as its transcoder leaves it, before the queue has heard.
  void RunCompletes(const std::string& name) {
    Row(name)->SetState(TASK_DONE);
    Row(name)->SetLoadedOutput(Output(name));
  }

  const LISTITEM_ST* Task(const std::string& name) const {
    for (const LISTITEM_ST& t : queue->TaskList())
      if (t.VideoName == name) return &t;
    return nullptr;
  }
  ConvertListItemCore* Row(const std::string& name) const { return Task(name)->Row.get(); }
  std::string Id(const std::string& name) const { return Task(name)->TaskId; }

  std::string Order() const {
    std::string out;
    for (const LISTITEM_ST& t : queue->TaskList())
      out += (out.empty() ? "" : " ") + t.VideoName + "(" + std::to_string(t.Row->State()) + ")";
    return out;
  }

  // What the share page heard ("code:path", "converted:source>output"), then forgotten.
  std::string PageNotes() { return page.TakeNotes(); }

  test::Sandbox sandbox;
  test::FakeConverter converter{sandbox.Folder(), "hold"};
  std::shared_ptr<MessageQueue> self = std::make_shared<MessageQueue>();
  test::MessageLoop loop;
  test::RecordingConvertPage page;
  RecordingHost host;
  std::unique_ptr<ConvertListCore> queue;
};

TEST_F(ConvertListCoreTest, PlacementRules) {
  const struct {
    const char* what;
    const char* before;
    std::function<void(ConvertListCoreTest&)> event;
    const char* after;
    const char* notes;  // to the share page, in order
  } cases[] = {
      {"completion: next waiting starts at the head, done goes before the first finished",
       "A(2) B(1) C(1) F(9) D(3)",
       [](ConvertListCoreTest& t) {
         t.RunCompletes("A");
         t.queue->OnTaskStatus(3, t.Id("A"));
       },
       "B(2) C(1) F(9) A(3) D(3)", "2:/src/B.avi converted:/src/A.avi>/out/A.mp4"},
      {"completion while another task runs: moved and reported, nothing started",
       "B(2) A(2) C(1) D(3)",
       [](ConvertListCoreTest& t) {
         t.RunCompletes("A");
         t.queue->OnTaskStatus(3, t.Id("A"));
       },
       "B(2) C(1) A(3) D(3)", "converted:/src/A.avi>/out/A.mp4"},
      {"a completion is reported once, also when it comes again", "A(2)",
       [](ConvertListCoreTest& t) {
         t.RunCompletes("A");
         t.queue->OnTaskStatus(3, t.Id("A"));
         t.queue->OnTaskStatus(3, t.Id("A"));
       },
       "A(3)", "converted:/src/A.avi>/out/A.mp4"},
      {"a completed task cleared before its run's report is heard is still reported", "F(9) A(2)",
       [](ConvertListCoreTest& t) {
         t.RunCompletes("A");
         const std::string id = t.Id("A");
         t.queue->ClearFinished();
         t.queue->OnTaskStatus(3, id);  // the report, arriving late
       },
       "F(9)", "converted:/src/A.avi>/out/A.mp4"},
      {"failure: moved before the first other failed task, next starts where it stands",
       "B(2) C(1) F(9) A(3)",
       [](ConvertListCoreTest& t) {
         t.Row("B")->SetState(TASK_FAILED);
         t.queue->OnTaskStatus(9, t.Id("B"));
       },
       "C(2) B(9) F(9) A(3)", "9:/src/B.avi 2:/src/C.avi"},
      {"failure: before an interrupted task too", "B(2) C(1) I(6) F(9) A(3)",
       [](ConvertListCoreTest& t) {
         t.Row("B")->SetState(TASK_FAILED);
         t.queue->OnTaskStatus(9, t.Id("B"));
       },
       "C(2) B(9) I(6) F(9) A(3)", "9:/src/B.avi 2:/src/C.avi"},
      {"failure: before the first finished task when none failed", "B(2) C(1) A(3)",
       [](ConvertListCoreTest& t) {
         t.Row("B")->SetState(TASK_FAILED);
         t.queue->OnTaskStatus(9, t.Id("B"));
       },
       "C(2) B(9) A(3)", "9:/src/B.avi 2:/src/C.avi"},
      {"failure: to the end otherwise", "B(2) C(1)",
       [](ConvertListCoreTest& t) {
         t.Row("B")->SetState(TASK_FAILED);
         t.queue->OnTaskStatus(9, t.Id("B"));
       },
       "C(2) B(9)", "9:/src/B.avi 2:/src/C.avi"},
      {"cancel of a waiting task while one runs", "A(2) B(1) C(1)",
       [](ConvertListCoreTest& t) { t.queue->CancelTask(t.Id("B")); }, "A(2) C(1)", "4:/src/B.avi"},
      {"cancel while idle starts the first waiting task", "F(9) B(1)",
       [](ConvertListCoreTest& t) { t.queue->CancelTask(t.Id("F")); }, "B(2)",
       "4:/src/F.avi 2:/src/B.avi"},
      {"cancel of a finished task: gone, and its converted video keeps its state", "F(9) A(3)",
       [](ConvertListCoreTest& t) { t.queue->CancelTask(t.Id("A")); }, "F(9)", ""},
      {"a stopped run's task leaves", "F(9) S(4) B(1)",
       [](ConvertListCoreTest& t) { t.queue->OnTaskStatus(4, t.Id("S")); }, "F(9) B(2)",
       "4:/src/S.avi 2:/src/B.avi"},
      {"unknown task id only refreshes", "A(2) B(1)",
       [](ConvertListCoreTest& t) {
         t.queue->OnTaskStatus(4, "{NO-SUCH-TASK}");
         t.queue->OnTaskStatus(3, "{NO-SUCH-TASK}");
         t.queue->OnTaskStatus(9, "{NO-SUCH-TASK}");
       },
       "A(2) B(1)", ""},
      {"move to top: just after the running task, state kept", "C(2) B(1) F(9) A(3)",
       [](ConvertListCoreTest& t) { t.queue->OnTaskCommand(t.Id("F"), "上移至顶部"); },
       "C(2) F(9) B(1) A(3)", ""},
      {"move to top without a running task changes nothing", "B(1) F(9)",
       [](ConvertListCoreTest& t) { t.queue->OnTaskCommand(t.Id("F"), "上移至顶部"); }, "B(1) F(9)",
       ""},
      {"move to top of the running task itself changes nothing", "C(2) B(1)",
       [](ConvertListCoreTest& t) { t.queue->OnTaskCommand(t.Id("C"), "上移至顶部"); }, "C(2) B(1)",
       ""},
      {"another command changes nothing", "C(2) B(1) F(9)",
       [](ConvertListCoreTest& t) { t.queue->OnTaskCommand(t.Id("F"), "置顶"); }, "C(2) B(1) F(9)",
       ""},
      {"a request while one runs waits before the first finished task, after failed ones",
       "A(2) F(9) D(3) X(4)", [](ConvertListCoreTest& t) { t.Add("N"); },
       "A(2) F(9) N(1) D(3) X(4)", "1:/src/N.avi"},
      {"clearing keeps running, failed and interrupted tasks", "C(2) B(9) F(9) I(6) A(3) D(3) X(4)",
       [](ConvertListCoreTest& t) { t.queue->ClearFinished(); }, "C(2) B(9) F(9) I(6)", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    queue = std::make_unique<ConvertListCore>(self, &page, &host);
    Build(c.before);
    c.event(*this);
    EXPECT_EQ(Order(), c.after);
    EXPECT_EQ(PageNotes(), c.notes);
  }
}

TEST_F(ConvertListCoreTest, ACompletedTaskCarriesItsOutputPath) {
  Build("A(2) B(1)");
  RunCompletes("A");
  queue->OnTaskStatus(3, Id("A"));
  EXPECT_EQ(Task("A")->VideoPath, "/out/A.mp4");
  EXPECT_FALSE(queue->FindTask(Source("A"), "A"));  // no longer found for its source
  EXPECT_EQ(queue->FindTask("/out/A.mp4", "A"), TASK_DONE);
}

TEST_F(ConvertListCoreTest, ThreeRequestsWhileIdleRunOneAfterAnother) {
  Add("a");
  Add("b");
  Add("c");
  EXPECT_EQ(Order(), "a(2) b(1) c(1)");
  EXPECT_EQ(PageNotes(), "2:/src/a.avi 1:/src/b.avi 1:/src/c.avi");
  EXPECT_TRUE(queue->IsAnyConverting());

  ASSERT_TRUE(converter.Release("/src/a.avi", 0));
  ASSERT_TRUE(loop.RunUntil([&] { return Row("b")->State() == TASK_CONVERTING; }));
  EXPECT_EQ(Order(), "b(2) c(1) a(3)");
  // The completion reaches the page once, from the queue, with both paths.
  EXPECT_EQ(PageNotes(), "2:/src/b.avi converted:/src/a.avi>" + sandbox.Path("out/a.mp4"));
  EXPECT_EQ(Task("a")->VideoPath, sandbox.Path("out/a.mp4"));

  ASSERT_TRUE(converter.Release("/src/b.avi", 1));
  ASSERT_TRUE(loop.RunUntil([&] { return Row("c")->State() == TASK_CONVERTING; }));
  EXPECT_EQ(Order(), "c(2) b(9) a(3)");
  EXPECT_EQ(PageNotes(), "9:/src/b.avi 2:/src/c.avi");

  // The queue file holds the whole queue in its order: the finished task with its output
  // path, the others with their sources.
  auto saved = ReadQueueFile(QueueFilePath());
  ASSERT_TRUE(saved);
  ASSERT_EQ(saved->size(), 3u);
  EXPECT_EQ((*saved)[0].VideoPath, "/src/c.avi");
  EXPECT_EQ((*saved)[0].VideoConvertType, TASK_CONVERTING);
  EXPECT_EQ((*saved)[1].VideoPath, "/src/b.avi");
  EXPECT_EQ((*saved)[1].VideoConvertType, TASK_FAILED);
  EXPECT_EQ((*saved)[2].VideoName, "a");
  EXPECT_EQ((*saved)[2].VideoPath, sandbox.Path("out/a.mp4"));
  EXPECT_EQ((*saved)[2].VideoConvertType, TASK_DONE);
}

TEST_F(ConvertListCoreTest, ATaskThatCannotStartFailsAndTheQueueMovesOn) {
  queue->AddTask({"broken", Source("broken"), "0", "", "0", "0", "0"});  // zero profile
  Add("next");
  EXPECT_EQ(Order(), "next(2) broken(9)");
  loop.RunPending();
  ASSERT_TRUE(loop.RunUntil([&] { return !host.boxes.empty(); }));
  EXPECT_EQ(host.boxes, std::vector<std::string>{"转码异常！！！"});
  EXPECT_EQ(Order(), "next(2) broken(9)");
  EXPECT_EQ(PageNotes(), "2:/src/broken.avi 2:/src/next.avi 9:/src/broken.avi");
}

TEST_F(ConvertListCoreTest, CancelOrRemoveTaskByState) {
  Add("run");
  Build("wait(1) stop(6) done(3) fail(9)");
  EXPECT_EQ(queue->CancelOrRemoveTask("done", Source("done")), 0);
  EXPECT_EQ(queue->CancelOrRemoveTask("fail", Source("fail")), 0);
  EXPECT_EQ(queue->CancelOrRemoveTask("nobody", Source("nobody")), 0);
  EXPECT_EQ(queue->CancelOrRemoveTask("done", Output("done")), 0);
  EXPECT_EQ(queue->CancelOrRemoveTask("wait", Source("wait")), 1);
  EXPECT_EQ(queue->CancelOrRemoveTask("stop", Source("stop")), 1);
  EXPECT_EQ(Order(), "run(2) done(3) fail(9)");  // at once
  EXPECT_EQ(PageNotes(), "4:/src/wait.avi 4:/src/stop.avi");

  EXPECT_EQ(queue->CancelOrRemoveTask("run", Source("run")), 1);
  ASSERT_TRUE(loop.RunUntil([&] { return Task("run") == nullptr; }));
  EXPECT_EQ(PageNotes(), "4:/src/run.avi");
  EXPECT_FALSE(PathExists(sandbox.Path("out/run.mp4")));  // the partial output went with it
}

// "取消" on a converting task stops the transcoder first instead of destroying a row that is
// still in use; the task leaves once the run has reported the stop.
TEST_F(ConvertListCoreTest, CancelOfAConvertingTaskStopsItFirst) {
  Add("run");
  queue->CancelTask(Id("run"));
  ASSERT_NE(Task("run"), nullptr);  // kept until its transcoder has stopped
  ASSERT_TRUE(loop.RunUntil([&] { return Task("run") == nullptr; }));
  EXPECT_EQ(PageNotes(), "2:/src/run.avi 4:/src/run.avi");
}

// A conversion stopped because the program ends stays interrupted, and so does the queue
// file's copy of it, so that it can be run again after the restart.
TEST_F(ConvertListCoreTest, StopAllForExitKeepsTheStoppedTaskInterrupted) {
  Add("run");
  Add("wait");
  auto started = std::chrono::steady_clock::now();
  queue->StopAll(true);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2000ms);
  EXPECT_EQ(Order(), "run(6) wait(1)");
  EXPECT_FALSE(queue->IsAnyConverting());
  ASSERT_TRUE(queue->SaveQueueFile());
  auto saved = ReadQueueFile(QueueFilePath());
  ASSERT_TRUE(saved);
  ASSERT_EQ(saved->size(), 2u);
  EXPECT_EQ((*saved)[0].VideoConvertType, TASK_INTERRUPTED);
  EXPECT_EQ((*saved)[0].VideoPath, "/src/run.avi");
  queue.reset();                  // joins the stopped transcoder: nothing of it is still on its way
  EXPECT_FALSE(self->TryTake());  // no removal request
}

TEST_F(ConvertListCoreTest, StopAllForAnUpdateRemovesTheStoppedTask) {
  Add("run");
  queue->StopAll(false);
  EXPECT_EQ(Order(), "run(4)");
  ASSERT_TRUE(loop.RunUntil([&] { return Task("run") == nullptr; }));
}

TEST_F(ConvertListCoreTest, FindTaskMatchesNameAndPathExactly) {
  Build("a(1) b(4) c(9)");
  EXPECT_EQ(queue->FindTask(Source("a"), "a"), TASK_WAITING);
  EXPECT_EQ(queue->FindTask(Source("c"), "c"), TASK_FAILED);
  EXPECT_FALSE(queue->FindTask(Source("b"), "b"));  // cancelled
  EXPECT_FALSE(queue->FindTask(Source("a"), "A"));
  EXPECT_FALSE(queue->FindTask("/SRC/a.avi", "a"));
}

TEST_F(ConvertListCoreTest, QueueFileKeepsEveryTaskButCancelledOnesAcrossRuns) {
  sandbox.WriteFile("ConvertList.xml",
                    "<ConvertList>"
                    "<Item0 VideoName=\"a.avi\" VideoPath=\"/out/a.mp4\" VideoSize=\"5242880\" "
                    "VideoScreenPath=\"/i/a.jpg\" VideoTime=\"60000\" VideoWidth=\"1920\" "
                    "VideoHeight=\"1080\" VideoConvertType=\"3\"/>"
                    "<Other VideoName=\"b.avi\" VideoPath=\"/src/b.avi\" VideoConvertType=\"1\"/>"
                    "<Item2 VideoName=\"c.avi\" VideoPath=\"/out/c.mp4\" VideoConvertType=\"3\"/>"
                    "<Item3 VideoName=\"d.avi\" VideoPath=\"/src/d.avi\" VideoConvertType=\"9\"/>"
                    "</ConvertList>");
  queue->LoadQueueFile();
  EXPECT_EQ(Order(), "a.avi(3) b.avi(6) c.avi(3) d.avi(9)");
  EXPECT_EQ(PageNotes(), "6:/src/b.avi");
  EXPECT_EQ(Row("a.avi")->OutputPath(), "/out/a.mp4");
  EXPECT_EQ(Row("a.avi")->SourcePath(), "/out/a.mp4");
  EXPECT_FALSE(Row("a.avi")->ProgressVisible());
  EXPECT_EQ(Row("a.avi")->SizeText(), "5.0M");
  EXPECT_EQ(Row("a.avi")->ModeLabel(), "3D-1080P");
  const std::string firstId = Id("a.avi");

  Build("x.avi(4)");  // cancelled: never written
  ASSERT_TRUE(queue->SaveQueueFile());
  auto saved = ReadQueueFile(QueueFilePath());
  ASSERT_TRUE(saved);
  ASSERT_EQ(saved->size(), 4u);
  EXPECT_EQ((*saved)[0].VideoPath, "/out/a.mp4");
  EXPECT_EQ((*saved)[0].VideoScreenPath, "/i/a.jpg");
  EXPECT_EQ((*saved)[1].VideoPath, "/src/b.avi");
  EXPECT_EQ((*saved)[1].VideoConvertType, TASK_INTERRUPTED);
  EXPECT_EQ((*saved)[2].VideoName, "c.avi");
  EXPECT_EQ((*saved)[3].VideoConvertType, TASK_FAILED);
  EXPECT_NE(sandbox.ReadFile("ConvertList.xml").find("<Item2 VideoName=\"c.avi\""),
            std::string::npos);

  // The next run gets them back in their order and states, with new identities.
  ConvertListCore next(self, &page, nullptr);
  next.LoadQueueFile();
  std::string states;
  for (const LISTITEM_ST& t : next.TaskList())
    states += t.VideoName + "(" + std::to_string(t.Row->State()) + ") ";
  EXPECT_EQ(states, "a.avi(3) b.avi(6) c.avi(3) d.avi(9) ");
  EXPECT_NE(next.TaskList().front().TaskId, firstId);
}

// "重新转码": an interrupted or failed task joins the waiting tasks, or starts when none runs.
TEST_F(ConvertListCoreTest, RetryRules) {
  const struct {
    const char* what;
    const char* before;
    const char* task;
    const char* after;
    const char* notes;
  } cases[] = {
      {"an interrupted task while idle starts at the head", "F(9) I(6) A(3)", "I", "I(2) F(9) A(3)",
       "2:/src/I.avi"},
      {"a failed task while idle starts at the head", "I(6) F(9)", "F", "F(2) I(6)",
       "2:/src/F.avi"},
      {"while one runs it waits behind the waiting tasks", "R(2) W(1) F(9) I(6) A(3)", "I",
       "R(2) W(1) I(1) F(9) A(3)", "1:/src/I.avi"},
      {"a failed task right behind the waiting ones stays where it is", "R(2) F(9) A(3)", "F",
       "R(2) F(1) A(3)", "1:/src/F.avi"},
      {"a waiting task is no retry", "R(2) W(1)", "W", "R(2) W(1)", ""},
      {"a finished task is no retry", "A(3)", "A", "A(3)", ""},
      {"the running task is no retry", "R(2)", "R", "R(2)", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    queue = std::make_unique<ConvertListCore>(self, &page, &host);
    Build(c.before);
    queue->OnTaskCommand(Id(c.task), kRetryCommand);
    EXPECT_EQ(Order(), c.after);
    EXPECT_EQ(PageNotes(), c.notes);
  }
}

// A task that failed in this run can be run again, through a second transcoder run.
TEST_F(ConvertListCoreTest, AFailedRunRunsAgainOnRetry) {
  Add("x");
  ASSERT_TRUE(test::WaitFor([&] { return Row("x")->Progress() == 50; }));
  const std::string release = converter.Args().back() + ".release";
  ASSERT_TRUE(WriteFileAtomically(release, "1"));
  ASSERT_TRUE(loop.RunUntil([&] { return page.notes.find("9:/src/x.avi") != std::string::npos; }));
  EXPECT_EQ(Order(), "x(9)");
  RemoveFile(release);  // it would release the next run at once
  const pid_t firstRun = converter.Pid();

  queue->OnTaskCommand(Id("x"), kRetryCommand);
  EXPECT_EQ(Order(), "x(2)");
  ASSERT_TRUE(
      test::WaitFor([&] { return converter.Pid() != firstRun && Row("x")->Progress() == 50; }));
  ASSERT_TRUE(WriteFileAtomically(converter.Args().back() + ".release", "0"));
  ASSERT_TRUE(loop.RunUntil(
      [&] { return Row("x")->State() == TASK_DONE && Task("x")->VideoPath != Source("x"); }));
  EXPECT_EQ(Task("x")->VideoPath, sandbox.Path("out/x.mp4"));
  EXPECT_EQ(sandbox.ReadFile("out/x.mp4"), "complete");
}

// The share page and the left menu animate while a task converts: the queue says when that
// starts and when it ends.
TEST_F(ConvertListCoreTest, TellsThePageWhenConvertingStartsAndEnds) {
  auto flags = [&] { return page.converting; };
  Add("a");
  Add("b");
  EXPECT_EQ(flags(), "1");
  queue->CancelTask(Id("b"));
  EXPECT_EQ(flags(), "1");
  ASSERT_TRUE(test::WaitFor([&] { return Row("a")->Progress() == 50; }));
  ASSERT_TRUE(WriteFileAtomically(converter.Args().back() + ".release", "0"));
  ASSERT_TRUE(loop.RunUntil([&] {
    return Row("a")->State() == TASK_DONE && !queue->IsAnyConverting() &&
           Task("a")->VideoPath != Source("a");
  }));
  EXPECT_EQ(flags(), "10");
  queue->ClearFinished();
  EXPECT_EQ(flags(), "10");
}

// The window that shows the queue is told before a task goes, so it never shows a task that
// is gone.
TEST_F(ConvertListCoreTest, TheHostIsToldBeforeATaskLeaves) {
  class RemovalHost : public RecordingHost {
   public:
    explicit RemovalHost(ConvertListCoreTest& t) : test(t) {}
    void OnTaskRemoving(const std::string& taskId) override {
      // Still there while the host is told.
      EXPECT_NE(test.queue->FindTaskById(taskId), nullptr);
      removed.push_back(test.queue->FindTaskById(taskId)->VideoName);
    }
    ConvertListCoreTest& test;
    std::vector<std::string> removed;
  } removals(*this);
  queue = std::make_unique<ConvertListCore>(self, &page, &removals);
  Build("W(1) F(9) A(3) X(4) B(3)");
  queue->CancelTask(Id("W"));
  queue->ClearFinished();
  EXPECT_EQ(removals.removed, (std::vector<std::string>{"W", "A", "X", "B"}));
  EXPECT_EQ(Order(), "F(9)");
}

TEST_F(ConvertListCoreTest, RelayoutNumbersRowsAndSizesTheContent) {
  queue->SetClientHeight(400);
  Build("a(3) b(3) c(3) d(3) e(3)");
  queue->Relayout();
  EXPECT_EQ(queue->ContentHeight(), 400);
  EXPECT_EQ(Row("e")->Position(), 5);
  Build("f(3)");
  queue->Relayout();
  EXPECT_EQ(queue->ContentHeight(), 480);
  EXPECT_EQ(Row("a")->Position(), 1);
  EXPECT_EQ(Row("f")->Position(), 6);
  EXPECT_EQ(host.relayouts, 2);
}

}  // namespace
}  // namespace brisel
