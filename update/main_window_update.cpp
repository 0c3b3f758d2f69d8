// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The main window's configuration of its update-check component.
#include "update/main_window_update.h"

#include "engine/version.h"
#include "update/web_file_info.h"

#include <QFontDatabase>

namespace vardell {

QFont updateWindowsFont() {
  const QString preferred = QStringLiteral("Microsoft Sans Serif");
  QFont font;
  if (QFontDatabase::families().contains(preferred)) {
    font = QFont(preferred);
  } else {
    font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
  }
  font.setPixelSize(13);
  font.setBold(false);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;  // the windows draw it in the palette's window-text colour
}

void configureWebFileInfo1(TWebFileInfo& WebFileInfo1) {
  WebFileInfo1.SetCurrentVersion(QString::fromUtf8(kVersion));
  WebFileInfo1.SetHomeURL(kProductHomeURL);
  TWfiTags tags;
  tags.DateTag = QStringLiteral("date");
  tags.DownloadTag = QStringLiteral("download");
  tags.VersionTag = QStringLiteral("version");
  WebFileInfo1.SetInfoTags(tags);
  WebFileInfo1.SetOptions(TWfiOptions(wfioRunUpdate) | wfioExitDuringUpdate);
  WebFileInfo1.SetVersionFormat(wfivSimpleString);
  WebFileInfo1.SetUIFont(updateWindowsFont());
}

bool updateCheckOffered() { return VARDELL_UPDATE_CHECK != 0; }

}  // namespace vardell
