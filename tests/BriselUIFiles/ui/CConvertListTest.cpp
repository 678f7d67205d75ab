#include "BriselUIFiles/ui/CConvertList.h"

#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>

#include "BriselUIFiles/QueueFile.h"
#include "BriselUIFiles/ui/ConvertListUiFixture.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CMyProgressBar.h"

namespace brisel {
namespace {

using Row = CConvertListItemDlg;

class CConvertListTest : public test::ConvertListUi {
 protected:
  void AddFinished(int count) {
    for (int i = 0; i < count; ++i) AddIn("t" + std::to_string(i), TASK_DONE);
  }
  // The y of each row, in list order.
  std::vector<int> RowTops() const {
    std::vector<int> tops;
    for (Row* row : list->Rows()) tops.push_back(row->y());
    return tops;
  }
};

// The content is n × 80 high from six tasks on and the list's height below that; the wheel
// moves 25 pixels a step within the range; a row at y shows at y − (position − 1).
TEST_F(CConvertListTest, ScrollRulesFor5And6And30Tasks) {
  const struct {
    int tasks;
    bool scrollBar;
    int last;  // the largest position
  } cases[] = {{5, false, 1}, {6, true, 81}, {30, true, 30 * 80 - kListHeight + 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tasks);
    list->Core().ClearFinished();
    ASSERT_TRUE(list->Rows().empty());
    AddFinished(c.tasks);
    EXPECT_EQ(list->Core().ContentHeight(), c.tasks >= 6 ? c.tasks * 80 : kListHeight);
    EXPECT_EQ(list->ScrollBar()->isVisible(), c.scrollBar);
    EXPECT_EQ(list->LastScrollPos(), c.last);
    EXPECT_EQ(list->ClientWidth(), 808 - (c.scrollBar ? list->ScrollBar()->width() : 0));
    EXPECT_EQ(list->Rows().front()->width(), list->ClientWidth());
    EXPECT_EQ(list->ScrollPos(), 1);
    EXPECT_EQ(RowTops()[4], 320);

    Wheel(list, -120);
    EXPECT_EQ(list->ScrollPos(), std::min(26, c.last));
    EXPECT_EQ(RowTops()[4], 320 - (list->ScrollPos() - 1));
    // Over a row, the wheel reaches the list; over the scroll bar, one step too.
    Wheel(list->Rows()[1], -120);
    EXPECT_EQ(list->ScrollPos(), std::min(51, c.last));
    if (c.scrollBar) {
      Wheel(list->ScrollBar(), -120);
      EXPECT_EQ(list->ScrollPos(), std::min(76, c.last));
    }
    for (int i = 0; i < 200; ++i) Wheel(list, -120);
    EXPECT_EQ(list->ScrollPos(), c.last);
    // At the bottom the last row ends at the bottom edge (or the rows do not fill the list).
    EXPECT_EQ(RowTops().back(), c.scrollBar ? kListHeight - 80 : (c.tasks - 1) * 80);
    Wheel(list, 120);
    EXPECT_EQ(list->ScrollPos(), std::max(1, c.last - 25));
    for (int i = 0; i < 200; ++i) Wheel(list, 120);
    EXPECT_EQ(list->ScrollPos(), 1);
    EXPECT_EQ(RowTops().front(), 0);
  }
}

TEST_F(CConvertListTest, ScrollBarStepsAndPages) {
  AddFinished(30);
  QScrollBar* bar = list->ScrollBar();
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(list->ScrollPos(), 26);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(list->ScrollPos(), 26 + kListHeight);
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(list->ScrollPos(), 1);
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(list->ScrollPos(), list->LastScrollPos());
  EXPECT_EQ(list->Rows().back()->y(), kListHeight - 80);
  bar->setValue(1001);  // dragging the thumb
  EXPECT_EQ(list->ScrollPos(), 1001);
  EXPECT_EQ(list->Rows()[20]->y(), 20 * 80 - 1000);
}

// Every change of the queue keeps the position, within the new range.
TEST_F(CConvertListTest, ScrollPositionIsKeptAcrossChanges) {
  AddFinished(30);
  list->ScrollTo(1001);
  AddIn("new", TASK_FAILED);
  EXPECT_EQ(list->ScrollPos(), 1001);
  EXPECT_EQ(list->Rows()[30]->y(), 30 * 80 - 1000);
  list->ScrollTo(list->LastScrollPos());
  // Removals shrink the range under the position: the last rows stay at the bottom.
  for (int i = 0; i < 3; ++i) list->Core().OnTaskStatus(4, list->Core().TaskList().front().TaskId);
  EXPECT_EQ(list->LastScrollPos(), 28 * 80 - kListHeight + 1);
  EXPECT_EQ(list->ScrollPos(), list->LastScrollPos());
  EXPECT_EQ(list->Rows().back()->y(), kListHeight - 80);
  list->Core().ClearFinished();  // one failed task is left
  EXPECT_EQ(list->ScrollPos(), 1);
  EXPECT_FALSE(list->ScrollBar()->isVisible());
  EXPECT_EQ(RowTops(), std::vector<int>{0});
}

// Rows come with the layout after their task was added and go with their task; a row that
// went is never touched again (an AddressSanitizer build proves the second half).
TEST_F(CConvertListTest, RowsFollowTheQueue) {
  list->Core().AddTask({"a", Source("a"), "5242880", "", "4000", "1280", "720"});
  EXPECT_TRUE(list->Rows().empty());  // until the page lays the batch out
  list->Relayout();
  ASSERT_EQ(list->Rows().size(), 1u);
  AddIn("b", TASK_WAITING);
  AddIn("c", TASK_DONE);
  QPointer<Row> b = RowOf("b");
  QPointer<Row> c = RowOf("c");
  ASSERT_TRUE(Until([&] { return RowOf("a")->ProgressBar()->GetPos() == 50; }));

  list->Core().CancelOrRemoveTask("b", Source("b"));
  ASSERT_TRUE(Until([&] { return b.isNull(); }));
  list->Core().ClearFinished();
  EXPECT_TRUE(c.isNull());  // at once: its task is gone
  EXPECT_EQ(list->Rows().size(), 1u);
  EXPECT_EQ(list->findChildren<Row*>().size(), 1u);
  // The progress timer, a repaint and a relayout afterwards touch only the row that is left:
  // the timer puts back the progress the row shows.
  RowOf("a")->ProgressBar()->SetPos(0);
  ASSERT_TRUE(Until([&] { return RowOf("a")->ProgressBar()->GetPos() == 50; }));
  test::Grab(list);
  list->Relayout();
  Release("a", 0);
  ASSERT_TRUE(Until([&] { return Order() == "a(3)"; }));
}

// The conversion list animates the page and the left menu through the page: it says when a
// task starts converting and when the last one has ended.
TEST_F(CConvertListTest, TellsThePageWhileATaskConverts) {
  auto flags = [&] { return page.converting; };
  Add("a");
  EXPECT_EQ(flags(), "1");
  Release("a", 0);
  ASSERT_TRUE(Until([&] { return flags() == "10"; })) << flags();
  EXPECT_EQ(Order(), "a(3)");
}

// A queue of a running, a waiting and a failed task, saved and read by the next run, shows
// two interrupted tasks and the failed one, in that order, each with "重新转码".
TEST_F(CConvertListTest, ARestartShowsUnfinishedTasksInterrupted) {
  Add("run");
  Add("wait");
  AddIn("fail", TASK_FAILED);
  ASSERT_EQ(Order(), "run(2) wait(1) fail(9)");
  ASSERT_TRUE(list->Core().SaveQueueFile());
  const std::string saved = sandbox.ReadFile("ConvertList.xml");

  // The program ends without stopping anything (killed): the next start reads what was saved.
  delete list;
  ASSERT_TRUE(WriteFileAtomically(QueueFilePath(), saved));
  page.TakeNotes();
  list = new CConvertList(&page, &window);
  list->setGeometry(0, 0, 808, kListHeight);
  list->show();
  list->LoadQueueFile();
  EXPECT_EQ(Order(), "run(6) wait(6) fail(9)");
  std::vector<std::string> texts;
  for (Row* row : list->Rows()) {
    texts.push_back(row->StatusText().toStdString());
    EXPECT_TRUE(row->Button(IDC_ROW_RETRY)->isVisible());
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"任务中断", "任务中断", "任务失败"}));
  // Nothing starts by itself: no transcoder runs that could post, and what is queued for the
  // list changes nothing.
  test::DeliverPosted();
  EXPECT_FALSE(list->Core().IsAnyConverting());
  EXPECT_EQ(page.TakeNotes(), "6:/src/run.avi 6:/src/wait.avi");
}

// A task that cannot start says so in one plain message box, however many fail meanwhile.
TEST_F(CConvertListTest, StartFailuresShowOneMessageBox) {
  for (const char* name : {"x", "y"})
    list->Core().AddTask({name, Source(name), "0", "", "0", "0", "0"});  // no usable profile
  list->Relayout();
  // Both failures have been handled once the page has heard of them; a second box would be
  // open by then.
  ASSERT_TRUE(Until([&] {
    return page.notes.find("9:/src/x.avi") != std::string::npos &&
           page.notes.find("9:/src/y.avi") != std::string::npos;
  }));
  auto boxes = list->findChildren<QMessageBox*>();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0]->text(), "转码异常！！！");
  boxes[0]->accept();
  ASSERT_TRUE(Until([&] { return list->findChildren<QMessageBox*>().empty(); }));
}

}  // namespace
}  // namespace brisel
