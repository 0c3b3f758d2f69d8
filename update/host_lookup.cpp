// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Host-name lookups over getaddrinfo, waited for without freezing the window.
#include "update/host_lookup.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <memory>
#include <thread>

namespace vardell {

namespace {

std::string readLocalHostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::vector<std::string> ipv4AddressesOf(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  std::vector<std::string> addresses;
  if (name.empty() || ::getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0) return addresses;
  for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
    if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr) addresses.emplace_back(text);
  }
  ::freeaddrinfo(list);
  return addresses;
}

}  // namespace

HostLookup systemHostLookup() {
  HostLookup lookup;
  lookup.localHostName = readLocalHostName;
  lookup.addressesOf = ipv4AddressesOf;
  return lookup;
}

std::optional<std::vector<std::string>> resolveWhileResponsive(const HostLookup& lookup, const std::string& name) {
  // The promise lives as long as the worker needs it, even after we stop waiting.
  auto promise = std::make_shared<std::promise<std::vector<std::string>>>();
  std::future<std::vector<std::string>> answer = promise->get_future();
  std::thread([promise, resolve = lookup.addressesOf, name] {
    try {
      promise->set_value(resolve(name));
    } catch (...) {
      promise->set_exception(std::current_exception());
    }
  }).detach();
  const auto deadline = std::chrono::steady_clock::now() + lookup.timeout;
  while (answer.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    QCoreApplication::processEvents();
  }
  try {
    return answer.get();
  } catch (...) {
    return std::vector<std::string>{};
  }
}

}  // namespace vardell
