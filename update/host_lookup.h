// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The on-line test's host-name lookup: the machine's own name resolved to its IPv4
// addresses, on a worker thread so that the window keeps handling events meanwhile.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vardell {

struct HostLookup {
  // The machine's host name; empty when it cannot be read.
  std::function<std::string()> localHostName;
  // The dotted IPv4 addresses of a name, in the resolver's order; empty when it does not
  // resolve. Runs on a worker thread and may block.
  std::function<std::vector<std::string>(const std::string&)> addressesOf;
  // How long the window waits for the answer before the lookup counts as failed.
  std::chrono::milliseconds timeout{3000};
};

// gethostname and getaddrinfo (IPv4), with a three-second bound.
HostLookup systemHostLookup();

// Runs `lookup.addressesOf(name)` on a detached worker and waits at most `lookup.timeout`,
// processing the application's events every few milliseconds. nullopt when the time ran
// out; a lookup still running then finishes on its own and its answer is dropped.
std::optional<std::vector<std::string>> resolveWhileResponsive(const HostLookup& lookup, const std::string& name);

}  // namespace vardell
