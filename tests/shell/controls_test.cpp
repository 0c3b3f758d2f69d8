// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The main window's controls: texts, tooltips and initial states, the drive and folder
// choosers, the Sync guard, the compare type's captions, Exit and the update button.
#include "tests/shell/shell_fixture.h"

#include "engine/version.h"
#include "shell/drive_chooser.h"
#include "shell/folder_list.h"
#include "shell/status_memo.h"
#include "shell/title_bar.h"
#include "update/web_file_info.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <filesystem>

namespace vardell::test {
namespace {

struct ControlRow {
  const char* name;
  const char* text;     // caption, title or button text
  const char* tooltip;
  bool enabled;
};

QString textOf(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
  return {};
}

TEST_F(MainFormTest, EveryControlHasItsTextTooltipAndInitialState) {
  const ControlRow rows[] = {
      {"Label1", "Master Folder", "", true},
      {"DriveComboBox1", "", "Master drive", true},
      {"DirectoryListBox1", "", "Master folder that will not be modified", true},
      {"Label2", "Mirror Folder", "", true},
      {"DriveComboBox2", "", "Mirror drive", true},
      {"DirectoryListBox2", "", "Mirror folder that will be synced with the Master folder", true},
      {"FilterGroup", "Folder/File filter", "", true},
      {"CompareType", "Compare type", "Comparison criteria", true},
      {"SubDirectoryCheckBox", "Include Subfolders", "Recursively traverse all subfolders", true},
      {"ProtectCBtn", "Don't modify Drive /", "Don't allow any changes to drive / (protection mechanism)", true},
      {"CaseChkBox", "Case sensitive names", "File and directory names are differrent if case doesn't match", true},
      {"VerifyCheckBox", "Verify after copy", "After a file is copied, a binary compare is performed", true},
      {"ActionBoxGroup", "Action", "", true},
      {"CompareBtn", "&Compare", "Identify mismatches between master and mirror folders", true},
      {"AbortBtn", "&Abort", "Abort current operation", false},
      {"CompLabel", "Status", "", true},
      {"Memo1", "", "Status window", true},
      {"FileStatusLabel", "Binary Compare Progress", "", false},
      {"OverallProgressLabel", "Overall Progress", "", false},
      {"GetNewBtn", "Check for update ", "https://vardell.org/update/vardell.html", true},
      {"ExitBtn", "&Exit", "Close the application", true},
  };
  for (const ControlRow& row : rows) {
    auto* w = window_->findChild<QWidget*>(QString::fromUtf8(row.name));
    ASSERT_NE(w, nullptr) << row.name;
    EXPECT_EQ(textOf(w), QString::fromUtf8(row.text)) << row.name;
    EXPECT_EQ(w->toolTip(), QString::fromUtf8(row.tooltip)) << row.name;
    EXPECT_EQ(w->isEnabled(), row.enabled) << row.name;
  }
  EXPECT_EQ(window_->ReplicateBtn->text(), QStringLiteral("&Sync"));
  EXPECT_EQ(window_->ReplicateBtn->toolTip(),
            window_->ReplicateBtn->isEnabled()
                ? QStringLiteral("Create replica of master directory in mirror folder")
                : QStringLiteral("The mirror is on the system volume and 'Don't modify Drive /' is checked"));
  EXPECT_FALSE(window_->VerifyCheckBox->isVisible());
  EXPECT_FALSE(window_->VerifyCheckBox->isChecked());
  EXPECT_TRUE(window_->SubDirectoryCheckBox->isChecked());
  EXPECT_TRUE(window_->ProtectCBtn->isChecked());
  EXPECT_FALSE(window_->CaseChkBox->isChecked());
  EXPECT_TRUE(window_->GetNewBtn->font().italic());
  EXPECT_TRUE(window_->GetNewBtn->font().underline());
  EXPECT_TRUE(window_->Label1->font().bold());
  EXPECT_FALSE(window_->CaseChkBox->font().bold()) << "a check box inside the bold group stays plain";
}

TEST_F(MainFormTest, CompareTypeChoicesStartAtSizeAndTime) {
  QStringList texts;
  for (QAbstractButton* choice : window_->CompareTypeButtons->buttons()) texts << choice->text();
  EXPECT_EQ(texts, (QStringList{"Size and Time", "Binary", "All of the above"}));
  EXPECT_EQ(window_->CompareTypeButtons->checkedId(), 0);
  EXPECT_EQ(window_->compareType(), CompareType::SizeAndTime);
}

TEST_F(MainFormTest, StatusWindowStartsWithTheHelpHintAndIsReadOnlyWithoutWrap) {
  EXPECT_EQ(window_->Memo1->lines(), (QStringList{"", "", "", "", " [F1] displays the helpfile", ""}));
  EXPECT_TRUE(window_->Memo1->isReadOnly());
  EXPECT_EQ(window_->Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(window_->Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(window_->Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(MainFormTest, ClientAreaStartsAt590By372BelowTheTitleBar) {
  EXPECT_EQ(window_->ClientArea->size(), QSize(590, 372));
  EXPECT_EQ(window_->clientHeight(), 372);
  EXPECT_EQ(window_->minimumSize(), window_->size()) << "the standard size is the smallest";
  EXPECT_EQ(window_->TitleBar->caption(), QString::fromUtf8(kApplicationTitle));
  // Every control lies inside the client area: nothing is clipped.
  for (QWidget* child : window_->ClientArea->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (!child->isVisible()) continue;
    EXPECT_TRUE(window_->ClientArea->rect().contains(child->geometry())) << child->objectName().toStdString();
  }
  // The status caption ends where the update button ends.
  EXPECT_EQ(window_->CompLabel->width(), 585);
  EXPECT_EQ(window_->GetNewBtn->geometry().right() + 1, 585);
}

TEST_F(MainFormTest, MirrorFolderListHasTheFocusAtStart) {
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  EXPECT_EQ(QApplication::focusWidget(), window_->DirectoryListBox2);
}

TEST_F(MainFormTest, PopupMenuOffersShowFormAndADisabledQuit) {
  const QList<QAction*> items = window_->PopupMenu1->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_EQ(items[0]->text(), QStringLiteral("Show Form"));
  EXPECT_TRUE(items[0]->isEnabled());
  EXPECT_EQ(items[1]->text(), QStringLiteral("Quit"));
  EXPECT_FALSE(items[1]->isEnabled());
  EXPECT_FALSE(items[1]->icon().isNull());
  EXPECT_EQ(window_->ClientArea->contextMenuPolicy(), Qt::CustomContextMenu);
}

TEST_F(MainFormTest, CompareTypeChoiceEnablesTheProgressCaptions) {
  QTest::mouseClick(window_->CompareTypeButtons->button(1), Qt::LeftButton, Qt::NoModifier, QPoint(7, 9));
  EXPECT_TRUE(window_->FileStatusLabel->isEnabled());
  EXPECT_TRUE(window_->OverallProgressLabel->isEnabled());
  QTest::mouseClick(window_->CompareTypeButtons->button(0), Qt::LeftButton, Qt::NoModifier, QPoint(7, 9));
  EXPECT_FALSE(window_->FileStatusLabel->isEnabled());
  EXPECT_FALSE(window_->OverallProgressLabel->isEnabled());
  QTest::mouseClick(window_->CompareTypeButtons->button(2), Qt::LeftButton, Qt::NoModifier, QPoint(7, 9));
  EXPECT_TRUE(window_->FileStatusLabel->isEnabled());
  EXPECT_TRUE(window_->OverallProgressLabel->isEnabled());
}

// --- The Sync guard ------------------------------------------------------------------

TEST_F(MainFormTest, SyncGuardMirrorOnSystemVolumeWithProtection) {
  ScopedFolder trees;  // below /tmp, on the volume mounted at "/"
  trees.makeFolder("master");
  trees.makeFolder("mirror");
  showFolders(trees / "master", trees / "mirror");
  ASSERT_TRUE(window_->ProtectCBtn->isChecked());
  EXPECT_FALSE(window_->ReplicateBtn->isEnabled());
  QTest::mouseClick(window_->ProtectCBtn, Qt::LeftButton);  // protection off
  EXPECT_TRUE(window_->ReplicateBtn->isEnabled());
  QTest::mouseClick(window_->ProtectCBtn, Qt::LeftButton);  // on again
  EXPECT_FALSE(window_->ReplicateBtn->isEnabled());
}

TEST_F(MainFormTest, SyncGuardMirrorOnAnotherVolumeKeepsSyncAvailable) {
  if (!std::filesystem::is_directory("/dev/shm") || ::access("/dev/shm", W_OK) != 0) GTEST_SKIP() << "no /dev/shm";
  ScopedFolder other("/dev/shm");  // its own file system
  ScopedFolder master;
  showFolders(master.path(), other.path());
  EXPECT_TRUE(window_->ProtectCBtn->isChecked());
  EXPECT_TRUE(window_->ReplicateBtn->isEnabled());
  // Moving the mirror list onto the system volume by typing applies the guard at once.
  window_->MirrorPathEdit->setText(QString::fromStdString(master.path()));
  QTest::keyClick(window_->MirrorPathEdit, Qt::Key_Return);
  EXPECT_EQ(window_->mirrorFolder(), master.path());
  EXPECT_FALSE(window_->ReplicateBtn->isEnabled());
}

// --- Drives and folders ------------------------------------------------------------------

TEST_F(MainFormTest, DriveWithoutMediumSaysNoDiskAndReturnsToTheShownDrive) {
  ScopedFolder trees;
  showFolders(trees.path(), trees.path());
  std::vector<Volume> volumes = window_->DriveComboBox1->volumes();
  Volume empty;
  empty.mountPoint = trees / "no-medium-here";  // nothing can be listed there
  empty.tag = "card";
  volumes.push_back(empty);
  window_->DriveComboBox1->setVolumes(volumes);
  window_->DirectoryListBox1->setVolumes(window_->DriveComboBox1->mountPoints());
  const std::string before = window_->masterFolder();
  const int cardIndex = int(volumes.size()) - 1;
  window_->DriveComboBox1->setCurrentIndex(cardIndex);
  emit window_->DriveComboBox1->activated(cardIndex);
  EXPECT_EQ(prompts_.messages, (QStringList{QString::fromUtf8(kApplicationTitle) + "|No disk in drive"}));
  EXPECT_EQ(window_->DriveComboBox1->Drive(), window_->DirectoryListBox1->Drive());
  EXPECT_EQ(window_->masterFolder(), before);
}

TEST_F(MainFormTest, FolderListShowsThePathDownFromTheRootThenSubfolders) {
  ScopedFolder trees;
  trees.makeFolder("top/b-sub");
  trees.makeFolder("top/A-sub");
  trees.writeFile("top/file.txt", "x");
  ::symlink((trees / "top/b-sub").c_str(), (trees / "top/link-to-folder").c_str());
  ASSERT_TRUE(window_->setMasterFolder(trees / "top"));
  TDirectoryListBox* list = window_->DirectoryListBox1;
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  QStringList expected{"/"};
  for (const auto& part : std::filesystem::path(trees / "top").relative_path()) expected << QString::fromStdString(part);
  expected << "A-sub" << "b-sub";  // folders only, sorted; a link to a folder is not followed
  EXPECT_EQ(texts, expected);
  EXPECT_EQ(list->currentItem()->text(), QStringLiteral("top"));
  // A double-click opens a subfolder, and one on an upper folder goes back up.
  emit list->itemActivated(list->item(list->count() - 1));
  EXPECT_EQ(list->Directory(), trees / "top/b-sub");
  EXPECT_EQ(window_->MasterPathEdit->text(), QString::fromStdString(trees / "top/b-sub"));
  emit list->itemActivated(list->item(0));
  EXPECT_EQ(list->Directory(), "/");
}

TEST_F(MainFormTest, TypedPathIsTakenAndABadOneIsRefusedWithAMessage) {
  ScopedFolder trees;
  trees.makeFolder("typed");
  window_->MasterPathEdit->setText(QString::fromStdString(trees / "typed"));
  QTest::keyClick(window_->MasterPathEdit, Qt::Key_Return);
  EXPECT_EQ(window_->masterFolder(), trees / "typed");
  EXPECT_TRUE(prompts_.messages.isEmpty());

  window_->MasterPathEdit->setText(QString::fromStdString(trees / "missing"));
  QTest::keyClick(window_->MasterPathEdit, Qt::Key_Return);
  ASSERT_EQ(prompts_.messages.size(), 1);
  EXPECT_TRUE(prompts_.messages[0].contains(QString::fromStdString("The folder " + trees / "missing" + " does not exist")));
  EXPECT_EQ(window_->masterFolder(), trees / "typed");
  EXPECT_EQ(window_->MasterPathEdit->text(), QString::fromStdString(trees / "typed")) << "the edit shows the list's folder again";

  window_->MasterPathEdit->setText(QStringLiteral("relative/path"));
  QTest::keyClick(window_->MasterPathEdit, Qt::Key_Return);
  ASSERT_EQ(prompts_.messages.size(), 2);
  EXPECT_TRUE(prompts_.messages[1].endsWith(QStringLiteral("Type a full path, beginning with /")));
}

// --- Exit and the update button ------------------------------------------------------------

TEST_F(MainFormTest, ExitAddsItsLineSavesAndCloses) {
  int saves = 0;
  window_->setSettingsSaver([&] {
    ++saves;
    return true;
  });
  click(window_->ExitBtn);
  EXPECT_EQ(saves, 1);
  EXPECT_TRUE(statusLines().contains(QStringLiteral("ExitBtnClick called ")));
  EXPECT_FALSE(window_->isVisible());
  EXPECT_FALSE(window_->trayIconShown());
}

TEST_F(MainFormTest, CloseBoxWhenIdleClosesWithoutSaving) {
  int saves = 0;
  window_->setSettingsSaver([&] {
    ++saves;
    return true;
  });
  click(window_->TitleBar->CloseBox);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(saves, 0);
  EXPECT_FALSE(statusLines().contains(QStringLiteral("ExitBtnClick called ")));
}

TEST_F(MainFormTest, UpdateButtonRunsTheUpdateCheckThroughItsPrompts) {
  HostLookup offline;
  offline.localHostName = [] { return std::string("here"); };
  offline.addressesOf = [](const std::string&) { return std::vector<std::string>{"127.0.0.1"}; };
  window_->WebFileInfo1->SetHostLookup(offline);
  click(window_->GetNewBtn);
  ASSERT_EQ(updatePrompts_.boxes.size(), 1);
  EXPECT_TRUE(updatePrompts_.boxes[0].endsWith(QStringLiteral("You must first connect to the internet")));
  EXPECT_EQ(window_->WebFileInfo1->HomeURL(), QStringLiteral("https://vardell.org/update/vardell.html"));
}

}  // namespace
}  // namespace vardell::test
