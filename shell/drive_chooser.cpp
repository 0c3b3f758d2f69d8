// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The drive chooser.
#include "shell/drive_chooser.h"

#include "shell/folder_list.h"

namespace vardell {

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {}

QString TDriveComboBox::textOf(const Volume& volume) {
  return displayPath(volume.mountPoint) + QStringLiteral("  [") + displayPath(volume.tag) + QStringLiteral("]");
}

void TDriveComboBox::setVolumes(const std::vector<Volume>& volumes) {
  const std::string shown = Drive();
  const QSignalBlocker quiet(this);
  volumes_.clear();
  clear();
  for (const Volume& volume : volumes) addVolume(volume);
  if (!setDrive(shown)) setCurrentIndex(volumes_.empty() ? -1 : 0);
}

void TDriveComboBox::addVolume(const Volume& volume) {
  volumes_.push_back(volume);
  addItem(textOf(volume));
  setItemData(count() - 1, displayPath(volume.fsType + (volume.ready ? "" : ", not ready")), Qt::ToolTipRole);
}

void TDriveComboBox::showVolume(const Volume& volume) {
  if (setDrive(volume.mountPoint)) return;
  const QSignalBlocker quiet(this);
  addVolume(volume);
  setCurrentIndex(count() - 1);
}

std::vector<std::string> TDriveComboBox::mountPoints() const {
  std::vector<std::string> points;
  for (const Volume& volume : volumes_) points.push_back(volume.mountPoint);
  return points;
}

std::string TDriveComboBox::Drive() const {
  const int index = currentIndex();
  if (index < 0 || index >= int(volumes_.size())) return "/";
  return volumes_[std::size_t(index)].mountPoint;
}

bool TDriveComboBox::setDrive(const std::string& mountPoint) {
  for (std::size_t i = 0; i < volumes_.size(); ++i) {
    if (volumes_[i].mountPoint == mountPoint) {
      const QSignalBlocker quiet(this);
      setCurrentIndex(int(i));
      return true;
    }
  }
  return false;
}

}  // namespace vardell
