// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The update tests run inside a QApplication on the offscreen platform, with no proxy
// taken from the environment, so that every request stays on 127.0.0.1.
#include "engine/version.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"})
    ::unsetenv(name);
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QString::fromUtf8(vardell::kApplicationTitle));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
