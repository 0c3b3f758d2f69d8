// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The folder-name dialog.
#include "shell/continue_form.h"

#include "engine/version.h"
#include "shell/pictures.h"
#include "shell/shorten_path.h"
#include "shell/title_bar.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QWindow>

namespace vardell {
namespace {

QFont arial13(bool bold, bool italic) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(13);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

}  // namespace

TContinueForm::TContinueForm(QWidget* mainWindow) : QDialog(mainWindow) {
  setObjectName(QStringLiteral("TContinueForm"));
  // A dialog answered through its buttons only: a title, no title-bar buttons. Window
  // managers add their buttons to any framed window whatever the hints say (minimise would
  // hide the main window too, with no way back), so the dialog draws its own title bar,
  // as the main window does.
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setWindowTitle(QString::fromUtf8(kApplicationTitle));
  setFixedSize(kClientWidth, TTitleBar::kHeight + kClientHeight);
  TitleBar = new TTitleBar(this);
  TitleBar->setGeometry(0, 0, kClientWidth, TTitleBar::kHeight);
  TitleBar->setCaption(windowTitle());
  TitleBar->MinimiseBox->hide();
  TitleBar->CloseBox->hide();
  connect(TitleBar, &TTitleBar::dragStarted, this, [this](const QPoint& pressedAt) {
    dragOffset_ = pressedAt - pos();
    manualDrag_ = !(windowHandle() && windowHandle()->startSystemMove());
  });
  connect(TitleBar, &TTitleBar::leftDragged, this, [this](const QPoint& at) {
    if (manualDrag_) move(at - dragOffset_);  // no window manager to move the dialog
  });
  connect(TitleBar, &TTitleBar::leftReleased, this, [this] { manualDrag_ = false; });
  Client = new QWidget(this);
  Client->setGeometry(0, TTitleBar::kHeight, kClientWidth, kClientHeight);

  ContinueForm = new QLabel(Client);
  ContinueForm->setObjectName(QStringLiteral("ContinueForm"));
  ContinueForm->setFont(arial13(true, true));
  ContinueForm->move(2, 4);

  GroupBox1 = new QGroupBox(QStringLiteral("Action"), Client);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  QFont groupFont = GroupBox1->font();
  groupFont.setItalic(true);
  GroupBox1->setFont(groupFont);
  GroupBox1->setGeometry(4, 24, 289, 145);

  auto makeButton = [this](const char* name, const char* text, const char* hint, int top, const QIcon& icon) {
    auto* button = new QPushButton(QString::fromUtf8(text), Client);
    button->setObjectName(QString::fromUtf8(name));
    button->setToolTip(QString::fromUtf8(hint));
    button->setFont(arial13(false, false));
    button->setIcon(icon);
    button->setGeometry(24, top, 241, 30);
    button->setAutoDefault(false);
    return button;
  };
  BitBtn1 = makeButton("BitBtn1", "&Continue with different names", "Do it anyway", 40,
                       style()->standardIcon(QStyle::SP_DialogOkButton));
  BitBtn2 = makeButton("BitBtn2", "&Create folder, then continue", "Copies into the newly created directory", 84,
                       createFolderPicture());
  BitBtn3 = makeButton("BitBtn3", "&Cancel", "Don't do anything", 128,
                       style()->standardIcon(QStyle::SP_DialogCancelButton));
  BitBtn1->setDefault(true);  // Enter

  connect(BitBtn1, &QPushButton::clicked, this, [this] { done(int(NameAnswer::ContinueWithDifferentNames)); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { done(int(NameAnswer::CreateFolderThenContinue)); });
  connect(BitBtn3, &QPushButton::clicked, this, [this] { done(int(NameAnswer::Cancel)); });
}

void TContinueForm::setHeadingFolder(const QString& folder, const QString& volumeRoot, int width) {
  ContinueForm->setText(ShortenPath(folder, width, ContinueForm->font(), volumeRoot));
  ContinueForm->adjustSize();  // the label sizes itself to its text
}

void TContinueForm::reject() { done(int(NameAnswer::Cancel)); }

NameAnswer TContinueForm::answerOf(int resultCode) {
  switch (resultCode) {
    case int(NameAnswer::ContinueWithDifferentNames): return NameAnswer::ContinueWithDifferentNames;
    case int(NameAnswer::CreateFolderThenContinue): return NameAnswer::CreateFolderThenContinue;
    default: return NameAnswer::Cancel;
  }
}

void TContinueForm::prepareShowing() {
  setWindowTitle(QString::fromUtf8(kApplicationTitle));
  TitleBar->setCaption(windowTitle());
  if (QWidget* main = parentWidget()) {
    const QRect frame = main->frameGeometry();
    move(frame.center() - QPoint(width() / 2, height() / 2));
  }
  BitBtn1->setFocus();
}

NameAnswer TContinueForm::ask() {
  prepareShowing();
  return answerOf(exec());
}

}  // namespace vardell
