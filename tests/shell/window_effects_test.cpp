// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The window's effects: the roll-up on a right-click of the title bar, the opacity while
// dragged (and no drag on a click without movement), the rounded outline, activation and
// the tray icon.
#include "tests/shell/shell_fixture.h"

#include "engine/version.h"
#include "shell/title_bar.h"

#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

namespace vardell::test {
namespace {

class WindowEffects : public MainFormTest {
 protected:
  void SetUp() override {
    MainFormTest::SetUp();
    QObject::connect(window_.get(), &TMainForm::clientHeightChanged, [this](int h) {
      heights_.push_back(h);
      if (onHeight_) onHeight_(h);
    });
  }
  void rightClickTitleBar() { QTest::mousePress(window_->TitleBar, Qt::RightButton, Qt::NoModifier, QPoint(100, 10)); }
  void waitForRollToEnd() {
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window_->RollUpTimer->isActive(); }, 5000));
  }
  std::vector<int> takeHeights() { return std::exchange(heights_, {}); }

  std::vector<int> heights_;
  std::function<void(int)> onHeight_;
};

TEST_F(WindowEffects, RightClickOnTheTitleBarRollsUpAndDownAgain) {
  rightClickTitleBar();
  EXPECT_TRUE(window_->RollUpTimer->isActive());
  EXPECT_EQ(window_->RollUpTimer->interval(), 10);
  waitForRollToEnd();
  EXPECT_EQ(takeHeights(), (std::vector<int>{332, 292, 252, 212, 172, 132, 92, 52, 12, 0}));
  EXPECT_EQ(window_->clientHeight(), 0);
  EXPECT_EQ(window_->height(), TTitleBar::kHeight) << "only the title bar shows";
  rightClickTitleBar();
  waitForRollToEnd();
  EXPECT_EQ(takeHeights(), (std::vector<int>{40, 80, 120, 160, 200, 240, 280, 320, 360, 372}));
  EXPECT_EQ(window_->clientHeight(), 372);
}

TEST_F(WindowEffects, QuickDoubleRightClickAndClicksMidWayEndAtOneOfTheTwoHeights) {
  rightClickTitleBar();
  QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(100, 10), window_->TitleBar->mapToGlobal(QPointF(100, 10)),
                     Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  rightClickTitleBar();  // the second press of a double click, which comes with its own event
  QApplication::sendEvent(window_->TitleBar, &second);
  waitForRollToEnd();
  EXPECT_EQ(window_->clientHeight(), 372) << "a double click is two clicks: up and back down";
  bool turned = false;
  onHeight_ = [&](int h) {
    if (h == 212 && !turned) {
      turned = true;
      QTimer::singleShot(0, [this] { rightClickTitleBar(); });
    }
  };
  rightClickTitleBar();
  ASSERT_TRUE(QTest::qWaitFor([&] { return turned && !window_->RollUpTimer->isActive(); }, 5000));
  EXPECT_EQ(window_->clientHeight(), 372) << "turned back to the full height, not stopped at 212";
  EXPECT_EQ(window_->rollUpState().FullClientHeight, 372);
  onHeight_ = nullptr;
  rightClickTitleBar();
  waitForRollToEnd();
  EXPECT_EQ(window_->clientHeight(), 0);
}

TEST_F(WindowEffects, RightClickInTheClientAreaDoesNotRollUp) {
  QTest::mousePress(window_->ClientArea, Qt::RightButton, Qt::NoModifier, QPoint(300, 190));
  QTest::qWait(50);
  EXPECT_FALSE(window_->RollUpTimer->isActive());
  EXPECT_TRUE(heights_.empty());
}

TEST_F(WindowEffects, TranslucentWhileDraggedOpaqueAfterTheNextMove) {
  EXPECT_EQ(window_->windowAlpha(), 255);
  QTest::mousePress(window_->TitleBar, Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
  EXPECT_EQ(window_->windowAlpha(), 255) << "a press alone is no drag yet";
  // Moving with the button held drags the window and keeps it translucent.
  const QPoint before = window_->pos();
  QMouseEvent drag(QEvent::MouseMove, QPointF(130, 30), window_->TitleBar->mapToGlobal(QPointF(130, 30)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window_->TitleBar, &drag);
  EXPECT_EQ(window_->windowAlpha(), 178);
  EXPECT_TRUE(window_->windowLayered());
  EXPECT_NEAR(window_->windowOpacity(), 178 / 255.0, 0.01);
  EXPECT_EQ(window_->pos(), before + QPoint(30, 20));
  QTest::mouseRelease(window_->TitleBar, Qt::LeftButton, Qt::NoModifier, QPoint(130, 30));
  QTest::mouseMove(window_->TitleBar, QPoint(140, 10));
  EXPECT_EQ(window_->windowAlpha(), 255);
  EXPECT_TRUE(window_->windowLayered());
  EXPECT_NEAR(window_->windowOpacity(), 1.0, 0.01);
}

TEST_F(WindowEffects, ClickOnTheTitleBarWithoutMovementStartsNoDrag) {
  const QPoint before = window_->pos();
  QTest::mouseClick(window_->TitleBar, Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
  QTest::mouseMove(window_->TitleBar, QPoint(200, 15));  // the pointer moves on, no button held
  EXPECT_EQ(window_->pos(), before) << "the window does not stick to the pointer";
  EXPECT_EQ(window_->windowAlpha(), 255);
  EXPECT_NEAR(window_->windowOpacity(), 1.0, 0.01);
}

TEST_F(WindowEffects, PointerMoveDuringRollUpLeavesTheWindowUnlayered) {
  window_->SetWindowAlpha(178);
  rightClickTitleBar();
  QTest::mouseMove(window_->TitleBar, QPoint(150, 12));
  EXPECT_FALSE(window_->windowLayered());
  EXPECT_NEAR(window_->windowOpacity(), 1.0, 0.01);
  waitForRollToEnd();
}

TEST_F(WindowEffects, ActivationRestoresOpacityAndTheCaption) {
  window_->SetWindowAlpha(178);
  window_->setWindowTitle(QStringLiteral("something else"));
  QEvent activation(QEvent::ActivationChange);
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  QApplication::sendEvent(window_.get(), &activation);
  EXPECT_EQ(window_->windowAlpha(), 255);
  EXPECT_EQ(window_->windowTitle(), QString::fromUtf8(kApplicationTitle));
}

TEST_F(WindowEffects, OutlineHasCornersFromATenPixelEllipse) {
  const QRegion outline = window_->mask();
  ASSERT_FALSE(outline.isEmpty());
  EXPECT_FALSE(outline.contains(QPoint(0, 0))) << "the corner is cut";
  EXPECT_TRUE(outline.contains(QPoint(5, 5)));
  EXPECT_TRUE(outline.contains(QPoint(0, 200)));
  EXPECT_TRUE(outline.contains(QPoint(295, 0)));
  EXPECT_FALSE(outline.contains(QPoint(window_->width() - 1, 0)));
}

TEST_F(WindowEffects, TrayIconCarriesTheTitleAndOptionMNeverStrandsTheWindow) {
  EXPECT_EQ(window_->TrayIcon->toolTip(), QString::fromUtf8(kApplicationTitle));
  EXPECT_FALSE(window_->trayIconShown());
  window_->AddTrayIcon();
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    EXPECT_TRUE(window_->trayIconShown());
    EXPECT_FALSE(window_->isVisible());
  } else {
    EXPECT_FALSE(window_->trayIconShown());
    EXPECT_TRUE(window_->isVisible()) << "without a tray the window is minimised, not hidden";
    EXPECT_TRUE(window_->isMinimized());
  }
  window_->ShowFormClick();
  EXPECT_TRUE(window_->isVisible());
  EXPECT_FALSE(window_->isMinimized());
  window_->RemoveTrayIcon();
  EXPECT_FALSE(window_->trayIconShown());
  window_->RemoveTrayIcon();  // removing an icon that is not there does nothing
}

TEST_F(WindowEffects, ShowFormMenuItemShowsAHiddenWindow) {
  window_->hide();
  window_->ShowForm->trigger();
  EXPECT_TRUE(window_->isVisible());
}

}  // namespace
}  // namespace vardell::test
