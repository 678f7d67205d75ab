#include <gtest/gtest.h>

#include <QCoreApplication>

#include "BuiltSkin.h"
#include "toolkit/ShadowSet.h"

namespace brisel {
namespace {

TEST(ShadowSet, PlacementOfBothOwners) {
  struct Case {
    ShadowOwner owner;
    QRect client;
    std::array<QRect, 4> expected;
  };
  const Case cases[] = {
      {ShadowOwner::MainWindow,
       QRect(100, 50, 972, 630),
       {QRect(84, 50, 16, 630), QRect(84, 34, 1004, 16), QRect(1072, 50, 16, 630),
        QRect(84, 680, 1004, 16)}},
      {ShadowOwner::NotifyDialog,
       QRect(300, 200, 460, 300),
       {QRect(284, 200, 16, 300), QRect(292, 184, 476, 16), QRect(760, 200, 16, 300),
        QRect(292, 500, 476, 16)}},
  };
  for (const Case& c : cases) EXPECT_EQ(ShadowPlacement(c.owner, c.client), c.expected);
  // The main window's ring covers exactly 16 pixels on every side.
  auto ring = ShadowPlacement(ShadowOwner::MainWindow, QRect(0, 0, 972, 630));
  EXPECT_EQ(ring[1].united(ring[3]).united(ring[0]).united(ring[2]), QRect(-16, -16, 1004, 662));
}

TEST(ShadowSet, FollowsTheOwnerWhenItMovesHidesAndShows) {
  test::BuiltSkin skin;
  QWidget owner(nullptr, Qt::Window | Qt::FramelessWindowHint);
  owner.setGeometry(200, 100, 972, 630);
  ShadowSet shadows(ShadowOwner::MainWindow);
  shadows.CreateShadows(&owner);
  for (int i = 0; i < 4; ++i) {
    ASSERT_NE(shadows.Shadow(i), nullptr);
    EXPECT_EQ(shadows.Shadow(i)->Kind(), i + 1);
    EXPECT_FALSE(shadows.Shadow(i)->isVisible());  // the owner is not shown yet
  }
  owner.show();
  QCoreApplication::sendPostedEvents();  // shown once the owner is on screen
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(shadows.Shadow(i)->isVisible());
  owner.move(350, 180);
  QRect client(owner.mapToGlobal(QPoint(0, 0)), owner.size());
  auto expected = ShadowPlacement(ShadowOwner::MainWindow, client);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(shadows.Shadow(i)->geometry(), expected[i]) << i;
  EXPECT_EQ(shadows.Shadow(0)->geometry().topLeft(), client.topLeft() - QPoint(16, 0));
  owner.hide();
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(shadows.Shadow(i)->isVisible());
  shadows.DestroyShadows();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(shadows.Shadow(i), nullptr);
  owner.move(10, 10);  // no longer followed, nothing to touch
}

TEST(ShadowSet, OwnerDestroyedFirstLeavesNothingDangling) {
  ShadowSet shadows(ShadowOwner::NotifyDialog);
  {
    QWidget owner;
    owner.resize(460, 300);
    shadows.CreateShadows(&owner);
  }
  shadows.MoveShadows();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(shadows.Shadow(i), nullptr);
}

}  // namespace
}  // namespace brisel
