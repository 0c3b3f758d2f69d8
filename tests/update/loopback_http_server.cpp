// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The tests' HTTP server on 127.0.0.1.
#include "tests/update/loopback_http_server.h"

#include <QPointer>
#include <QTcpSocket>

namespace vardell::test {

LoopbackHttpServer::LoopbackHttpServer(int maxRequests, int lifetimeMs) : maxRequests_(maxRequests) {
  connect(&server_, &QTcpServer::newConnection, this, &LoopbackHttpServer::onConnection);
  server_.listen(QHostAddress::LocalHost, 0);
  lifetime_.setSingleShot(true);
  connect(&lifetime_, &QTimer::timeout, &server_, &QTcpServer::close);
  lifetime_.start(lifetimeMs);
}

void LoopbackHttpServer::route(const QByteArray& target, const CannedResponse& response) {
  routes_[target] = response;
}

void LoopbackHttpServer::redirect(const QByteArray& target, const QByteArray& location) {
  CannedResponse response;
  response.status = 302;
  response.reason = "Found";
  response.headers << qMakePair(QByteArray("Location"), location);
  route(target, response);
}

QString LoopbackHttpServer::url(const QByteArray& path) const {
  return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(QString::fromLatin1(path));
}

void LoopbackHttpServer::onConnection() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto request = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
      request->append(socket->readAll());
      if (request->size() > 64 * 1024) return socket->abort();
      const qsizetype end = request->indexOf("\r\n\r\n");
      if (end < 0) return;
      const QByteArray line = request->left(request->indexOf("\r\n"));
      request->clear();
      const QList<QByteArray> parts = line.split(' ');
      lines_ << line;
      ++total_;
      const QByteArray target = parts.size() >= 2 ? parts[1] : QByteArray();
      counts_[target] += 1;
      if (total_ >= maxRequests_) server_.close();  // no further connections
      if (onRequest) onRequest(target);
      answer(socket, target);
    });
  }
}

void LoopbackHttpServer::answer(QTcpSocket* socket, const QByteArray& target) {
  CannedResponse response;
  if (routes_.contains(target)) {
    response = routes_.value(target);
  } else {
    response.status = 404;
    response.reason = "Not Found";
    response.body = "no such page";
  }
  QPointer<QTcpSocket> guarded = socket;
  auto send = [guarded, response] {
    if (!guarded) return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason + "\r\n";
    for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
    if (response.sendLength) head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (response.firstBlock <= 0) {
      guarded->write(head + response.body);
      guarded->disconnectFromHost();
      return;
    }
    guarded->write(head + response.body.left(response.firstBlock));
    guarded->flush();
    QTimer::singleShot(response.holdMs, guarded, [guarded, response] {
      if (!guarded) return;
      guarded->write(response.body.mid(response.firstBlock));
      guarded->disconnectFromHost();
    });
  };
  if (response.delayMs > 0)
    QTimer::singleShot(response.delayMs, socket, send);
  else
    send();
}

QByteArray infoPage(const QList<QPair<QByteArray, QByteArray>>& tags) {
  QByteArray page = "<html><head>\r\n";
  for (const auto& [name, value] : tags)
    page += "<meta http-equiv=\"" + name + "\" CONTENT=\"" + value + "\">\r\n";
  return page + "</head><body>Vardell</body></html>\r\n";
}

}  // namespace vardell::test
