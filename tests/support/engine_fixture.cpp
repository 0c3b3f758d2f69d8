// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The engine fixture.
#include "tests/support/engine_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace vardell::test {

EngineFixture::EngineFixture() {
  tree.makeFolder("m");
  tree.makeFolder("r");
  tree.makeFolder("cfg");
  ::setenv("XDG_DATA_HOME", tree.path("data").c_str(), 1);
  window.master = master();
  window.mirror = mirror();
  useCommandLine({});
}

void EngineFixture::useCommandLine(CommandLineOptions options) {
  engine = std::make_unique<SyncEngine>(fs, window, EngineSetup{{tree.path("cfg") + "/"}, std::move(options), {}});
}

std::vector<std::string> EngineFixture::trashedNames() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(trash("files"), ec)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

DirEntry EngineFixture::entry(const std::string& path) {
  DirEntry e;
  EXPECT_FALSE(fs.statEntry(path, e)) << path;
  return e;
}

void EngineFixture::failOn(Op op, const std::string& suffix, std::errc error, int times) {
  auto remaining = std::make_shared<int>(times);
  fs.fault = [op, suffix, error, remaining](Op seen, const std::string& path) {
    if (seen == op && path.ends_with(suffix) && *remaining > 0) {
      --*remaining;
      return std::make_error_code(error);
    }
    return std::error_code{};
  };
}

}  // namespace vardell::test
