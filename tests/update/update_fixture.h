// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A configured update-check component, the loopback server it asks, and recorded prompts.
#pragma once

#include "engine/version.h"
#include "tests/update/loopback_http_server.h"
#include "tests/update/recording_prompts.h"
#include "update/main_window_update.h"
#include "update/http_client.h"
#include "update/web_file_info.h"

#include <gtest/gtest.h>

#include <memory>

namespace vardell::test {

// A machine on line: its name resolves to one documentation-range address, without any
// name service being asked.
inline HostLookup onLineLookup(std::vector<std::string> addresses = {"192.0.2.7"}) {
  HostLookup lookup;
  lookup.localHostName = [] { return std::string("vardell-test-host"); };
  lookup.addressesOf = [addresses](const std::string&) { return addresses; };
  return lookup;
}

class UpdateFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    wfi = std::make_unique<TWebFileInfo>();
    configureWebFileInfo1(*wfi);
    wfi->SetHomeURL(server.url("/vardell.html"));
    wfi->SetPrompts(&prompts);
    wfi->SetHostLookup(onLineLookup());
  }

  // Publishes the page at /vardell.html with these tagged values.
  void publish(const QList<QPair<QByteArray, QByteArray>>& tags, const QByteArray& path = "/vardell.html") {
    CannedResponse page;
    page.body = infoPage(tags);
    server.route(path, page);
  }

  QString box(TMsgIcon icon, TMsgButtons buttons, const char* caption, const QString& text) const {
    return boxLine(icon, buttons, QString::fromUtf8(caption), text);
  }
  QString connectionError(const QString& error) const {
    return box(TMsgIcon::Exclamation, TMsgButtons::Ok, "Connection Error",
               "Could not retrieve version information from the Internet.\rError: \"" + error + ".\"");
  }
  QString plain(const QString& text) const { return box(TMsgIcon::None, TMsgButtons::Ok, kApplicationTitle, text); }

  LoopbackHttpServer server;
  RecordingPrompts prompts;
  std::unique_ptr<TWebFileInfo> wfi;
};

}  // namespace vardell::test
