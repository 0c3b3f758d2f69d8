// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A drive chooser: the volumes a user cares about, each shown by its mount point and tag.
#pragma once

#include "platform/volumes.h"

#include <QComboBox>

#include <string>
#include <vector>

namespace vardell {

class TDriveComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit TDriveComboBox(QWidget* parent = nullptr);

  // Fills the chooser; the drive shown stays when it is still there.
  void setVolumes(const std::vector<Volume>& volumes);
  const std::vector<Volume>& volumes() const { return volumes_; }
  std::vector<std::string> mountPoints() const;

  // The chosen volume's mount point ("/" when empty).
  std::string Drive() const;
  // Shows the volume mounted at mountPoint; false when there is none.
  bool setDrive(const std::string& mountPoint);
  // Shows `volume`, adding it when the chooser does not list it (a folder chosen on a
  // volume mounted outside the usual places).
  void showVolume(const Volume& volume);

  // "/media/usb  [usb]", "/  [root]".
  static QString textOf(const Volume& volume);

 private:
  void addVolume(const Volume& volume);

  std::vector<Volume> volumes_;
};

}  // namespace vardell
