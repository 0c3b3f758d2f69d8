// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The main window as a desktop user expects it: a run on the folders it shows, Sync saying
// why it is greyed, the volume that really holds the mirror, readable colours in a dark
// theme, names for screen readers, a window brought back from a screen that is gone, a
// window that can be resized, a folder dialog in each path field and the run log a menu
// item away.
#include "tests/shell/shell_fixture.h"

#include "shell/continue_form.h"
#include "shell/drive_chooser.h"
#include "shell/folder_list.h"
#include "shell/readable_colours.h"
#include "shell/screen_placement.h"
#include "shell/status_memo.h"
#include "shell/title_bar.h"
#include "tests/support/scoped_mount.h"

#include <QAccessible>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <filesystem>

namespace vardell::test {
namespace {

// --- The folders a run uses ------------------------------------------------------------

TEST_F(MainFormTest, CompareTakesAMirrorPathTypedWithoutEnter) {
  ScopedFolder trees;
  trees.writeFile("master/Photos/a.jpg", "a");
  trees.writeFile("old/Photos/a.jpg", "something else");
  trees.writeFile("new/Photos/a.jpg", "a");
  ASSERT_EQ(std::filesystem::last_write_time(trees / "master/Photos/a.jpg"),
            std::filesystem::last_write_time(trees / "new/Photos/a.jpg"));
  showFolders(trees / "master/Photos", trees / "old/Photos");
  window_->MirrorPathEdit->setText(QString::fromStdString(trees / "new/Photos"));  // no Enter
  click(window_->CompareBtn);
  EXPECT_EQ(window_->mirrorFolder(), trees / "new/Photos");
  EXPECT_EQ(window_->MirrorPathEdit->text(), QString::fromStdString(trees / "new/Photos"));
  EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::FoldersMatch) << "the run compared the typed folder";
  EXPECT_TRUE(prompts_.messages.isEmpty());
}

TEST_F(MainFormTest, RunOnATypedPathThatNamesNoFolderIsRefusedWithAMessage) {
  ScopedFolder trees;
  trees.writeFile("master/a.txt", "a");
  trees.makeFolder("mirror");
  showFolders(trees / "master", trees / "mirror");
  ASSERT_TRUE(window_->ProtectCBtn->isChecked());
  QTest::mouseClick(window_->ProtectCBtn, Qt::LeftButton);  // Sync available on /tmp
  window_->MasterPathEdit->setText(QString::fromStdString(trees / "nothing here"));
  click(window_->ReplicateBtn);
  ASSERT_EQ(prompts_.messages.size(), 1);
  EXPECT_TRUE(prompts_.messages[0].contains(QStringLiteral("does not exist"))) << prompts_.messages[0].toStdString();
  EXPECT_EQ(statusLines().join(QLatin1Char('\n')).toStdString(), TStatusMemo::kInitialText.chopped(1).toStdString())
      << "nothing ran";
  EXPECT_FALSE(trees.exists("mirror/a.txt"));
  EXPECT_EQ(window_->MasterPathEdit->text(), QString::fromStdString(trees / "master")) << "the field shows the list again";
}

// --- Sync's tooltip and the mirror's volume -----------------------------------------------

TEST_F(MainFormTest, GreyedSyncSaysWhyInItsTooltip) {
  ScopedFolder trees;  // below /tmp, on the volume mounted at "/"
  trees.makeFolder("master");
  trees.makeFolder("mirror");
  showFolders(trees / "master", trees / "mirror");
  ASSERT_FALSE(window_->ReplicateBtn->isEnabled());
  EXPECT_EQ(window_->ReplicateBtn->toolTip(),
            QStringLiteral("The mirror is on the system volume and 'Don't modify Drive /' is checked"));
  QTest::mouseClick(window_->ProtectCBtn, Qt::LeftButton);
  EXPECT_TRUE(window_->ReplicateBtn->isEnabled());
  EXPECT_EQ(window_->ReplicateBtn->toolTip(), QStringLiteral("Create replica of master directory in mirror folder"));
}

// A volume mounted after the window read the volumes (a USB drive plugged in meanwhile).
TEST_F(MainFormTest, MirrorChooserShowsTheVolumeHoldingTheMirrorMountedAfterStart) {
  ScopedFolder trees("/mnt");
  ScopedMount volume = ScopedMount::tmpfs(trees / "backup");
  trees.makeFolder("backup/Photos");
  trees.makeFolder("master");
  showFolders(trees / "master", trees / "backup/Photos");
  EXPECT_EQ(window_->DriveComboBox2->Drive(), trees / "backup");
  EXPECT_TRUE(window_->DriveComboBox2->currentText().endsWith(QStringLiteral("[backup]")))
      << window_->DriveComboBox2->currentText().toStdString();
  EXPECT_TRUE(window_->ReplicateBtn->isEnabled()) << "not on the system volume";
  window_->refreshVolumes();
  EXPECT_EQ(window_->DriveComboBox2->Drive(), trees / "backup") << "kept when the volumes are read again";
}

// --- Colours, names, placement ------------------------------------------------------------

TEST(ReadableColours, ContrastAndTheNearestReadableColour) {
  EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 0.01);
  EXPECT_NEAR(contrastRatio(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.01);
  const QColor nearBlack(0x1E, 0x1E, 0x1E);
  EXPECT_LT(contrastRatio(QColor(0, 0, 0xFF), nearBlack), 4.5) << "the old link on a dark theme";
  const QColor link = readableOn(QColor(0, 0, 0xFF), nearBlack);
  EXPECT_GE(contrastRatio(link, nearBlack), 4.5);
  EXPECT_GT(link.blue(), link.red()) << "still a blue";
  EXPECT_EQ(readableOn(QColor(0, 0, 0xFF), Qt::white), QColor(0, 0, 0xFF)) << "readable colours stay";
}

class DarkThemeTest : public MainFormTest {
 protected:
  void SetUp() override {
    saved_ = QApplication::palette();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2B));
    dark.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
    QApplication::setPalette(dark);
    MainFormTest::SetUp();
  }
  void TearDown() override {
    MainFormTest::TearDown();
    QApplication::setPalette(saved_);
  }
  QPalette saved_;
};

TEST_F(DarkThemeTest, StatusWindowPaintsOnWhiteAndEveryTextStaysReadable) {
  window_->Memo1->insertFragment("Copying to ", Colour::Navy);
  window_->Memo1->insertFragment("/backup/a.txt", Colour::Black);
  window_->Memo1->endLine();
  window_->Memo1->flushPending();
  const QImage picture = window_->Memo1->viewport()->grab().toImage();
  EXPECT_EQ(picture.pixelColor(picture.width() - 3, picture.height() - 3), QColor(Qt::white));
  const QColor paper = window_->Memo1->palette().color(QPalette::Base);
  EXPECT_EQ(paper, QColor(Qt::white));
  for (Colour line : {Colour::Black, Colour::Navy, Colour::Maroon, Colour::Purple, Colour::Green}) {
    EXPECT_GE(contrastRatio(qColorOf(line), paper), 4.5) << int(line);
  }
  const QColor background = window_->palette().color(QPalette::Window);
  const QColor link = window_->GetNewBtn->palette().color(QPalette::ButtonText);
  EXPECT_GE(contrastRatio(link, background), 4.5) << link.name().toStdString();
  for (QLabel* label : window_->findChildren<QLabel*>()) {
    if (!label->isEnabled() || !label->isVisible()) continue;
    EXPECT_GE(contrastRatio(label->palette().color(QPalette::WindowText), background), 4.5)
        << label->objectName().toStdString();
  }
}

TEST_F(MainFormTest, EveryControlHasAnAccessibleName) {
  for (QWidget* control : window_->ClientArea->findChildren<QWidget*>()) {
    // The window's own controls (Qt's parts of them, such as scroll bars, have their own).
    const QString name = control->objectName();
    if (name.isEmpty() || name.startsWith(QStringLiteral("qt_")) || !control->isVisibleTo(window_.get())) continue;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    ASSERT_NE(accessible, nullptr);
    EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty())
        << control->metaObject()->className() << " " << control->objectName().toStdString();
  }
  EXPECT_EQ(window_->CompareType->accessibleName(), QStringLiteral("Compare type"));
  EXPECT_EQ(window_->MirrorPathEdit->accessibleName(), QStringLiteral("Mirror folder path"));
  EXPECT_EQ(window_->DirectoryListBox1->accessibleName(), QStringLiteral("Master folder list"));
  EXPECT_EQ(window_->CompareBtn->accessibleName(), QStringLiteral("Compare"));
  EXPECT_EQ(window_->Label1->accessibleName(), QStringLiteral("Master Folder"));
  for (QLineEdit* edit : {window_->MasterPathEdit, window_->MirrorPathEdit}) {
    for (QAction* action : edit->actions()) EXPECT_FALSE(action->text().isEmpty()) << "the folder dialog's icon";
  }
}

TEST(ScreenPlacement, AWindowOffEveryScreenComesBackOntoTheNearest) {
  const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
  const QRect window(QPoint(0, 0), QSize(590, 394));
  EXPECT_EQ(reachablePosition(window.translated(100, 100), 22, screens), QPoint(100, 100));
  EXPECT_EQ(reachablePosition(window.translated(2000, 500), 22, screens), QPoint(2000, 500)) << "the second screen";
  EXPECT_EQ(reachablePosition(window.translated(5000, 300), 22, screens), QPoint(3200 - 590, 300));
  EXPECT_EQ(reachablePosition(window.translated(-3000, -2000), 22, screens), QPoint(0, 0));
  EXPECT_EQ(reachablePosition(window.translated(1861, 1041), 22, {QRect(0, 0, 1920, 1080)}),
            QPoint(1920 - 590, 1080 - 394))
      << "a 59 x 39 corner is not enough";
  EXPECT_EQ(reachablePosition(window.translated(7, 7), 22, {}), QPoint(7, 7));
}

TEST_F(MainFormTest, AWindowSavedOffScreenIsShownOnScreen) {
  window_->hide();
  auto other = std::make_unique<TMainForm>(ShellConfig{}, prompts_);
  other->move(6000, 4000);
  other->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(other.get()));
  const QRect screen = other->screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(other->frameGeometry())) << other->x() << "," << other->y();
}

// --- Resizing and the size kept ----------------------------------------------------------

TEST_F(MainFormTest, ResizedWindowGivesTheRoomToTheListsAndTheStatusWindow) {
  const QRect memo = window_->Memo1->geometry(), list1 = window_->DirectoryListBox1->geometry();
  const QRect list2 = window_->DirectoryListBox2->geometry(), exitButton = window_->ExitBtn->geometry();
  window_->resize(window_->width() + 300, window_->height() + 240);
  EXPECT_EQ(window_->ClientArea->size(), QSize(890, 612));
  EXPECT_EQ(window_->DirectoryListBox1->width(), list1.width() + 150);
  EXPECT_EQ(window_->DirectoryListBox1->height(), list1.height() + 80);
  EXPECT_EQ(window_->DirectoryListBox2->x(), list2.x() + 150);
  EXPECT_EQ(window_->Memo1->size(), memo.size() + QSize(300, 160));
  EXPECT_EQ(window_->ExitBtn->pos(), exitButton.topLeft() + QPoint(300, 240));
  EXPECT_EQ(window_->fullSize(), QSize(890, 634));
  for (QWidget* child : window_->ClientArea->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (!child->isVisible()) continue;
    EXPECT_TRUE(window_->ClientArea->rect().contains(child->geometry())) << child->objectName().toStdString();
  }
  // Rolled up and down again, the window keeps the size the user gave it.
  QTest::mousePress(window_->TitleBar, Qt::RightButton, Qt::NoModifier, QPoint(100, 10));
  ASSERT_TRUE(QTest::qWaitFor([this] { return !window_->RollUpTimer->isActive(); }, 5000));
  EXPECT_EQ(window_->fullSize(), QSize(890, 634));
  QTest::mousePress(window_->TitleBar, Qt::RightButton, Qt::NoModifier, QPoint(100, 10));
  ASSERT_TRUE(QTest::qWaitFor([this] { return !window_->RollUpTimer->isActive(); }, 5000));
  EXPECT_EQ(window_->size(), QSize(890, 634));
  EXPECT_LT(window_->minimumHeight(), window_->maximumHeight()) << "resizable again";
}

TEST_F(MainFormTest, SavedSizeIsRestoredAndNoneOrTooSmallGivesTheStandardSize) {
  window_->restoreSize(0, 0);  // a settings file from before the size was kept
  EXPECT_EQ(window_->size(), QSize(590, 394));
  window_->restoreSize(800, 500);
  EXPECT_EQ(window_->size(), QSize(800, 500));
  window_->restoreSize(100, 100);
  EXPECT_EQ(window_->size(), QSize(590, 394));
}

// --- The folder dialog and the run log ----------------------------------------------------

TEST_F(MainFormTest, FolderDialogInThePathFieldChoosesTheFolder) {
  ScopedFolder trees;
  trees.makeFolder("master");
  trees.makeFolder("mirror/Photos");
  showFolders(trees / "master", trees / "mirror");
  QAction* browse = window_->MirrorPathEdit->findChild<QAction*>(QStringLiteral("MirrorPathEditBrowse"));
  ASSERT_NE(browse, nullptr);
  EXPECT_FALSE(browse->icon().isNull());
  prompts_.folderChoices = {QString::fromStdString(trees / "mirror/Photos"), QString()};
  browse->trigger();
  EXPECT_EQ(prompts_.folderDialogStarts, QStringList{QString::fromStdString(trees / "mirror")});
  EXPECT_EQ(window_->mirrorFolder(), trees / "mirror/Photos");
  browse->trigger();  // cancelled
  EXPECT_EQ(window_->mirrorFolder(), trees / "mirror/Photos");
  EXPECT_TRUE(prompts_.messages.isEmpty());
}

TEST_F(MainFormTest, OpenRunLogOpensTheCurrentMirrorsLogOrSaysThereIsNone) {
  ScopedFolder trees;
  trees.writeFile("master/Photos/a.jpg", "a");
  trees.makeFolder("mirror/Photos");
  showFolders(trees / "master/Photos", trees / "mirror/Photos");
  window_->OpenRunLog->trigger();
  ASSERT_EQ(prompts_.messages.size(), 1);
  EXPECT_TRUE(prompts_.messages[0].contains(QStringLiteral("has no run log yet")));
  EXPECT_TRUE(prompts_.openedPages.isEmpty());
  click(window_->CompareBtn);
  const std::string log = window_->engine().runLogPath();
  ASSERT_FALSE(log.empty());
  window_->OpenRunLog->trigger();
  EXPECT_EQ(prompts_.openedPages, QStringList{QUrl::fromLocalFile(QString::fromStdString(log)).toString()});
}

// --- The folder-name dialog ----------------------------------------------------------------

TEST_F(MainFormTest, FolderNameDialogHasNoTitleBarButtons) {
  const Qt::WindowFlags flags = window_->ContinueForm->windowFlags();
  EXPECT_TRUE(flags & Qt::FramelessWindowHint) << "drawn without the window manager's buttons";
  EXPECT_FALSE(window_->ContinueForm->TitleBar->MinimiseBox->isVisibleTo(window_->ContinueForm));
  EXPECT_FALSE(window_->ContinueForm->TitleBar->CloseBox->isVisibleTo(window_->ContinueForm));
  EXPECT_EQ(window_->ContinueForm->TitleBar->caption(), window_->windowTitle());
}

}  // namespace
}  // namespace vardell::test
