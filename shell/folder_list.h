// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A folder list of one volume: the folders from the volume root down to the current
// folder, then the current folder's subfolders. A double-click (or Enter) opens a
// folder; a folder dropped from a file manager is taken.
#pragma once

#include "platform/filesystem.h"

#include <QListWidget>

#include <map>
#include <string>

namespace vardell {

class TDirectoryListBox : public QListWidget {
  Q_OBJECT

 public:
  TDirectoryListBox(FileSystem& fs, QWidget* parent = nullptr);

  // The current folder, as the list shows it (a volume root keeps its "/").
  const std::string& Directory() const { return directory_; }
  // The mount point of the volume the current folder is on.
  const std::string& Drive() const { return drive_; }

  // The mount points that count as drives (the drive chooser's volumes).
  void setVolumes(const std::vector<std::string>& mountPoints);

  // Makes folder the current folder and re-reads the list. False, with the reason in
  // `error`, when it is not a folder that can be listed; the list is then unchanged.
  bool setDirectory(const std::string& folder, std::string* error = nullptr);
  // Moves the list to a volume: to the folder last shown on it, else its root (or the
  // nearest existing folder above the one last shown). False when the volume cannot be
  // read (no medium); the list is then unchanged.
  bool setDrive(const std::string& mountPoint);
  // Re-reads the list from the disk, unless the folder's last-write time shows that its
  // names are the ones listed. A current folder that has vanished stays the current
  // folder, shown without subfolders: the list never moves to a parent by itself, since
  // the next run would use a folder nobody chose. vanished() is emitted when the list
  // first finds it gone; when it is back, its subfolders are shown again.
  void Update();
  // The current folder was gone when the list was last read.
  bool folderMissing() const { return folderMissing_; }

  // The folder an item stands for.
  std::string folderOf(const QListWidgetItem* item) const;
  // The drive of any folder: the longest of the volumes' mount points that holds it.
  std::string driveOf(const std::string& folder) const;
  // The mount point of the volume a folder lies on, whether or not it is among the volumes.
  std::string volumeHolding(const std::string& folder) const;

 signals:
  // The current folder changed (by the user, a drop or setDirectory).
  void directoryChanged();
  // The folder `gone` (the current one, or an item opened) is no longer there.
  void vanished(const QString& gone);
  // A drop that could not be taken, with the reason.
  void dropRefused(const QString& reason);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Makes folder the current folder and fills the list; false when it cannot be listed.
  bool fill(const std::string& folder, std::string* error);
  // Shows the way down from the volume root to folder, then `subfolders` below it.
  void show(const std::string& folder, const std::vector<DirEntry>& subfolders);
  void openItem(QListWidgetItem* item);

  FileSystem& fs_;
  std::string directory_;
  std::string drive_ = "/";
  std::vector<std::string> volumes_{"/"};
  std::map<std::string, std::string> lastFolderOnDrive_;
  bool folderMissing_ = false;
  std::int64_t listedTimeNs_ = 0;  // the current folder's last-write time when last listed (0: unknown)
};

// A path as the program shows it (names that are not valid UTF-8 get replacement marks).
QString displayPath(const std::string& path);
// A path typed, pasted or dropped, as the file system takes it.
std::string pathFromDisplay(const QString& text);

}  // namespace vardell
