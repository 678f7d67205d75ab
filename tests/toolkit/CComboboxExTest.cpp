#include <gtest/gtest.h>

#include <QSignalSpy>

#include "support/RecordingTarget.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CComboboxEx.h"
#include "toolkit/CComboboxListboxDlg.h"
#include "toolkit/CMyListBox.h"

namespace brisel {
namespace {

TEST(CComboboxEx, PressOpensTheListBelowAndASecondPressClosesIt) {
  QWidget host;
  host.resize(300, 200);
  host.show();
  CComboboxEx combo(1007, &host);
  combo.setGeometry(20, 30, 126, 22);
  combo.SetDropHeight(66);
  for (const char* text : {"192.168.1.20", "10.0.0.5"}) combo.AddString(text);
  test::SendMouse(&combo, QEvent::MouseButtonPress, QPoint(5, 5));
  ASSERT_TRUE(combo.Popup()->isVisible());
  EXPECT_TRUE(combo.IsDropped());
  EXPECT_EQ(combo.Popup()->geometry(), QRect(combo.mapToGlobal(QPoint(0, 22)), QSize(126, 67)));
  test::SendMouse(&combo, QEvent::MouseButtonPress, QPoint(5, 5));
  EXPECT_FALSE(combo.Popup()->isVisible());
  EXPECT_FALSE(combo.IsDropped());
}

TEST(CComboboxEx, PickingClosesTheListAndTellsBothNotifyWindows) {
  QWidget host;
  host.show();
  CComboboxEx combo(1007, &host);
  combo.resize(126, 22);
  combo.SetDropHeight(44);
  auto first = test::RecordingTarget::Create();
  auto second = test::RecordingTarget::Create();
  combo.SetNotifyWindows(first, second);
  QSignalSpy picked(&combo, &CComboboxEx::Picked);
  for (const char* text : {"192.168.1.20", "10.0.0.5"}) combo.AddString(text);
  test::SendMouse(&combo, QEvent::MouseButtonPress, QPoint(5, 5));

  CMyListBox* list = combo.ListBox();
  EXPECT_EQ(list->objectName(), "1008");
  QPoint secondRow = list->visualItemRect(list->item(1)).center();
  test::SendMouse(list->viewport(), QEvent::MouseMove, secondRow, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(list->currentRow(), 1);  // the row under the pointer is selected
  test::SendMouse(list->viewport(), QEvent::MouseButtonRelease, secondRow, Qt::LeftButton,
                  Qt::NoButton);

  EXPECT_FALSE(combo.Popup()->isVisible());
  EXPECT_EQ(combo.GetCurSel(), 1);
  EXPECT_EQ(combo.PickedText(), "10.0.0.5");
  for (auto* target : {first.get(), second.get()}) {
    auto messages = target->Messages(WM_IP_CHOSEN);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, WM_USER + 302);
    EXPECT_EQ(messages[0].wParam, 0);
  }
  ASSERT_EQ(picked.count(), 1);
  EXPECT_EQ(picked.at(0).at(1).toString(), "10.0.0.5");
}

}  // namespace
}  // namespace brisel
