// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The main window: the master and mirror choosers, the options, the commands, the status
// window and the progress bars, with its own title bar, roll-up and tray icon. It is the
// engine's window: the engine reads the controls and paints through RunWindow, and the
// window starts runs only through the engine's two commands.
#pragma once

#include "engine/run_window.h"
#include "shell/roll_up.h"
#include "shell/stretch_layout.h"
#include "shell/summary_echo.h"
#include "shell/window_engine.h"

#include <QColor>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSystemTrayIcon;
class QTimer;

namespace vardell {

class TContinueForm;
class TDirectoryListBox;
class TDriveComboBox;
class TStatusMemo;
class TTitleBar;
class TWebFileInfo;
class UpdatePrompts;
class WindowPrompts;

class TMainForm : public QWidget, public RunWindow {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 590;
  static constexpr int kClientHeight = 372;
  static constexpr int kStatusCaptionWidth = 585;  // the right edge of GetNewBtn (at the standard size)
  static constexpr int kTranslucentAlpha = 178;
  static constexpr int kCornerEllipse = 10;
  static constexpr int kStatusCaptionIntervalMs = 100;

  // `prompts` answers every question and notice of the window; `updatePrompts` those of
  // the update check (the real dialogs when null). Neither is owned.
  TMainForm(const ShellConfig& config, WindowPrompts& prompts, UpdatePrompts* updatePrompts = nullptr,
            QWidget* parent = nullptr);
  ~TMainForm() override;

  // --- Controls, by their window names ---
  TTitleBar* TitleBar;
  QWidget* ClientArea;
  QLabel* Label1;
  TDriveComboBox* DriveComboBox1;
  QLineEdit* MasterPathEdit;  // the master folder typed or pasted
  TDirectoryListBox* DirectoryListBox1;
  QLabel* Label2;
  TDriveComboBox* DriveComboBox2;
  QLineEdit* MirrorPathEdit;  // the mirror folder typed or pasted
  TDirectoryListBox* DirectoryListBox2;
  QGroupBox* FilterGroup;
  QGroupBox* CompareType;
  QButtonGroup* CompareTypeButtons;
  QCheckBox* SubDirectoryCheckBox;
  QCheckBox* ProtectCBtn;
  QCheckBox* CaseChkBox;
  QCheckBox* VerifyCheckBox;
  QGroupBox* ActionBoxGroup;
  QPushButton* CompareBtn;
  QPushButton* ReplicateBtn;
  QPushButton* AbortBtn;
  QLabel* CompLabel;
  TStatusMemo* Memo1;
  QLabel* FileStatusLabel;
  QProgressBar* ProgressBar;
  QLabel* OverallProgressLabel;
  QProgressBar* OverallProgressBar;
  QPushButton* GetNewBtn;
  QPushButton* ExitBtn;
  QMenu* PopupMenu1;
  QAction* ShowForm;
  QAction* Quit;
  QAction* OpenRunLog;  // in the status window's context menu
  QTimer* RollUpTimer;
  QTimer* StatusCaptionTimer;
  TWebFileInfo* WebFileInfo1;
  QSystemTrayIcon* TrayIcon;
  TContinueForm* ContinueForm;

  // --- Handlers ---
  void DriveComboBox1Click();
  void DriveComboBox1Change();
  void DriveComboBox2Click();
  void DriveComboBox2Change();
  void CompareTypeClick();
  void CompareBtnClick();
  void ReplicateBtnClick();
  void AbortBtnClick();
  void ExitBtnClick();
  void QuitClick();
  void GetNewBtnClick();
  void ShowFormClick();
  void DisableForm();
  void EnableForm();
  void StatusCaptionTimerTimer();
  void RollUpTimerTimer();
  void SetWindowAlpha(int alpha);
  void RestoreOpacity();

  // --- Services for start-up and batch mode ---
  // Makes folder the master (mirror) folder and moves the chooser to its volume; false
  // with a status line when the list cannot show it.
  bool setMasterFolder(const std::string& folder);
  // Adds a line of the window's own to the status window (not to any run log).
  void addPlainStatusLine(const QString& text);
  // Writes this instance's settings through the saver the start-up code installs; with
  // none installed nothing is written. False when the write was refused (and reported).
  bool SaveSettings();
  void setSettingsSaver(std::function<bool()> saver) { settingsSaver_ = std::move(saver); }
  // Called once, at the first showing of the window, after its outline and caption.
  void setFirstShowHandler(std::function<void()> handler) { firstShow_ = std::move(handler); }
  // Sets the help page F1 opens (a file path; empty: F1 says where the help is missing).
  void setHelpPage(std::string page) { helpPage_ = std::move(page); }
  const std::string& helpPage() const { return helpPage_; }
  // F1: opens the help page at its section on the main window.
  void openHelp();
  // True for an unattended run (three or more parameters): no question or box may wait.
  bool batchRun() const { return batchRun_; }
  // Option M: the tray icon is added and the window hidden; where the desktop has no
  // tray, the window is minimised instead so it can always be reached.
  void AddTrayIcon();
  void RemoveTrayIcon();
  bool trayIconShown() const;
  // Re-reads the volumes for both drive choosers.
  void refreshVolumes();

  // The window's size at its full height (rolled down), and a size to restore from the
  // settings (none, or below the standard size: the standard size).
  QSize fullSize() const;
  void restoreSize(int width, int height);

  // --- State the window keeps ---
  int clientHeight() const;
  const RollUp& rollUpState() const { return rollUp_; }
  int windowAlpha() const { return windowAlpha_; }  // 255 or kTranslucentAlpha
  bool windowLayered() const { return layered_; }
  bool running() const { return running_; }
  bool closePending() const { return closePending_; }
  bool quitRequested() const { return quitRequested_; }
  SyncEngine& engine() { return *engine_.engine; }

  // --- RunWindow ---
  void attachRun(RunControl& run) override { run_ = &run; }
  void insertStatusText(std::string_view text, Colour colour) override;
  void endStatusLine() override;
  void clearStatus() override;
  void setFileProgress(int percent) override;
  void setOverallProgress(int percent) override;
  vardell::CompareType compareType() const override;
  void setCompareType(vardell::CompareType type) override;
  bool includeSubfolders() const override;
  bool caseSensitiveNames() const override;
  bool protectSystemVolume() const override;
  std::string masterFolder() const override;
  std::string mirrorFolder() const override;
  bool setMirrorFolder(const std::string& folder) override;
  void refreshMirrorFolder() override;
  void disableForm() override { DisableForm(); }
  void enableForm() override { EnableForm(); }
  void setCaptionTimer(bool on) override;
  void resetCaptions() override;
  void processEvents() override;
  void requestQuit() override;
  void removeTrayIcon() override { RemoveTrayIcon(); }
  void showMessage(MessageKind kind, const std::string& caption, const std::string& text) override;
  void reportFailure(const std::string& text) override;
  NameAnswer askFolderNames(const std::string& mirrorFolder) override;
  bool confirmEmptyMasterRemoval(const std::string& master, long long entriesToTrash) override;

 signals:
  // The client area took a new height (the roll-up's steps).
  void clientHeightChanged(int height);

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildControls();
  void connectHandlers();
  // The Sync guard: Sync is unavailable while protection is on and the mirror folder
  // lies on the system volume.
  void applySyncGuard();
  bool mirrorOnSystemVolume() const;
  // Runs one engine command, then what waited for its end: a close, a quit.
  void runCommand(void (SyncEngine::*command)());
  // Why no run may start on the folders the lists name: the first of the master and
  // mirror folders that is gone, or empty when both are there. A list whose folder is
  // gone keeps naming it.
  std::string missingFolderRefusal();
  // Refuses a run, through the engine, while a folder the lists name is gone; true when
  // it did.
  bool refuseRunOnMissingFolder();
  // Takes the path typed into `edit` as the list's folder; false, with a message and the
  // list's folder shown again, when it names no folder the list can show.
  bool takeTypedFolder(TDirectoryListBox* list, TDriveComboBox* chooser, QLineEdit* edit);
  // A run uses the folders the window shows: a path typed but not confirmed with Enter is
  // taken first. False when one is refused (the run does not start).
  bool takeUnconfirmedFolders();
  void showFolderInEdit(TDirectoryListBox* list, QLineEdit* edit);
  void noteVanishedFolder(const QString& gone);
  void setClientHeight(int height);
  void startDrag(const QPoint& globalPos);
  void dragTo(const QPoint& globalPos);
  // The rounded outline of the full window.
  void applyOutline();
  // Shows the volume that holds the list's folder in its chooser, adding the volume when
  // the chooser did not list it.
  void showDriveOf(TDirectoryListBox* list, TDriveComboBox* chooser);

  // --- What a desktop user expects beyond the classic window (main_form_desktop.cpp) ---
  // The size grip, the folder dialogs of the path fields, the status window's menu, the
  // controls' accessible names, the places the controls take in a larger window.
  void addDesktopControls();
  void addFolderDialog(QLineEdit* edit, TDirectoryListBox* list, TDriveComboBox* chooser, const QString& side);
  void setAccessibleNames();
  void placeStretchedControls();
  // The update link and the command buttons' hover colour, readable on the theme's
  // background; the status window keeps its white background and line colours.
  void applyThemeColours();
  // A window saved on a screen that is gone comes back onto the nearest one.
  void bringOntoScreen();
  // Between runs at full height the window may be resized down to its standard size.
  void allowResizing();
  // Opens the current mirror's run log in the desktop's viewer for text files.
  void openRunLog();
  void titleRightPressed();
  // The volume root a path lies on, for shortening it.
  QString volumeRootOf(const std::string& path) const;
  // Every control, in the window's order: what EnableForm enables.
  std::vector<QWidget*> controls() const;

  WindowPrompts& prompts_;
  UpdatePrompts* updatePrompts_;
  std::unique_ptr<FileSystem> browseFs_;  // the folder lists' reads, apart from the engine's
  RunControl* run_ = nullptr;
  WindowEngine engine_;
  RollUp rollUp_{kClientHeight};
  std::function<bool()> settingsSaver_;
  std::function<void()> firstShow_;
  std::string helpPage_;
  bool batchRun_ = false;               // the letters start runs nobody attends
  bool folderQuestionSkipped_ = false;  // three or more parameters were given
  SummaryEcho summaryEcho_;             // unattended runs: verdict and summary on stdout
  // Unattended runs: a notice becomes a red line and a line on stderr instead of a box.
  void reportUnattended(const std::string& caption, const std::string& text);
  int windowAlpha_ = 255;
  bool layered_ = false;
  bool shownOnce_ = false;
  bool running_ = false;       // between DisableForm and EnableForm
  bool inCommand_ = false;     // inside an engine command
  bool closePending_ = false;  // the close box was pressed during a run
  bool quitRequested_ = false;
  bool dragging_ = false;
  QPoint dragOffset_;
  StretchLayout stretch_;
  QColor linkColour_;     // the update link's colour last applied
  std::string master1Drive_;  // the drive DirectoryListBox1 was on before a chooser change
  std::string mirrorDrive_;
  qint64 lastPump_ = 0;
};

}  // namespace vardell
