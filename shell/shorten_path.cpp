// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The path shortening of the status caption and the folder-name dialog.
#include "shell/shorten_path.h"

#include <QFontMetrics>

namespace vardell {

PathParts splitPathForShortening(const QString& path, const QString& volumeRoot) {
  PathParts parts;
  QString rest = path;
  QString root = volumeRoot;
  while (root.size() > 1 && root.endsWith(u'/')) root.chop(1);
  if (root.size() > 1 && (path == root || path.startsWith(root + u'/'))) {
    parts.drive = root;
    rest = path.mid(root.size());
  }
  const qsizetype lastSlash = rest.lastIndexOf(u'/');
  parts.folders = rest.left(lastSlash + 1);
  parts.name = rest.mid(lastSlash + 1);
  return parts;
}

void cutFirstFolder(PathParts& parts) {
  static const QString kEllipsis = QStringLiteral(".../");
  if (parts.folders == QStringLiteral("/.../")) {
    parts.drive.clear();
    parts.folders = kEllipsis;
    return;
  }
  if (parts.folders.isEmpty()) {
    parts.drive.clear();
    return;
  }
  if (parts.folders == QStringLiteral("/")) {
    parts.folders.clear();
    return;
  }
  QString folders = parts.folders;
  const bool leadingSlash = folders.startsWith(u'/');
  if (leadingSlash) folders.remove(0, 1);
  if (folders.startsWith(kEllipsis)) folders.remove(0, kEllipsis.size());
  const qsizetype next = folders.indexOf(u'/');
  folders = next < 0 ? QString() : kEllipsis + folders.mid(next + 1);
  if (leadingSlash) folders.prepend(u'/');
  parts.folders = folders;
}

QString ShortenPath(const QString& path, int width, const TextWidth& measure, const QString& volumeRoot) {
  PathParts parts = splitPathForShortening(path, volumeRoot);
  while (measure(parts.text()) > width && (!parts.drive.isEmpty() || !parts.folders.isEmpty())) cutFirstFolder(parts);
  return parts.text();
}

QString ShortenPath(const QString& path, int width, const QFont& font, const QString& volumeRoot) {
  const QFontMetrics metrics(font);
  return ShortenPath(path, width, [&metrics](const QString& text) { return metrics.horizontalAdvance(text); },
                     volumeRoot);
}

}  // namespace vardell
