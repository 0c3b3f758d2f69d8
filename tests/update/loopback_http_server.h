// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A small HTTP/1.1 server on 127.0.0.1 for the update tests. It answers from a table of
// canned responses, counts what it was asked, and stops by itself after a number of
// requests or a time, whichever comes first. It runs on the test's own event loop, which
// the component's modal windows keep turning.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>
#include <QTimer>

#include <functional>

namespace vardell::test {

struct CannedResponse {
  int status = 200;
  QByteArray reason = "OK";
  QList<QPair<QByteArray, QByteArray>> headers;
  QByteArray body;
  bool sendLength = true;   // without it the body ends when the connection closes
  int delayMs = 0;          // wait before the response head
  int firstBlock = 0;       // >0: send this many body bytes, then hold the rest back
  int holdMs = 0;           // how long the rest is held back (the connection stays open)
};

class LoopbackHttpServer : public QObject {
  Q_OBJECT

 public:
  explicit LoopbackHttpServer(int maxRequests = 60, int lifetimeMs = 60000);

  // Answers requests for `target` (a path such as "/page", or an absolute URL as a proxy
  // is asked) with `response`; unknown targets get 404 Not Found.
  void route(const QByteArray& target, const CannedResponse& response);
  // A 302 to `location`.
  void redirect(const QByteArray& target, const QByteArray& location);

  QString url(const QByteArray& path) const;
  quint16 port() const { return server_.serverPort(); }
  int requests(const QByteArray& target) const { return counts_.value(target); }
  int totalRequests() const { return total_; }
  QList<QByteArray> requestLines() const { return lines_; }
  // Called with the target of each request as it arrives.
  std::function<void(const QByteArray& target)> onRequest;

 private:
  void onConnection();
  void answer(QTcpSocket* socket, const QByteArray& target);

  QTcpServer server_;
  QTimer lifetime_;
  int maxRequests_;
  QHash<QByteArray, CannedResponse> routes_;
  QHash<QByteArray, int> counts_;
  QList<QByteArray> lines_;
  int total_ = 0;
};

// A page of META HTTP-EQUIV lines from name/value pairs.
QByteArray infoPage(const QList<QPair<QByteArray, QByteArray>>& tags);

}  // namespace vardell::test
