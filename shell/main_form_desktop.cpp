// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// What a desktop user expects of the main window beyond its classic controls: a window that
// can be resized, a folder dialog in each path field, the run log one click away, names
// for screen readers, colours readable in any theme and a window that is never stranded
// off screen.
#include "shell/main_form.h"

#include "shell/drive_chooser.h"
#include "shell/folder_list.h"
#include "shell/readable_colours.h"
#include "shell/screen_placement.h"
#include "shell/status_memo.h"
#include "shell/title_bar.h"
#include "shell/window_prompts.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSizeGrip>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

namespace vardell {
namespace {

constexpr int kGripSize = 14;

QString qs(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

void TMainForm::addDesktopControls() {
  auto* grip = new QSizeGrip(ClientArea);
  grip->setObjectName(QStringLiteral("SizeGrip"));
  grip->setGeometry(kClientWidth - kGripSize, kClientHeight - kGripSize, kGripSize, kGripSize);
  grip->setToolTip(QStringLiteral("Drag to resize the window"));

  addFolderDialog(MasterPathEdit, DirectoryListBox1, DriveComboBox1, QStringLiteral("master"));
  addFolderDialog(MirrorPathEdit, DirectoryListBox2, DriveComboBox2, QStringLiteral("mirror"));

  OpenRunLog = new QAction(QStringLiteral("Open run log"), this);
  OpenRunLog->setObjectName(QStringLiteral("OpenRunLog"));
  connect(OpenRunLog, &QAction::triggered, this, &TMainForm::openRunLog);
  Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Memo1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    QMenu* menu = Memo1->createStandardContextMenu(pos);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->addAction(OpenRunLog);
    menu->popup(Memo1->viewport()->mapToGlobal(pos));
  });

  // The folder lists share the extra width and take a third of the extra height; the
  // status window takes the rest; the right-hand column and the bottom row follow the edges.
  const Stretch fixed{}, right{1, 0, 0, 0}, leftHalf{0, 0, 0.5, 0}, rightHalf{0.5, 0, 0.5, 0};
  const std::pair<QWidget*, Stretch> places[] = {
      {Label1, fixed},
      {DriveComboBox1, leftHalf},
      {MasterPathEdit, leftHalf},
      {DirectoryListBox1, {0, 0, 0.5, 1.0 / 3}},
      {Label2, {0.5, 0, 0, 0}},
      {DriveComboBox2, rightHalf},
      {MirrorPathEdit, rightHalf},
      {DirectoryListBox2, {0.5, 0, 0.5, 1.0 / 3}},
      {FilterGroup, right},
      {GetNewBtn, right},
      {CompLabel, {0, 1.0 / 3, 1, 0}},
      {Memo1, {0, 1.0 / 3, 1, 2.0 / 3}},
      {ActionBoxGroup, {1, 1.0 / 3, 0, 0}},
      {FileStatusLabel, {0, 1, 0.5, 0}},
      {ProgressBar, {0, 1, 0.5, 0}},
      {OverallProgressLabel, {0.5, 1, 0.5, 0}},
      {OverallProgressBar, {0.5, 1, 0.5, 0}},
      {ExitBtn, {1, 1, 0, 0}},
      {grip, {1, 1, 0, 0}},
  };
  for (const auto& [control, stretch] : places) stretch_.add(control, stretch);

  setAccessibleNames();
  applyThemeColours();
}

void TMainForm::addFolderDialog(QLineEdit* edit, TDirectoryListBox* list, TDriveComboBox* chooser, const QString& side) {
  QAction* browse = edit->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
  browse->setObjectName(edit->objectName() + QStringLiteral("Browse"));
  browse->setText(QStringLiteral("Choose the %1 folder").arg(side));
  browse->setToolTip(QStringLiteral("Choose the %1 folder in a folder dialog").arg(side));
  connect(browse, &QAction::triggered, this, [this, edit, list, chooser, side] {
    const QString chosen = prompts_.chooseFolder(QStringLiteral("Choose the %1 folder").arg(side), displayPath(list->Directory()));
    if (chosen.isEmpty()) return;
    // Taken as a typed path is, with the same refusal when the list cannot show it.
    edit->setText(chosen);
    takeTypedFolder(list, chooser, edit);
  });
}

void TMainForm::setAccessibleNames() {
  const std::pair<QWidget*, const char*> names[] = {
      {DriveComboBox1, "Master drive"},
      {MasterPathEdit, "Master folder path"},
      {DirectoryListBox1, "Master folder list"},
      {DriveComboBox2, "Mirror drive"},
      {MirrorPathEdit, "Mirror folder path"},
      {DirectoryListBox2, "Mirror folder list"},
      {FilterGroup, "Folder/File filter"},
      {CompareType, "Compare type"},
      {ActionBoxGroup, "Action"},
      {Memo1, "Status window"},
      {ProgressBar, "Binary Compare Progress"},
      {OverallProgressBar, "Overall Progress"},
      {GetNewBtn, "Check for update"},
      {TitleBar->MinimiseBox, "Minimise"},
      {TitleBar->CloseBox, "Close"},
      {ClientArea->findChild<QSizeGrip*>(), "Resize the window"},
  };
  for (const auto& [control, name] : names) control->setAccessibleName(QString::fromUtf8(name));
  // Buttons, check boxes and labels are named by their visible text, without its "&".
  for (QWidget* control : findChildren<QWidget*>()) {
    if (!control->accessibleName().isEmpty()) continue;
    QString text;
    if (auto* button = qobject_cast<QAbstractButton*>(control)) text = button->text();
    if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
    text.remove(QLatin1Char('&'));
    if (!text.trimmed().isEmpty()) control->setAccessibleName(text.trimmed());
  }
  TitleBar->setAccessibleName(QStringLiteral("Title bar"));
}

void TMainForm::applyThemeColours() {
  const QColor background = palette().color(QPalette::Window);
  const QColor link = readableOn(QColor(0x00, 0x00, 0xFF), background);
  if (link == linkColour_) return;  // a style sheet set below changes the palette again
  linkColour_ = link;
  GetNewBtn->setStyleSheet(QStringLiteral("QPushButton { color: %1; border: none; text-align: left; }"
                                          "QPushButton:disabled { color: %2; }")
                               .arg(link.name(), readableOn(QColor(0x80, 0x80, 0xC0), background).name()));
  // The hover tint of the command buttons is a touch of the theme's highlight on its
  // background, so the theme's text stays readable on it.
  const QColor highlight = palette().color(QPalette::Highlight);
  const QColor hover = QColor::fromRgbF(background.redF() * 0.8 + highlight.redF() * 0.2,
                                        background.greenF() * 0.8 + highlight.greenF() * 0.2,
                                        background.blueF() * 0.8 + highlight.blueF() * 0.2);
  const QString commandStyle = QStringLiteral("QPushButton { text-align: left; padding-left: 10px; }"
                                              "QPushButton:hover { background: %1; }")
                                   .arg(hover.name());
  for (QPushButton* command : {CompareBtn, ReplicateBtn, AbortBtn, ExitBtn}) command->setStyleSheet(commandStyle);
}

void TMainForm::bringOntoScreen() {
  QList<QRect> screens;
  for (const QScreen* screen : QGuiApplication::screens()) screens << screen->availableGeometry();
  const QRect frame = frameGeometry();
  const QPoint reachable = reachablePosition(frame, TTitleBar::kHeight, screens);
  if (reachable != frame.topLeft()) move(reachable + (pos() - frame.topLeft()));
}

void TMainForm::allowResizing() {
  setMinimumSize(kClientWidth, TTitleBar::kHeight + kClientHeight);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  TitleBar->setGeometry(0, 0, width(), TTitleBar::kHeight);
  // The roll-up's heights only clip the client area, which keeps its full height.
  rollUp_.setFullClientHeight(clientHeight());
  ClientArea->setGeometry(0, TTitleBar::kHeight, width(), rollUp_.FullClientHeight);
  placeStretchedControls();
  if (shownOnce_ && rollUp_.atFullHeight()) applyOutline();
}

void TMainForm::placeStretchedControls() {
  stretch_.apply(width() - kClientWidth, rollUp_.FullClientHeight - kClientHeight);
}

QSize TMainForm::fullSize() const { return {width(), TTitleBar::kHeight + rollUp_.FullClientHeight}; }

void TMainForm::restoreSize(int width, int height) {
  if (width <= 0 || height <= 0) return;  // an older settings file: the standard size
  if (!rollUp_.atFullHeight()) return;
  resize(std::max(width, kClientWidth), std::max(height, TTitleBar::kHeight + kClientHeight));
}

void TMainForm::openRunLog() {
  const std::string mirror = DirectoryListBox2->Directory();
  SyncEngine& engine = *engine_.engine;
  const std::string name = engine.runLogFileName(mirror);
  for (const std::string& folder : engine.runLogFolders()) {
    const std::string path = folder + name;
    if (!browseFs_->fileExists(path)) continue;
    if (!prompts_.openUrl(QUrl::fromLocalFile(qs(path)))) {
      prompts_.showMessage(MessageKind::Warning, windowTitle(), QStringLiteral("No program opened the run log ") + qs(path));
    }
    return;
  }
  prompts_.showMessage(MessageKind::Information, windowTitle(),
                       QStringLiteral("The mirror folder %1 has no run log yet: a Compare or Sync writes it.")
                           .arg(displayPath(mirror)));
}

}  // namespace vardell
