// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The update check's HTTP client over QNetworkAccessManager: one GET at a time into a
// bounded memory buffer or an open file, with redirects followed and bounded, a proxy,
// abort, and the status code and reason text of the final response.
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class QIODevice;

namespace vardell {

class HttpClient : public QObject {
  Q_OBJECT

 public:
  // Redirect responses followed for one request before it fails.
  static constexpr int kMaxRedirects = 10;
  // The status given to a request that failed without an HTTP answer (refused connection,
  // abort, a client error), as the update check expects of its client.
  static constexpr int kFailureStatus = 404;
  static inline const QString kAbortedText = QStringLiteral("Connection aborted on request");

  explicit HttpClient(QObject* parent = nullptr);
  ~HttpClient() override;

  // A proxy host and port (as text). With no host the system's proxy configuration is
  // used (environment, desktop settings), else a direct connection.
  void SetProxy(const QString& host, const QString& portText);

  // The receive target of the next request: a memory buffer that fails the request with
  // `overflowText` once the body passes `limit` bytes, or an open file written as the body
  // arrives (not owned).
  void SetReceiveBuffer(qint64 limit, const QString& overflowText);
  void SetReceiveFile(QIODevice* file);
  // Forgets the receive target; what arrives later is dropped.
  void DetachReceiveTarget();
  // The body received into the memory buffer, which is emptied.
  QByteArray TakeBuffer();

  // A request that receives nothing for this long fails.
  void SetTransferTimeout(int milliseconds) { transferTimeoutMs_ = milliseconds; }

  // Starts a GET of `url` and returns at once; Completed follows. While another request
  // runs, raises the client error "The connection is busy with another request" and
  // returns false.
  bool Get(const QUrl& url);
  bool Busy() const { return reply_ != nullptr; }

  // Ends the running request now; it completes with a non-zero error code, status 404 and
  // "Connection aborted on request".
  void Abort();

  // The status code and reason text of the last completed request: the server's, or 404
  // and the client's own text for a failure without an answer.
  int StatusCode() const { return statusCode_; }
  QString ReasonText() const { return reasonText_; }

  // Errors of the client itself (busy, a receive file that cannot be written) go to the
  // handler in force; the running request then fails with the error's message. Returns
  // the handler that was in force before.
  using ErrorHandler = std::function<void(const QString& message)>;
  ErrorHandler SetErrorHandler(ErrorHandler handler);
  // The message of the last client error, whoever handled it.
  QString LastClientError() const { return lastClientError_; }

 signals:
  // The request has ended: 0 when no transport error occurred.
  void Completed(int errorCode);
  // A block of the body has arrived: bytes so far and the announced length (-1 for none).
  void DataReceived(qint64 bytesReceived, qint64 fileSize);

 private:
  void raiseError(const QString& message);
  void onReadyRead();
  void onFinished(QNetworkReply* reply);
  bool storeBlock(const QByteArray& block);

  QNetworkAccessManager manager_;
  QPointer<QNetworkReply> reply_;
  QIODevice* file_ = nullptr;
  bool toBuffer_ = false;
  QByteArray buffer_;
  qint64 bufferLimit_ = 0;
  QString overflowText_;
  qint64 received_ = 0;
  QString failure_;  // set when the running request is ended by us, with the reason
  int transferTimeoutMs_ = 30000;
  int statusCode_ = 0;
  QString reasonText_;
  ErrorHandler errorHandler_;
  QString lastClientError_;
};

}  // namespace vardell
