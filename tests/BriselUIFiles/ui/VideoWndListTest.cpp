#include "BriselUIFiles/ui/VideoWndList.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include "BriselUIFiles/ConvertStatus.h"
#include "BriselUIFiles/VideoWndCore.h"
#include "BriselUIFiles/VideoWndListCore.h"
#include "BriselUIFiles/VideoWndListPage.h"
#include "BriselUIFiles/ui/VideoWndDlg.h"
#include "platform/Notifications.h"
#include "settings/AppSettings.h"
#include "support/ui/SkinSandbox.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

using namespace std::chrono_literals;

// The share page as the panel sees it: records the toasts and the changes made through the
// panel.
class FakePage : public VideoWndListPage {
 public:
  int RequestConversion(const ConvertRequest&) override { return 1; }
  void ReportSelection(SelectionState) override {}
  int CancelTask(const std::string&, const std::string&) override { return 0; }
  void ConvertedDeleted(const std::string&) override {}
  void ShowToast(int kind) override { toasts.push_back(kind); }
  bool FindTask(const std::string&, const std::string&) override { return false; }
  void ShowConvertedBalloon(const std::string&) override {}
  void RefreshSelection() override { ++selectionRefreshes; }
  std::vector<int> toasts;
  int selectionRefreshes = 0;
};

// The panel at its place on the share page: 808 x 522.
class CVideoWndListTest : public ::testing::Test {
 protected:
  CVideoWndListTest() {
    LoadSettings(false);
    panel = new CVideoWndList(nullptr, &page, &host);
    panel->setGeometry(0, 56, 808, 522);
    host.resize(812, 630);
    host.show();
  }
  ~CVideoWndListTest() override {
    CVideoWndList::SetFileDialogForTesting({});
    delete panel;
  }
  // `count` entries of videos that are missing (no probe thread is started for them).
  void AddMissing(int count) {
    QStringList paths;
    for (int i = 0; i < count; ++i)
      paths.push_back(QStringLiteral("/nowhere/m%1.mp4").arg(panel->Core().EntryCount() + i));
    panel->AddDropped(paths);
  }
  void Wheel(int delta) {
    QWheelEvent wheel(QPointF(100, 100), panel->mapToGlobal(QPointF(100, 100)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(panel, &wheel);
  }
  void Drop(const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& f : files) urls.push_back(QUrl::fromLocalFile(f));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(panel, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(panel, &drop);
    EXPECT_TRUE(drop.isAccepted());
  }

  test::SkinSandbox box;
  FakePage page;
  QWidget host;
  CVideoWndList* panel = nullptr;
};

// Five a row: columns 158 apart from x 14, row 0 at y 18 and row r at 32 + 130·r. The scroll
// range is the view's height below 20 videos and 134 per row from 20 on, but never shorter
// than the grid, so the fourth row (16 to 19 videos) can be scrolled fully into view.
TEST_F(CVideoWndListTest, GridPlacesFiveARowAndScrollsOverEveryRow) {
  const struct {
    int entries;
    int maximum;  // of the scroll range 1 ... maximum, page 522
  } cases[] = {{5, 522}, {6, 522}, {16, 538}, {19, 538}, {20, 538}, {21, 670}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entries);
    AddMissing(c.entries - static_cast<int>(panel->Core().EntryCount()));
    ASSERT_EQ(panel->Core().EntryCount(), static_cast<std::size_t>(c.entries));
    EXPECT_EQ(CVideoWndList::ScrollMaximum(c.entries, 522), c.maximum);
    EXPECT_EQ(panel->ScrollBar()->maximum(), c.maximum - 522 + 1);
    EXPECT_EQ(panel->ScrollBar()->isVisible(), c.maximum > 522);
    const std::vector<CVideoWndDlg*> tiles = panel->TileWindows();
    ASSERT_EQ(tiles.size(), static_cast<std::size_t>(c.entries));
    for (int i = 0; i < c.entries; ++i) {
      EXPECT_TRUE(tiles[i]->isVisible());
      EXPECT_TRUE(tiles[i]->isEnabled());
    }
  }
  const std::vector<CVideoWndDlg*> tiles = panel->TileWindows();
  EXPECT_EQ(tiles[0]->geometry(), QRect(14, 18, 144, 116));
  EXPECT_EQ(tiles[4]->geometry(), QRect(14 + 4 * 158, 18, 144, 116));
  EXPECT_EQ(tiles[5]->geometry(), QRect(14, 162, 144, 116));
  EXPECT_EQ(tiles[20]->geometry(), QRect(14, 552, 144, 116));
  const VIDEOINFO_ST& sixth = *std::next(panel->Core().Entries().begin(), 5);
  EXPECT_EQ(sixth.m_rcTile.top, 162);
  EXPECT_EQ(sixth.m_rcTile.right, 158);
}

TEST_F(CVideoWndListTest, EachWheelMessageScrollsOneLineOf25Pixels) {
  AddMissing(21);
  const int last = 670 - 522 + 1;
  Wheel(-120);
  EXPECT_EQ(panel->ScrollPosition(), 26);
  EXPECT_EQ(panel->TileWindows()[0]->y(), 18 - 25);
  Wheel(-1);  // a small delta moves a whole line too
  EXPECT_EQ(panel->ScrollPosition(), 51);
  Wheel(360);
  EXPECT_EQ(panel->ScrollPosition(), 26);
  for (int i = 0; i < 10; ++i) Wheel(-120);
  EXPECT_EQ(panel->ScrollPosition(), last);
  EXPECT_EQ(panel->TileWindows()[20]->geometry().bottom() + 1, 668 - (last - 1));
  for (int i = 0; i < 10; ++i) Wheel(120);
  EXPECT_EQ(panel->ScrollPosition(), 1);

  // After the list changes the view stays where it was.
  panel->ScrollTo(100);
  AddMissing(1);
  EXPECT_EQ(panel->ScrollPosition(), 100);
  EXPECT_EQ(panel->TileWindows()[0]->y(), 18 - 99);
}

TEST_F(CVideoWndListTest, AnEmptyLibraryShowsTheHintAndTheAddButton) {
  panel->PlaceHint();
  EXPECT_EQ(panel->HintRect(), QRect(404 - 190, 261 - 120, 380, 240));
  CKbcButton* add = panel->AddButton();
  EXPECT_EQ(add->objectName(), "1081");
  EXPECT_EQ(add->Caption(), "添加");
  EXPECT_EQ(add->geometry(), QRect(404 + 5, 261 + 66, 64, 30));
  EXPECT_TRUE(add->isVisible());
  const QImage hint = LoadSkinImage(SkinPath("Comm\\Add.png"));
  ASSERT_FALSE(hint.isNull());
  const QPoint inHint(40, 40);
  EXPECT_TRUE(test::Near(test::Grab(panel).pixel(panel->HintRect().topLeft() + inHint),
                         test::Over(hint, inHint, 0xFFF2F3F3)));

  AddMissing(1);
  EXPECT_FALSE(add->isVisible());
  EXPECT_TRUE(
      test::Near(test::Grab(panel).pixel(panel->HintRect().topLeft() + inHint), 0xFFF2F3F3));

  panel->Core().SelectionCommand(kSelectionCheckAll);
  panel->Core().RemoveChecked();
  EXPECT_EQ(panel->Core().EntryCount(), 0u);
  EXPECT_TRUE(panel->TileWindows().empty());
  EXPECT_TRUE(add->isVisible());
  EXPECT_TRUE(test::Near(test::Grab(panel).pixel(panel->HintRect().topLeft() + inHint),
                         test::Over(hint, inHint, 0xFFF2F3F3)));
}

// Files dropped on the grid (real drop events): videos by their extension, each probed at
// once; other files and duplicates are refused with their toasts.
TEST_F(CVideoWndListTest, DroppedFilesAreAddedAndProbed) {
  const QString mp4 = QString::fromStdString(box.WriteFile("videos/clip.mp4", "x"));
  const QString upper = QString::fromStdString(box.WriteFile("videos/clip2.MP4", "x"));
  const QString mixed = QString::fromStdString(box.WriteFile("videos/clip3.Mp4", "x"));
  const QString text = QString::fromStdString(box.WriteFile("videos/notes.txt", "x"));
  Drop({mp4, upper, mixed, text});
  EXPECT_EQ(panel->Core().EntryCount(), 2u);
  EXPECT_EQ(page.toasts, (std::vector<int>{TOAST_NOT_VIDEO, TOAST_NOT_VIDEO}));
  EXPECT_EQ(page.selectionRefreshes, 1) << "the page refreshes its controls after the drop";
  for (const VIDEOINFO_ST& e : panel->Core().Entries()) {
    EXPECT_TRUE(e.m_pTile->ProbeStarted());
    EXPECT_TRUE(e.m_pTile->WaitProbed(10s));
  }
  Drop({mp4});
  EXPECT_EQ(page.toasts.back(), TOAST_FILE_EXISTS);
  EXPECT_EQ(panel->TileWindows().size(), 2u);
}

// The real file dialog: its title and filter, several files at once; the next time it opens
// in the folder the files came from.
TEST_F(CVideoWndListTest, TheFileDialogAddsSeveralVideos) {
  const std::string a = box.WriteFile("videos/a.mp4", "x");
  const std::string b = box.WriteFile("videos/b.mkv", "x");
  QString title;
  QStringList filters;
  bool several = false;
  QTimer::singleShot(0, &host, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    title = dialog->windowTitle();
    filters = dialog->nameFilters();
    several = dialog->fileMode() == QFileDialog::ExistingFiles;
    dialog->setDirectory(QString::fromStdString(box.Path("videos")));
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
        ->setText(QStringLiteral("\"a.mp4\" \"b.mkv\""));
    static_cast<QDialog*>(dialog)->accept();  // the file dialog checks the names first
  });
  panel->AddFromDialog();
  EXPECT_EQ(title, "请选择需要转换文件");
  ASSERT_EQ(filters.size(), 1);
  EXPECT_TRUE(filters[0].startsWith("视频文件 (*.mp4 *.mkv *.flv *.rmvb *.wmv *.avi *.mpeg *.3gp"))
      << filters[0].toStdString();
  EXPECT_TRUE(several);
  ASSERT_EQ(panel->Core().EntryCount(), 2u);
  EXPECT_EQ(panel->Core().Entries().front().m_pTile->Path(), a);
  EXPECT_EQ(panel->Core().Entries().back().m_pTile->Path(), b);
  EXPECT_TRUE(panel->TileWindows()[1]->isVisible());

  QString opensIn;
  QTimer::singleShot(0, &host, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    opensIn = dialog->directory().absolutePath();
    dialog->reject();
  });
  panel->AddFromDialog();
  EXPECT_EQ(opensIn, QString::fromStdString(box.Path("videos")));
  EXPECT_EQ(panel->Core().EntryCount(), 2u);
}

TEST_F(CVideoWndListTest, AFullLibraryRefusesBeforeTheDialogOpens) {
  int opened = 0;
  CVideoWndList::SetFileDialogForTesting([&](QWidget*) {
    ++opened;
    return QStringList();
  });
  AddMissing(35);
  panel->AddFromDialog();
  for (int i = 0; i < 35; ++i)
    panel->Core().OnConverted("/nowhere/source.avi", "/nowhere/c" + std::to_string(i) + ".mp4");
  panel->AddFromDialog();
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(page.toasts, (std::vector<int>{TOAST_SHARE_LIST_FULL, TOAST_TOO_MANY}));
  EXPECT_EQ(panel->ScrollBar()->maximum(), 14 * 134 - 522 + 1);
}

}  // namespace
}  // namespace brisel
