// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Shortens a path to a width by cutting folders from its front, as the status caption and
// the folder-name dialog show paths.
#pragma once

#include <QFont>
#include <QString>

#include <functional>

namespace vardell {

// The width of a text in pixels.
using TextWidth = std::function<int(const QString&)>;

// The path split as ShortenPath cuts it: the volume root in the place of a drive (empty
// for "/"), the folders from there to the last "/" inclusive, and the name.
struct PathParts {
  QString drive;
  QString folders;
  QString name;
  QString text() const { return drive + folders + name; }
};

// Splits path below volumeRoot (a mount point such as "/media/usb", or "/"). A path that
// does not lie below volumeRoot is split as if it lay on "/".
PathParts splitPathForShortening(const QString& path, const QString& volumeRoot);

// One shortening step: "/.../" drops the drive and becomes ".../"; other folders lose
// their first folder behind "..."; with no folders left the drive is dropped.
void cutFirstFolder(PathParts& parts);

// The path as it fits in `width` pixels: while it is too wide and a drive or folder is
// left, one more step. "/media/usb/Data/Photos/2004/img.jpg" becomes, step by step,
// "/media/usb/.../Photos/2004/img.jpg", ".../2004/img.jpg" behind the drive,
// "/media/usb/.../img.jpg", ".../img.jpg" and "img.jpg", stopping at the first that fits.
QString ShortenPath(const QString& path, int width, const TextWidth& measure, const QString& volumeRoot);
QString ShortenPath(const QString& path, int width, const QFont& font, const QString& volumeRoot);

}  // namespace vardell
