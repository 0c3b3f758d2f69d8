// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The main window: its controls, its handlers and its side of every run.
#include "shell/main_form.h"

#include "engine/version.h"
#include "platform/volumes.h"
#include "shell/continue_form.h"
#include "shell/drive_chooser.h"
#include "shell/folder_list.h"
#include "shell/pictures.h"
#include "shell/shorten_path.h"
#include "shell/status_memo.h"
#include "shell/title_bar.h"
#include "shell/window_prompts.h"
#include "update/main_window_update.h"
#include "update/web_file_info.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegion>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <QKeyEvent>
#include <QUrl>

#include <cstdio>
#include <tuple>
#include <utility>

namespace vardell {
namespace {

const QString kTitle = QString::fromUtf8(kApplicationTitle);
const char* const kSyncHint = "Create replica of master directory in mirror folder";
// Pending events are handled at most this often during a run: often enough for Abort,
// the 10 ms roll-up and painting, rarely enough that a fast walk is not slowed.
constexpr qint64 kPumpIntervalNs = 4'000'000;

QString qs(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

qint64 monotonicNs() {
  static QElapsedTimer clock = [] {
    QElapsedTimer started;
    started.start();
    return started;
  }();
  return clock.nsecsElapsed();
}

QFont boldFont(QFont font) {
  font.setBold(true);
  return font;
}

}  // namespace

TMainForm::TMainForm(const ShellConfig& config, WindowPrompts& prompts, UpdatePrompts* updatePrompts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint),
      prompts_(prompts), updatePrompts_(updatePrompts), browseFs_(makePosixFileSystem()),
      batchRun_(config.commandLine.armsBatchTimer()),
      folderQuestionSkipped_(config.commandLine.present) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(kTitle);
  setWindowIcon(applicationIcon());
  buildControls();
  connectHandlers();
  engine_ = makeWindowEngine(*this, config);

  refreshVolumes();
  const std::string start = browseFs_->fullPath(".");
  setMasterFolder(start);
  if (!setMirrorFolder(start)) setMirrorFolder("/");
  DriveComboBox2Change();  // the guard holds from the start
  DirectoryListBox2->setFocus();
}

TMainForm::~TMainForm() = default;

void TMainForm::buildControls() {
  setMinimumSize(kClientWidth, TTitleBar::kHeight + kClientHeight);
  resize(minimumSize());
  TitleBar = new TTitleBar(this);
  TitleBar->setGeometry(0, 0, kClientWidth, TTitleBar::kHeight);
  TitleBar->setCaption(kTitle);

  ClientArea = new QWidget(this);
  ClientArea->setObjectName(QStringLiteral("ClientArea"));
  ClientArea->setGeometry(0, TTitleBar::kHeight, kClientWidth, kClientHeight);
  ClientArea->setAutoFillBackground(true);
  QFont font = ClientArea->font();
  font.setPixelSize(12);
  font.setBold(false);  // set explicitly, so controls inside bold group boxes stay plain
  font.setItalic(false);
  ClientArea->setFont(font);
  const QFont normal = font;

  auto named = [](QWidget* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
  };

  // Master side.
  Label1 = new QLabel(QStringLiteral("Master Folder"), ClientArea);
  named(Label1, "Label1")->setGeometry(6, 4, 200, 16);
  Label1->setFont(boldFont(normal));
  DriveComboBox1 = new TDriveComboBox(ClientArea);
  named(DriveComboBox1, "DriveComboBox1")->setGeometry(6, 20, 200, 22);
  DriveComboBox1->setToolTip(QStringLiteral("Master drive"));
  MasterPathEdit = new QLineEdit(ClientArea);
  named(MasterPathEdit, "MasterPathEdit")->setGeometry(6, 44, 200, 20);
  MasterPathEdit->setToolTip(QStringLiteral("Master folder: type or paste a path and press Enter"));
  DirectoryListBox1 = new TDirectoryListBox(*browseFs_, ClientArea);
  named(DirectoryListBox1, "DirectoryListBox1")->setGeometry(6, 66, 200, 112);
  DirectoryListBox1->setToolTip(QStringLiteral("Master folder that will not be modified"));

  // Mirror side.
  Label2 = new QLabel(QStringLiteral("Mirror Folder"), ClientArea);
  named(Label2, "Label2")->setGeometry(212, 4, 200, 16);
  Label2->setFont(boldFont(normal));
  DriveComboBox2 = new TDriveComboBox(ClientArea);
  named(DriveComboBox2, "DriveComboBox2")->setGeometry(212, 20, 200, 22);
  DriveComboBox2->setToolTip(QStringLiteral("Mirror drive"));
  MirrorPathEdit = new QLineEdit(ClientArea);
  named(MirrorPathEdit, "MirrorPathEdit")->setGeometry(212, 44, 200, 20);
  MirrorPathEdit->setToolTip(QStringLiteral("Mirror folder: type or paste a path and press Enter"));
  DirectoryListBox2 = new TDirectoryListBox(*browseFs_, ClientArea);
  named(DirectoryListBox2, "DirectoryListBox2")->setGeometry(212, 66, 200, 112);
  DirectoryListBox2->setToolTip(QStringLiteral("Mirror folder that will be synced with the Master folder"));

  // Options.
  FilterGroup = new QGroupBox(QStringLiteral("Folder/File filter"), ClientArea);
  named(FilterGroup, "FilterGroup")->setGeometry(418, 0, 167, 160);
  FilterGroup->setFont(boldFont(normal));
  CompareType = new QGroupBox(QStringLiteral("Compare type"), FilterGroup);
  named(CompareType, "CompareType")->setGeometry(6, 16, 155, 72);
  CompareType->setFont(normal);
  CompareType->setToolTip(QStringLiteral("Comparison criteria"));
  CompareTypeButtons = new QButtonGroup(this);
  const char* const choices[] = {"Size and Time", "Binary", "All of the above"};
  for (int i = 0; i < 3; ++i) {
    auto* choice = new QRadioButton(QString::fromUtf8(choices[i]), CompareType);
    choice->setObjectName(QStringLiteral("CompareType%1").arg(i));
    choice->setGeometry(8, 16 + 18 * i, 144, 18);
    choice->setToolTip(CompareType->toolTip());
    CompareTypeButtons->addButton(choice, i);
  }
  CompareTypeButtons->button(0)->setChecked(true);
  auto makeCheck = [&](const char* name, const QString& text, const char* tip, int top, bool on) {
    auto* box = new QCheckBox(text, FilterGroup);
    named(box, name)->setGeometry(6, top, 158, 18);
    box->setFont(normal);
    box->setToolTip(QString::fromUtf8(tip));
    box->setChecked(on);
    return box;
  };
  const QString systemName = QStringLiteral("/");
  SubDirectoryCheckBox =
      makeCheck("SubDirectoryCheckBox", QStringLiteral("Include Subfolders"), "Recursively traverse all subfolders", 92, true);
  ProtectCBtn = makeCheck("ProtectCBtn", QStringLiteral("Don't modify Drive ") + systemName,
                          "Don't allow any changes to drive / (protection mechanism)", 110, true);
  CaseChkBox = makeCheck("CaseChkBox", QStringLiteral("Case sensitive names"),
                         "File and directory names are differrent if case doesn't match", 128, false);
  VerifyCheckBox = makeCheck("VerifyCheckBox", QStringLiteral("Verify after copy"),
                             "After a file is copied, a binary compare is performed", 146, false);
  VerifyCheckBox->hide();  // verification after copy stays off: the user cannot reach it

  GetNewBtn = new QPushButton(QStringLiteral("Check for update "), ClientArea);
  named(GetNewBtn, "GetNewBtn")->setGeometry(418, 161, 167, 20);
  GetNewBtn->setFlat(true);
  GetNewBtn->setIcon(updatePicture());
  GetNewBtn->setCursor(Qt::PointingHandCursor);
  GetNewBtn->setToolTip(kProductHomeURL);
  QFont link = normal;
  link.setItalic(true);
  link.setUnderline(true);
  GetNewBtn->setFont(link);
  // A build that a package manager updates offers no download of its own.
  if (!updateCheckOffered()) GetNewBtn->hide();

  // The status caption, the status window and the progress bars.
  CompLabel = new QLabel(QStringLiteral("Status"), ClientArea);
  named(CompLabel, "CompLabel")->setGeometry(2, 182, kStatusCaptionWidth, 16);
  Memo1 = new TStatusMemo(ClientArea);
  named(Memo1, "Memo1")->setGeometry(6, 200, 406, 124);
  Memo1->setToolTip(QStringLiteral("Status window"));
  FileStatusLabel = new QLabel(QStringLiteral("Binary Compare Progress"), ClientArea);
  named(FileStatusLabel, "FileStatusLabel")->setGeometry(6, 327, 200, 16);
  FileStatusLabel->setEnabled(false);
  ProgressBar = new QProgressBar(ClientArea);
  named(ProgressBar, "ProgressBar")->setGeometry(6, 344, 200, 16);
  OverallProgressLabel = new QLabel(QStringLiteral("Overall Progress"), ClientArea);
  named(OverallProgressLabel, "OverallProgressLabel")->setGeometry(212, 327, 200, 16);
  OverallProgressLabel->setEnabled(false);
  OverallProgressBar = new QProgressBar(ClientArea);
  named(OverallProgressBar, "OverallProgressBar")->setGeometry(212, 344, 200, 16);
  for (QProgressBar* bar : {ProgressBar, OverallProgressBar}) {
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
  }

  // Commands.
  ActionBoxGroup = new QGroupBox(QStringLiteral("Action"), ClientArea);
  named(ActionBoxGroup, "ActionBoxGroup")->setGeometry(418, 198, 167, 126);
  ActionBoxGroup->setFont(boldFont(normal));
  auto makeCommand = [&](QWidget* parent, const char* name, const char* text, const char* tip, const QIcon& icon,
                         const QRect& place) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    named(button, name)->setGeometry(place);
    button->setFont(normal);
    button->setToolTip(QString::fromUtf8(tip));
    button->setIcon(icon);
    button->setIconSize(QSize(20, 20));
    button->setFlat(true);
    return button;
  };
  CompareBtn = makeCommand(ActionBoxGroup, "CompareBtn", "&Compare", "Identify mismatches between master and mirror folders",
                           comparePicture(), QRect(8, 18, 151, 32));
  ReplicateBtn = makeCommand(ActionBoxGroup, "ReplicateBtn", "&Sync", kSyncHint, syncPicture(), QRect(8, 52, 151, 32));
  AbortBtn = makeCommand(ActionBoxGroup, "AbortBtn", "&Abort", "Abort current operation", abortPicture(),
                         QRect(8, 86, 151, 32));
  AbortBtn->setEnabled(false);
  ExitBtn = makeCommand(ClientArea, "ExitBtn", "&Exit", "Close the application", exitPicture(), QRect(426, 330, 151, 32));

  // The menu of the tray icon and the client area.
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  ShowForm = PopupMenu1->addAction(QStringLiteral("Show Form"));
  ShowForm->setObjectName(QStringLiteral("ShowForm"));
  Quit = PopupMenu1->addAction(quitPicture(), QStringLiteral("Quit"));
  Quit->setObjectName(QStringLiteral("Quit"));
  Quit->setEnabled(false);
  ClientArea->setContextMenuPolicy(Qt::CustomContextMenu);

  RollUpTimer = new QTimer(this);
  RollUpTimer->setObjectName(QStringLiteral("RollUpTimer"));
  RollUpTimer->setInterval(kRollUpIntervalMs);
  StatusCaptionTimer = new QTimer(this);
  StatusCaptionTimer->setObjectName(QStringLiteral("StatusCaptionTimer"));
  StatusCaptionTimer->setInterval(kStatusCaptionIntervalMs);

  WebFileInfo1 = new TWebFileInfo(this);
  WebFileInfo1->setObjectName(QStringLiteral("WebFileInfo1"));
  configureWebFileInfo1(*WebFileInfo1);
  if (updatePrompts_) WebFileInfo1->SetPrompts(updatePrompts_);

  TrayIcon = new QSystemTrayIcon(applicationIcon(), this);
  TrayIcon->setToolTip(kTitle);
  TrayIcon->setContextMenu(PopupMenu1);

  ContinueForm = new TContinueForm(this);
  addDesktopControls();
}

void TMainForm::connectHandlers() {
  connect(DriveComboBox1, &QComboBox::activated, this, [this] {
    DriveComboBox1Click();
    if (DriveComboBox1->Drive() != DirectoryListBox1->Drive()) DriveComboBox1Change();
  });
  connect(DriveComboBox2, &QComboBox::activated, this, [this] {
    DriveComboBox2Click();
    if (DriveComboBox2->Drive() != DirectoryListBox2->Drive()) DriveComboBox2Change();
  });
  connect(ProtectCBtn, &QCheckBox::clicked, this, [this] { DriveComboBox2Change(); });
  connect(CompareTypeButtons, &QButtonGroup::idClicked, this, [this] { CompareTypeClick(); });
  connect(CompareBtn, &QPushButton::clicked, this, &TMainForm::CompareBtnClick);
  connect(ReplicateBtn, &QPushButton::clicked, this, &TMainForm::ReplicateBtnClick);
  connect(AbortBtn, &QPushButton::clicked, this, &TMainForm::AbortBtnClick);
  connect(ExitBtn, &QPushButton::clicked, this, &TMainForm::ExitBtnClick);
  connect(GetNewBtn, &QPushButton::clicked, this, &TMainForm::GetNewBtnClick);
  connect(ShowForm, &QAction::triggered, this, &TMainForm::ShowFormClick);
  connect(Quit, &QAction::triggered, this, &TMainForm::QuitClick);
  connect(RollUpTimer, &QTimer::timeout, this, &TMainForm::RollUpTimerTimer);
  connect(StatusCaptionTimer, &QTimer::timeout, this, &TMainForm::StatusCaptionTimerTimer);
  connect(ClientArea, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(ClientArea->mapToGlobal(pos)); });
  connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) ShowFormClick();
  });

  connect(MasterPathEdit, &QLineEdit::returnPressed, this,
          [this] { takeTypedFolder(DirectoryListBox1, DriveComboBox1, MasterPathEdit); });
  connect(MirrorPathEdit, &QLineEdit::returnPressed, this,
          [this] { takeTypedFolder(DirectoryListBox2, DriveComboBox2, MirrorPathEdit); });
  connect(DirectoryListBox1, &TDirectoryListBox::directoryChanged, this, [this] {
    showFolderInEdit(DirectoryListBox1, MasterPathEdit);
    showDriveOf(DirectoryListBox1, DriveComboBox1);
  });
  connect(DirectoryListBox2, &TDirectoryListBox::directoryChanged, this, [this] {
    showFolderInEdit(DirectoryListBox2, MirrorPathEdit);
    showDriveOf(DirectoryListBox2, DriveComboBox2);
    ContinueForm->setHeadingFolder(displayPath(DirectoryListBox2->Directory()),
                                   displayPath(DirectoryListBox2->Drive()), DirectoryListBox2->width());
    if (!running_) applySyncGuard();
  });
  for (TDirectoryListBox* list : {DirectoryListBox1, DirectoryListBox2}) {
    connect(list, &TDirectoryListBox::vanished, this, &TMainForm::noteVanishedFolder);
    connect(list, &TDirectoryListBox::dropRefused, this,
            [this](const QString& reason) { prompts_.showMessage(MessageKind::Warning, kTitle, reason); });
  }

  connect(TitleBar, &TTitleBar::dragStarted, this, &TMainForm::startDrag);
  connect(TitleBar, &TTitleBar::leftDragged, this, &TMainForm::dragTo);
  connect(TitleBar, &TTitleBar::leftReleased, this, [this] { dragging_ = false; });
  connect(TitleBar, &TTitleBar::pointerMoved, this, &TMainForm::RestoreOpacity);
  connect(TitleBar, &TTitleBar::rightPressed, this, &TMainForm::titleRightPressed);
  connect(TitleBar->MinimiseBox, &QToolButton::clicked, this, [this] { showMinimized(); });
  connect(TitleBar->CloseBox, &QToolButton::clicked, this, [this] { close(); });
}

std::vector<QWidget*> TMainForm::controls() const {
  std::vector<QWidget*> all{Label1, DriveComboBox1, MasterPathEdit, DirectoryListBox1, Label2, DriveComboBox2,
                            MirrorPathEdit, DirectoryListBox2, FilterGroup, CompareType};
  for (QAbstractButton* choice : CompareTypeButtons->buttons()) all.push_back(choice);
  for (QWidget* w : std::initializer_list<QWidget*>{SubDirectoryCheckBox, ProtectCBtn, CaseChkBox, VerifyCheckBox,
                                                    ActionBoxGroup, CompareBtn, ReplicateBtn, AbortBtn, CompLabel, Memo1,
                                                    FileStatusLabel, ProgressBar, OverallProgressLabel,
                                                    OverallProgressBar, GetNewBtn, ExitBtn}) {
    all.push_back(w);
  }
  return all;
}

// ---------------------------------------------------------------------------------------
// Volumes and folders

void TMainForm::refreshVolumes() {
  std::vector<Volume> volumes = listVolumes();
  bool haveRoot = false;
  for (const Volume& v : volumes) haveRoot = haveRoot || v.mountPoint == "/";
  if (!haveRoot) volumes.insert(volumes.begin(), systemVolume());
  DriveComboBox1->setVolumes(volumes);
  DriveComboBox2->setVolumes(volumes);
  DirectoryListBox1->setVolumes(DriveComboBox1->mountPoints());
  DirectoryListBox2->setVolumes(DriveComboBox2->mountPoints());
  // A folder on a volume the list leaves out keeps its volume in the chooser.
  if (!DirectoryListBox1->Directory().empty()) showDriveOf(DirectoryListBox1, DriveComboBox1);
  if (!DirectoryListBox2->Directory().empty()) showDriveOf(DirectoryListBox2, DriveComboBox2);
}

void TMainForm::showDriveOf(TDirectoryListBox* list, TDriveComboBox* chooser) {
  if (chooser->setDrive(list->Drive())) return;
  Volume volume = browseFs_->volumeOf(list->Directory());
  volume.ready = true;  // its folder was just listed
  chooser->showVolume(volume);
}

QString TMainForm::volumeRootOf(const std::string& path) const { return displayPath(DirectoryListBox1->driveOf(path)); }

bool TMainForm::setMasterFolder(const std::string& folder) {
  std::string error;
  if (!DirectoryListBox1->setDirectory(folder, &error)) {
    Memo1->insertFragment(error, Colour::Red);
    Memo1->endLine();
    return false;
  }
  return true;
}

bool TMainForm::setMirrorFolder(const std::string& folder) {
  std::string error;
  if (!DirectoryListBox2->setDirectory(folder, &error)) {
    Memo1->insertFragment(error, Colour::Red);
    Memo1->endLine();
    return false;
  }
  return true;
}

void TMainForm::showFolderInEdit(TDirectoryListBox* list, QLineEdit* edit) {
  edit->setText(displayPath(list->Directory()));
  edit->setCursorPosition(edit->text().size());
}

bool TMainForm::takeTypedFolder(TDirectoryListBox* list, TDriveComboBox* chooser, QLineEdit* edit) {
  const std::string typed = pathFromDisplay(edit->text());
  std::string error;
  if (typed.empty() || typed[0] != '/') {
    error = "Type a full path, beginning with /";
  } else if (list->setDirectory(typed, &error)) {
    showDriveOf(list, chooser);
    return true;
  }
  prompts_.showMessage(MessageKind::Warning, kTitle, qs(error));
  showFolderInEdit(list, edit);
  return false;
}

bool TMainForm::takeUnconfirmedFolders() {
  const std::tuple<TDirectoryListBox*, TDriveComboBox*, QLineEdit*> sides[] = {
      {DirectoryListBox1, DriveComboBox1, MasterPathEdit}, {DirectoryListBox2, DriveComboBox2, MirrorPathEdit}};
  for (const auto& [list, chooser, edit] : sides) {
    if (edit->text() != displayPath(list->Directory()) && !takeTypedFolder(list, chooser, edit)) return false;
  }
  return true;
}

void TMainForm::noteVanishedFolder(const QString& gone) {
  Memo1->insertFragment(("The folder " + gone + " is no longer there").toStdString(), Colour::Red);
  Memo1->endLine();
}

std::string TMainForm::missingFolderRefusal() {
  std::string refusal;
  const std::pair<TDirectoryListBox*, const char*> sides[] = {{DirectoryListBox1, "master"},
                                                              {DirectoryListBox2, "mirror"}};
  for (const auto& [list, side] : sides) {
    const bool there = browseFs_->folderExists(list->Directory());
    // A folder that went or came back since the list last read it: the list shows what
    // is there now (the name alone of a folder that is gone).
    if (there == list->folderMissing()) list->Update();
    if (there) continue;
    if (refusal.empty()) refusal = std::string("The ") + side + " folder " + list->Directory() + " does not exist";
  }
  return refusal;
}

bool TMainForm::refuseRunOnMissingFolder() {
  const std::string refusal = missingFolderRefusal();
  if (refusal.empty()) return false;
  // Counted as a refused run, so a batch run reports it and a repeating one tries again
  // at its next tick, on the same folder.
  engine_.engine->refuseBeforeStart(refusal);
  Memo1->flushPending();
  return true;
}

// ---------------------------------------------------------------------------------------
// Handlers

void TMainForm::DriveComboBox1Click() { DirectoryListBox1->Update(); }

void TMainForm::DriveComboBox1Change() {
  if (!DirectoryListBox1->setDrive(DriveComboBox1->Drive())) {
    prompts_.showMessage(MessageKind::Warning, kTitle, QStringLiteral("No disk in drive"));
    DriveComboBox1->setDrive(DirectoryListBox1->Drive());
    return;
  }
  DirectoryListBox1->Update();
}

void TMainForm::DriveComboBox2Click() { DirectoryListBox2->Update(); }

void TMainForm::DriveComboBox2Change() {
  DirectoryListBox2->Update();
  if (!DirectoryListBox2->setDrive(DriveComboBox2->Drive())) {
    prompts_.showMessage(MessageKind::Warning, kTitle, QStringLiteral("No disk in drive"));
    DriveComboBox2->setDrive(DirectoryListBox2->Drive());
    return;
  }
  applySyncGuard();
}

bool TMainForm::mirrorOnSystemVolume() const {
  // By device, whatever path, link or bind mount shows the folder.
  return browseFs_->isOnSystemVolume(DirectoryListBox2->Directory());
}

void TMainForm::applySyncGuard() {
  const bool guarded = ProtectCBtn->isChecked() && mirrorOnSystemVolume();
  ReplicateBtn->setEnabled(!guarded);
  // A greyed Sync says why it is greyed.
  ReplicateBtn->setToolTip(guarded ? QStringLiteral("The mirror is on the system volume and '") + ProtectCBtn->text() +
                                         QStringLiteral("' is checked")
                                   : QString::fromUtf8(kSyncHint));
}

void TMainForm::CompareTypeClick() {
  const bool contents = CompareTypeButtons->checkedId() >= 1;
  FileStatusLabel->setEnabled(contents);
  OverallProgressLabel->setEnabled(contents);
}

void TMainForm::runCommand(void (SyncEngine::*command)()) {
  inCommand_ = true;
  (engine_.engine.get()->*command)();
  inCommand_ = false;
  Memo1->flushPending();
  const RunReport& report = engine_.engine->lastRun();
  if (report.outcome == RunOutcome::Refused && quitRequested_ && batchRun_) {
    reportUnattended(kApplicationTitle, report.refusal + " The program ends.");
  } else if (report.outcome == RunOutcome::Refused && quitRequested_) {
    // A safety stop ends the program; it says why before it does.
    prompts_.showMessage(MessageKind::Error, kTitle, qs(report.refusal) + QStringLiteral("\nThe program ends."));
  }
  if (closePending_) {
    closePending_ = false;
    close();
    return;
  }
  if (quitRequested_) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void TMainForm::CompareBtnClick() {
  if (!takeUnconfirmedFolders() || refuseRunOnMissingFolder()) return;
  runCommand(&SyncEngine::CompareBtnClick);
}

void TMainForm::ReplicateBtnClick() {
  if (!takeUnconfirmedFolders() || refuseRunOnMissingFolder()) return;
  runCommand(&SyncEngine::ReplicateBtnClick);
}

void TMainForm::AbortBtnClick() {
  if (run_) run_->requestAbort();
  AbortBtn->setDown(false);
  StatusCaptionTimer->stop();
  CompLabel->setText(QStringLiteral("Aborting Operation..."));
}

void TMainForm::ExitBtnClick() {
  addPlainStatusLine(QStringLiteral("ExitBtnClick called "));
  if (!SaveSettings()) return;  // the window stays open after a refused write
  RemoveTrayIcon();
  close();
}

void TMainForm::QuitClick() { ExitBtnClick(); }

void TMainForm::GetNewBtnClick() { WebFileInfo1->CheckForUpdate(); }

void TMainForm::ShowFormClick() {
  showNormal();
  raise();
  activateWindow();
}

bool TMainForm::SaveSettings() { return settingsSaver_ ? settingsSaver_() : true; }

void TMainForm::openHelp() {
  if (helpPage_.empty() || !browseFs_->fileExists(helpPage_)) {
    prompts_.showMessage(MessageKind::Warning, kTitle,
                         QStringLiteral("The help page was not found beside the program or in its installed place."));
    return;
  }
  QUrl page = QUrl::fromLocalFile(qs(helpPage_));
  page.setFragment(QStringLiteral("main-window"));
  if (!prompts_.openUrl(page)) {
    prompts_.showMessage(MessageKind::Warning, kTitle, QStringLiteral("No program opened the help page ") + qs(helpPage_));
  }
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    openHelp();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TMainForm::reportUnattended(const std::string& caption, const std::string& text) {
  Memo1->insertFragment(caption + ": " + text, Colour::Red);
  Memo1->endLine();
  Memo1->flushPending();
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void TMainForm::addPlainStatusLine(const QString& text) { Memo1->addPlainLine(text); }

void TMainForm::DisableForm() {
  running_ = true;
  for (QWidget* w : std::initializer_list<QWidget*>{DriveComboBox1, DriveComboBox2, MasterPathEdit, MirrorPathEdit,
                                                    DirectoryListBox1, DirectoryListBox2, CompareType,
                                                    SubDirectoryCheckBox, ProtectCBtn, CaseChkBox, ProgressBar,
                                                    OverallProgressBar, CompareBtn, ReplicateBtn, ExitBtn}) {
    w->setEnabled(false);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{Memo1, CompLabel, ProgressBar, AbortBtn}) w->setEnabled(true);
  if (CompareTypeButtons->checkedId() > 0) {
    FileStatusLabel->setEnabled(true);
    OverallProgressLabel->setEnabled(true);
  }
  QCoreApplication::processEvents();  // the new states are drawn before the run starts
}

void TMainForm::EnableForm() {
  for (QWidget* w : controls()) w->setEnabled(true);
  if (CompareTypeButtons->checkedId() == 0) {
    FileStatusLabel->setEnabled(false);
    OverallProgressLabel->setEnabled(false);
  }
  AbortBtn->setEnabled(false);
  running_ = false;
  DirectoryListBox2->Update();
  // The chooser follows the list, never the other way: moving the list to the chooser's
  // drive would put the next run on a folder nobody chose.
  if (DirectoryListBox2->Drive() != DriveComboBox2->Drive()) showDriveOf(DirectoryListBox2, DriveComboBox2);
  applySyncGuard();
  Memo1->flushPending();
}

void TMainForm::StatusCaptionTimerTimer() {
  if (!run_) return;
  const std::string& path = run_->currentPath();
  CompLabel->setText(ShortenPath(qs(path), CompLabel->width(), CompLabel->font(), volumeRootOf(path)));
  if (FileStatusLabel->isEnabled()) {
    const QString text = qs(run_->fileProgressText());
    FileStatusLabel->setText(FileStatusLabel->fontMetrics().elidedText(text, Qt::ElideMiddle, FileStatusLabel->width()));
  }
}

// ---------------------------------------------------------------------------------------
// Window effects

int TMainForm::clientHeight() const { return height() - TTitleBar::kHeight; }

void TMainForm::applyOutline() {
  // A rectangle with corners from a 10 x 10 ellipse, for the full window: the roll-up
  // leaves it as it is, a new size made by the user gets its own.
  QPainterPath outline;
  const int full = TTitleBar::kHeight + rollUp_.FullClientHeight;
  outline.addRoundedRect(QRectF(0, 0, width() + 1, full + 1), kCornerEllipse / 2.0, kCornerEllipse / 2.0);
  setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

void TMainForm::setClientHeight(int height) {
  setFixedHeight(TTitleBar::kHeight + height);
  // Back at its full height, the window may be resized again.
  if (rollUp_.atFullHeight()) allowResizing();
  emit clientHeightChanged(height);
}

void TMainForm::titleRightPressed() {
  rollUp_.start();
  RollUpTimer->start();
}

void TMainForm::RollUpTimerTimer() {
  int height = 0;
  if (!rollUp_.tick(height)) {
    RollUpTimer->stop();
    return;
  }
  setClientHeight(height);
}

void TMainForm::SetWindowAlpha(int alpha) {
  layered_ = true;
  windowAlpha_ = alpha;
  setWindowOpacity(alpha / 255.0);  // without a compositor the window simply stays opaque
}

void TMainForm::RestoreOpacity() {
  if (RollUpTimer->isActive()) {
    layered_ = false;
    windowAlpha_ = 255;
    setWindowOpacity(1.0);
    return;
  }
  SetWindowAlpha(255);
}

void TMainForm::startDrag(const QPoint& globalPos) {
  SetWindowAlpha(kTranslucentAlpha);
  dragging_ = false;
  if (QWindow* window = windowHandle(); window && window->startSystemMove()) return;
  dragging_ = true;  // no window manager to move us: the window follows the pointer itself
  dragOffset_ = globalPos - frameGeometry().topLeft();
}

void TMainForm::dragTo(const QPoint& globalPos) {
  if (dragging_) move(globalPos - dragOffset_);
}

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  applyOutline();
  bringOntoScreen();
  setWindowTitle(kTitle);
  TitleBar->setCaption(kTitle);
  if (firstShow_) firstShow_();
}

void TMainForm::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) applyThemeColours();
  if (event->type() != QEvent::ActivationChange) return;
  TitleBar->setActive(isActiveWindow());
  if (!isActiveWindow()) return;
  setWindowTitle(kTitle);
  TitleBar->setCaption(kTitle);
  RestoreOpacity();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (inCommand_ || (run_ && !run_->runIdle())) {
    // Never in the middle of a run: the running command finishes (Abort stops it sooner),
    // then the window closes and the program ends.
    closePending_ = true;
    event->ignore();
    return;
  }
  event->accept();
}

void TMainForm::AddTrayIcon() {
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    TrayIcon->show();
    hide();
    return;
  }
  showMinimized();  // no tray to come back from: the window stays reachable
}

void TMainForm::RemoveTrayIcon() { TrayIcon->hide(); }

bool TMainForm::trayIconShown() const { return TrayIcon->isVisible(); }

// ---------------------------------------------------------------------------------------
// The engine's window

void TMainForm::insertStatusText(std::string_view text, Colour colour) {
  Memo1->insertFragment(text, colour);
  if (batchRun_) summaryEcho_.append(text);
}

void TMainForm::endStatusLine() {
  Memo1->endLine();
  if (batchRun_) summaryEcho_.endLine();
}

void TMainForm::clearStatus() {
  Memo1->clearAll();
  summaryEcho_.clear();
}

void TMainForm::setFileProgress(int percent) { ProgressBar->setValue(percent); }
void TMainForm::setOverallProgress(int percent) { OverallProgressBar->setValue(percent); }

vardell::CompareType TMainForm::compareType() const {
  const int id = CompareTypeButtons->checkedId();
  return id == 1 ? CompareType::Binary : id == 2 ? CompareType::AllOfTheAbove : CompareType::SizeAndTime;
}

void TMainForm::setCompareType(vardell::CompareType type) { CompareTypeButtons->button(int(type))->setChecked(true); }

bool TMainForm::includeSubfolders() const { return SubDirectoryCheckBox->isChecked(); }
bool TMainForm::caseSensitiveNames() const { return CaseChkBox->isChecked(); }
bool TMainForm::protectSystemVolume() const { return ProtectCBtn->isChecked(); }
std::string TMainForm::masterFolder() const { return DirectoryListBox1->Directory(); }
std::string TMainForm::mirrorFolder() const { return DirectoryListBox2->Directory(); }
void TMainForm::refreshMirrorFolder() { DirectoryListBox2->Update(); }

void TMainForm::setCaptionTimer(bool on) {
  if (on) {
    StatusCaptionTimer->start();
  } else {
    StatusCaptionTimer->stop();
  }
}

void TMainForm::resetCaptions() {
  CompLabel->setText(QStringLiteral("Status"));
  FileStatusLabel->setText(QStringLiteral("Binary Compare Progress"));
}

void TMainForm::processEvents() {
  const qint64 now = monotonicNs();
  if (now - lastPump_ < kPumpIntervalNs) return;
  lastPump_ = now;
  Memo1->flushIfDue();
  QCoreApplication::processEvents();
}

void TMainForm::requestQuit() {
  quitRequested_ = true;
  if (!inCommand_) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void TMainForm::showMessage(MessageKind kind, const std::string& caption, const std::string& text) {
  Memo1->flushPending();
  if (batchRun_) return reportUnattended(caption, text);
  prompts_.showMessage(kind, qs(caption), qs(text));
}

void TMainForm::reportFailure(const std::string& text) {
  Memo1->flushPending();
  if (batchRun_) return reportUnattended(kApplicationTitle, text);
  prompts_.showMessage(MessageKind::Error, kTitle, qs(text));
}

NameAnswer TMainForm::askFolderNames(const std::string& mirrorFolder) {
  Memo1->flushPending();
  // With three or more parameters the question is never shown: the run goes on into the
  // mirror folder as chosen.
  if (folderQuestionSkipped_) return NameAnswer::NoAnswerContinue;
  ContinueForm->setHeadingFolder(qs(mirrorFolder), volumeRootOf(mirrorFolder), DirectoryListBox2->width());
  return prompts_.askFolderNames(*ContinueForm);
}

bool TMainForm::confirmEmptyMasterRemoval(const std::string& master, long long entriesToTrash) {
  Memo1->flushPending();
  // Nobody is there to say the right drive is connected: an unattended run removes nothing.
  if (batchRun_) return false;
  const QString text = QStringLiteral("The master folder %1 is empty.\nSync would move %2 %3 of the mirror folder %4 "
                                      "to the trash.\n\nIs the right drive connected? Remove them all?")
                           .arg(qs(master))
                           .arg(entriesToTrash)
                           .arg(entriesToTrash == 1 ? QStringLiteral("entry") : QStringLiteral("entries"))
                           .arg(qs(DirectoryListBox2->Directory()));
  return prompts_.askYesNo(kTitle, text);
}

}  // namespace vardell
