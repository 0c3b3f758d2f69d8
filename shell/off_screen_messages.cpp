// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Qt's messages in a run without a display.
#include "shell/off_screen_messages.h"

#include <QtGlobal>

namespace vardell {
namespace {

QtMessageHandler previousHandler = nullptr;

void filterMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg && isOffScreenNoise(message)) return;
  if (previousHandler) previousHandler(type, context, message);
}

}  // namespace

bool isOffScreenNoise(const QString& message) {
  // The off-screen platform's "This plugin does not support <feature>", and the runtime
  // folder a desktop session sets and cron does not (the program chooses its own).
  return message.startsWith(QLatin1String("This plugin does not support ")) ||
         message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"));
}

void dropOffScreenNoise() { previousHandler = qInstallMessageHandler(filterMessage); }

}  // namespace vardell
