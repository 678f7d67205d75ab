#include "BriselUIFiles/ui/CConvertListItemDlg.h"

#include <QCursor>
#include <QPainter>

#include <functional>

#include "BriselUIFiles/ui/ConvertListUiFixture.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CMyProgressBar.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

using Row = CConvertListItemDlg;

class CConvertListItemDlgTest : public test::ConvertListUi {
 protected:
  // True when the part `area` of the row (or of it, the part inside `only`) looks like
  // `image`'s cell `source` drawn there.
  static bool ShowsImage(const QImage& row, const QRect& area, const QString& skinFile,
                         const QRect& source, QRect only = {}) {
    QImage expected(row.size(), QImage::Format_ARGB32);
    expected.fill(QColor::fromRgba(Row::kBackground));
    QPainter painter(&expected);
    DrawImageCell(painter, area, LoadSkinImage(SkinPath(skinFile)), source);
    painter.end();
    int compared = 0;
    const QRect part = only.isNull() ? area : area.intersected(only);
    for (int y = part.top() + 2; y < part.bottom() - 1; y += 3) {
      for (int x = part.left() + 2; x < part.right() - 1; x += 3) {
        if (!test::Near(row.pixel(x, y), expected.pixel(x, y), 8)) return false;
        ++compared;
      }
    }
    return compared > 0;
  }
  static bool Blank(const QImage& row, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if (!test::Near(row.pixel(x, y), Row::kBackground, 2)) return false;
    return true;
  }
};

TEST_F(CConvertListItemDlgTest, PaintsEachStateAtThePixelsThatMatter) {
  const struct {
    int state;
    const char* status;
    QRgb nameColour;
    bool progressBar, retry, doneMark, failedMarks;
  } cases[] = {
      {TASK_WAITING, "任务等待", Row::kNameColour, true, false, false, false},
      {TASK_DONE, "转码完成", Row::kNameColour, false, false, true, false},
      {TASK_CANCELLED, "", Row::kCancelledText, true, false, false, false},
      {TASK_INTERRUPTED, "任务中断", Row::kNameColour, true, true, false, false},
      {TASK_FAILED, "任务失败", Row::kNameColour, true, true, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state);
    AddIn("s" + std::to_string(c.state), c.state);
    Row* row = RowOf("s" + std::to_string(c.state));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->StatusText(), QString::fromUtf8(c.status));
    const QImage image = test::Grab(row);
    const int w = image.width();

    EXPECT_TRUE(test::Near(image.pixel(5, 5), Row::kBackground, 2));
    // The separator from x = 10 to width − 10 on the last line.
    EXPECT_TRUE(test::Near(image.pixel(10, 79), Row::kSeparator, 2));
    EXPECT_TRUE(test::Near(image.pixel(w - 11, 79), Row::kSeparator, 2));
    EXPECT_TRUE(test::Near(image.pixel(9, 79), Row::kBackground, 2));
    EXPECT_TRUE(test::Near(image.pixel(w - 10, 79), Row::kBackground, 2));
    // No thumbnail file: the placeholder (left of where a failed task's badge goes).
    EXPECT_TRUE(ShowsImage(image, Row::kThumbRect, "Convert\\NoVideoSrc.png", {0, 0, 128, 72},
                           QRect(0, 0, Row::kErrorBadge.left(), 80)));

    EXPECT_TRUE(test::HasPixelNear(image, c.nameColour, Row::kNameRect, 12));
    EXPECT_TRUE(test::HasPixelNear(
        image, c.state == TASK_CANCELLED ? Row::kCancelledText : Row::kGrey, Row::kSizeRect, 12));
    EXPECT_TRUE(test::HasPixelNear(image, Row::kGrey, Row::kModeText, 12));
    if (c.state == TASK_CANCELLED) {
      EXPECT_FALSE(test::HasPixelNear(image, Row::kNameColour, Row::kNameRect, 12));
    }

    EXPECT_EQ(row->ProgressBar()->isVisible(), c.progressBar);
    // (The right end of the bar: the finished mark and text lie over its left part.)
    EXPECT_EQ(test::HasPixelNear(image, skin::kBorder, QRect(540, 32, 54, 8), 3), c.progressBar);
    EXPECT_EQ(row->Button(IDC_ROW_RETRY)->isVisible(), c.retry);
    EXPECT_TRUE(row->Button(IDC_ROW_CANCEL)->isVisible());
    EXPECT_FALSE(row->Button(IDC_ROW_PIN)->isVisible());

    if (c.state == TASK_FAILED) {
      EXPECT_TRUE(test::HasPixelNear(image, Row::kFailedText, Row::kStatusRect, 12));
      EXPECT_TRUE(ShowsImage(image, Row::kTipMark, "Convert\\Tip.png", {0, 0, 13, 13}));
      EXPECT_TRUE(ShowsImage(image, Row::kErrorBadge, "Convert\\Error.png", {0, 0, 14, 14}));
    } else if (c.doneMark) {
      EXPECT_TRUE(ShowsImage(image, Row::kDoneMark, "Convert\\Converted.png", {0, 0, 18, 18}));
      EXPECT_TRUE(test::HasPixelNear(image, Row::kGrey, Row::kDoneText, 12));
    } else if (*c.status) {
      EXPECT_TRUE(test::HasPixelNear(image, Row::kGrey, Row::kStatusRect, 12));
      EXPECT_FALSE(test::HasPixelNear(image, Row::kFailedText, Row::kStatusRect, 30));
    } else {
      EXPECT_TRUE(Blank(image, Row::kStatusRect.adjusted(0, 0, 0, -1)));
    }
  }
}

// The transcoder thread writes the progress; the list's timer brings it to the row.
TEST_F(CConvertListItemDlgTest, ConvertingRowShowsItsProgress) {
  Add("run");
  Row* row = RowOf("run");
  ASSERT_NE(row, nullptr);
  ASSERT_TRUE(Until([&] { return row->ProgressBar()->GetPos() == 50; }));
  EXPECT_EQ(row->StatusText(), "已转码：50 %");
  const QImage image = test::Grab(row);
  const QRect bar = Row::kProgressRect;
  EXPECT_TRUE(test::Near(image.pixel(bar.left() + 30, bar.center().y()), skin::kHighlight, 3));
  EXPECT_FALSE(test::Near(image.pixel(bar.left() + 110, bar.center().y()), skin::kHighlight, 3));
  EXPECT_TRUE(test::HasPixelNear(image, Row::kGrey, Row::kStatusRect, 12));
  EXPECT_FALSE(row->Button(IDC_ROW_RETRY)->isVisible());

  Release("run", 0);
  ASSERT_TRUE(
      Until([&] { return row->Task()->State() == TASK_DONE && !row->ProgressBar()->isVisible(); }));
  EXPECT_EQ(row->StatusText(), "转码完成");
}

TEST_F(CConvertListItemDlgTest, ThumbnailOrPlaceholder) {
  QImage picture(128, 72, QImage::Format_RGB32);
  picture.fill(QColor(20, 120, 220));
  const std::string jpeg = sandbox.Path("thumb.jpg");
  ASSERT_TRUE(picture.save(QString::fromStdString(jpeg), "JPG"));
  AddIn("shown", TASK_WAITING, jpeg);
  AddIn("broken", TASK_WAITING, sandbox.WriteFile("broken.jpg", "not a picture"));
  const QImage shown = test::Grab(RowOf("shown"));
  EXPECT_TRUE(test::Near(shown.pixel(Row::kThumbRect.center()), qRgb(20, 120, 220), 10));
  EXPECT_TRUE(
      test::Near(shown.pixel(Row::kThumbRect.topLeft() + QPoint(1, 1)), qRgb(20, 120, 220), 10));
  EXPECT_TRUE(test::Near(shown.pixel(Row::kThumbRect.left() - 1, 40), Row::kBackground, 2));
  EXPECT_TRUE(ShowsImage(test::Grab(RowOf("broken")), Row::kThumbRect, "Convert\\NoVideoSrc.png",
                         {0, 0, 128, 72}));
}

TEST_F(CConvertListItemDlgTest, RowsFarDownAreBlank) {
  AddIn("far", TASK_FAILED);
  Row* row = RowOf("far");
  row->Task()->SetPosition(Row::kMaxPaintedPosition + 1);
  row->SyncFromTask();
  const QImage image = test::Grab(row);
  EXPECT_TRUE(Blank(image, image.rect()));
  EXPECT_FALSE(row->Button(IDC_ROW_CANCEL)->isVisible());
  EXPECT_FALSE(row->Button(IDC_ROW_RETRY)->isVisible());
  test::SendEnter(row);
  EXPECT_FALSE(row->Button(IDC_ROW_PIN)->isVisible());
}

// "置顶" shows while the pointer rests on a task that can still move: waiting, failed or
// interrupted, and stays while the pointer moves onto it.
TEST_F(CConvertListItemDlgTest, HoverShowsThePinForTasksThatCanMove) {
  Add("running");
  for (int state : {TASK_WAITING, TASK_DONE, TASK_INTERRUPTED, TASK_FAILED})
    AddIn("s" + std::to_string(state), state);
  const struct {
    const char* name;
    bool pin;
  } cases[] = {{"running", false}, {"s1", true}, {"s3", false}, {"s6", true}, {"s9", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Row* row = RowOf(c.name);
    CKbcButton* pin = row->Button(IDC_ROW_PIN);
    test::SendEnter(row);
    EXPECT_TRUE(row->IsRowHover());
    EXPECT_EQ(pin->isVisible(), c.pin);
    if (!c.pin) {
      test::SendLeave(row);
      continue;
    }
    EXPECT_EQ(pin->geometry(), Row::kPinRect);
    EXPECT_EQ(pin->Caption(), "置顶");
    // Onto the button: the row may hear a leave, the button stays.
    QCursor::setPos(row->mapToGlobal(Row::kPinRect.center()));
    test::SendLeave(row);
    EXPECT_TRUE(pin->isVisible());
    // Off the row elsewhere: gone.
    QCursor::setPos(row->mapToGlobal(QPoint(300, 100)));
    test::SendLeave(row);
    EXPECT_FALSE(pin->isVisible());
    EXPECT_FALSE(row->IsRowHover());
  }
}

TEST_F(CConvertListItemDlgTest, PinMovesTheTaskJustBehindTheRunningOne) {
  Add("run");
  AddIn("wait1", TASK_WAITING);
  AddIn("wait2", TASK_WAITING);
  Row* row = RowOf("wait2");
  test::SendEnter(row);
  ASSERT_TRUE(row->Button(IDC_ROW_PIN)->isVisible());
  test::Click(row->Button(IDC_ROW_PIN), QPoint(10, 10));
  EXPECT_FALSE(row->Button(IDC_ROW_PIN)->isVisible());
  ASSERT_TRUE(Until([&] { return Order() == "run(2) wait2(1) wait1(1)"; }));
  EXPECT_EQ(row->y(), Row::kHeight);  // placed again
}

// The cancel button of a finished task takes the task from the list right after the click;
// the converted file stays, and so does its video's state (the page hears nothing).
TEST_F(CConvertListItemDlgTest, CancelOfAFinishedTaskRemovesItAndKeepsTheOutput) {
  AddIn("done", TASK_DONE);
  sandbox.WriteFile("out/done.mp4", "converted");
  QPointer<Row> row = RowOf("done");
  test::Click(row->Button(IDC_ROW_CANCEL), QPoint(10, 10));
  ASSERT_TRUE(Until([&] { return row.isNull(); }));
  EXPECT_EQ(Order(), "");
  EXPECT_EQ(sandbox.ReadFile("out/done.mp4"), "converted");
  EXPECT_EQ(page.TakeNotes(), "");
}

TEST_F(CConvertListItemDlgTest, CancelOfTheRunningTaskRemovesItAndStartsTheNext) {
  Add("first");
  Add("second");
  Add("third");
  ASSERT_EQ(Order(), "first(2) second(1) third(1)");
  QPointer<Row> running = RowOf("first");
  ASSERT_TRUE(Until([&] { return running->ProgressBar()->GetPos() == 50; }));
  test::Click(running->Button(IDC_ROW_CANCEL), QPoint(10, 10));
  ASSERT_TRUE(Until([&] { return running.isNull(); }));
  EXPECT_EQ(Order(), "second(2) third(1)");
  EXPECT_EQ(RowOf("second")->y(), 0);
  EXPECT_EQ(RowOf("third")->y(), Row::kHeight);
}

// "重新转码" on an interrupted task: it runs again.
TEST_F(CConvertListItemDlgTest, RetryRunsAnInterruptedTaskAgain) {
  AddIn("done", TASK_DONE);
  AddIn("stopped", TASK_INTERRUPTED);
  Row* row = RowOf("stopped");
  CKbcButton* retry = row->Button(IDC_ROW_RETRY);
  ASSERT_TRUE(retry->isVisible());
  EXPECT_EQ(retry->geometry(), Row::kRetryRect);
  EXPECT_EQ(retry->toolTip(), "重新转码");
  test::Click(retry, QPoint(10, 10));
  ASSERT_TRUE(Until([&] { return Order() == "stopped(2) done(3)"; }));
  EXPECT_FALSE(retry->isVisible());
  EXPECT_EQ(row->y(), 0);
  Release("stopped", 0);
  ASSERT_TRUE(Until([&] { return Order() == "stopped(3) done(3)"; }));
  EXPECT_EQ(sandbox.ReadFile("out/stopped.mp4"), "complete");
}

}  // namespace
}  // namespace brisel
