// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Finding the help page.
#include "shell/help_page.h"

#include <QFileInfo>

namespace vardell {

std::string findHelpPage(const std::string& programFolder) {
  const std::string places[] = {
      programFolder + kHelpPageName,
      programFolder + "../share/doc/vardell/" + kHelpPageName,
      programFolder + "../docs/" + kHelpPageName,
  };
  for (const std::string& place : places) {
    const QFileInfo info(QString::fromStdString(place));
    if (info.isFile()) return info.canonicalFilePath().toStdString();
  }
  return {};
}

}  // namespace vardell
