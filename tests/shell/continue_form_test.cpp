// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The folder-name dialog: its texts, hints and places, its three answers, Enter and
// Escape, and its heading tied to the mirror folder list.
#include "tests/shell/shell_fixture.h"

#include "engine/version.h"
#include "shell/continue_form.h"
#include "shell/folder_list.h"
#include "shell/title_bar.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWidget>

namespace vardell::test {
namespace {

struct ButtonRow {
  const char* name;
  const char* text;
  const char* hint;
  QRect place;
  int answer;
};

TEST(ContinueForm, ButtonsHaveTheirTextsHintsPlacesAndAnswers) {
  TContinueForm form;
  const ButtonRow rows[] = {
      {"BitBtn1", "&Continue with different names", "Do it anyway", QRect(24, 40, 241, 30), 1},
      {"BitBtn2", "&Create folder, then continue", "Copies into the newly created directory", QRect(24, 84, 241, 30), 6},
      {"BitBtn3", "&Cancel", "Don't do anything", QRect(24, 128, 241, 30), 2},
  };
  for (const ButtonRow& row : rows) {
    auto* button = form.findChild<QPushButton*>(QString::fromUtf8(row.name));
    ASSERT_NE(button, nullptr) << row.name;
    EXPECT_EQ(button->text(), QString::fromUtf8(row.text));
    EXPECT_EQ(button->toolTip(), QString::fromUtf8(row.hint));
    EXPECT_EQ(button->geometry(), row.place) << row.name;
    EXPECT_EQ(button->font().pixelSize(), 13);
    EXPECT_FALSE(button->icon().isNull()) << row.name;

    form.prepareShowing();
    form.open();  // shown without waiting on it
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), row.answer) << row.name;
    EXPECT_EQ(int(TContinueForm::answerOf(form.result())), row.answer);
  }
  EXPECT_EQ(form.Client->size(), QSize(298, 175));
  EXPECT_EQ(form.Client->y(), form.TitleBar->height()) << "below its own title bar";
  EXPECT_EQ(form.GroupBox1->title(), QStringLiteral("Action"));
  EXPECT_EQ(form.GroupBox1->geometry(), QRect(4, 24, 289, 145));
  EXPECT_TRUE(form.GroupBox1->font().italic());
  EXPECT_TRUE(form.ContinueForm->font().bold() && form.ContinueForm->font().italic());
  EXPECT_EQ(form.ContinueForm->font().pixelSize(), 13);
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8(kApplicationTitle));
  EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint) << "no title-bar buttons";
  EXPECT_FALSE(form.windowFlags() & Qt::WindowSystemMenuHint);
  EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint) << "no window manager's buttons either";
}

TEST(ContinueForm, EnterContinuesAndEscapeCancels) {
  TContinueForm form;
  form.prepareShowing();
  form.open();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QTest::keyClick(&form, Qt::Key_Return);
  EXPECT_EQ(form.result(), int(NameAnswer::ContinueWithDifferentNames));

  form.open();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), int(NameAnswer::Cancel));
  EXPECT_EQ(TContinueForm::answerOf(QDialog::Rejected), NameAnswer::Cancel);
}

TEST_F(MainFormTest, ContinueFormHeadingFollowsTheMirrorFolderList) {
  ScopedFolder trees;
  trees.makeFolder("first");
  trees.makeFolder(std::string(60, 'n') + "/second");
  ASSERT_TRUE(window_->setMirrorFolder(trees / "first"));
  EXPECT_TRUE(window_->ContinueForm->ContinueForm->text().endsWith(QStringLiteral("/first")));
  ASSERT_TRUE(window_->setMirrorFolder(trees / (std::string(60, 'n') + "/second")));
  const QString heading = window_->ContinueForm->ContinueForm->text();
  EXPECT_TRUE(heading.startsWith(QStringLiteral("/.../"))) << heading.toStdString();
  EXPECT_TRUE(heading.endsWith(QStringLiteral("/second")));
  EXPECT_LE(window_->ContinueForm->ContinueForm->width(), window_->DirectoryListBox2->width())
      << "the label sizes itself to its shortened text";
}

TEST_F(MainFormTest, ContinueFormIsCentredOnTheMainWindow) {
  window_->ContinueForm->prepareShowing();
  const QPoint centre = window_->ContinueForm->geometry().center();
  EXPECT_LE((centre - window_->frameGeometry().center()).manhattanLength(), 2);
}

}  // namespace
}  // namespace vardell::test
