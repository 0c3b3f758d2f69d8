// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// One GET at a time over QNetworkAccessManager, reported as status code and reason text.
#include "update/http_client.h"

#include <QIODevice>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <utility>

namespace vardell {

namespace {

// The client's own reason text for a request that got no usable HTTP answer.
QString transportReason(QNetworkReply::NetworkError error, const QString& qtText, int timeoutMs) {
  switch (error) {
    case QNetworkReply::TooManyRedirectsError:
      return QStringLiteral("Too many redirects (more than %1)").arg(HttpClient::kMaxRedirects);
    case QNetworkReply::InsecureRedirectError:
      return QStringLiteral("Redirect from a secure address to an insecure one refused");
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError:
      return QStringLiteral("No answer from the server for %1 seconds").arg(timeoutMs / 1000);
    default:
      return qtText;
  }
}

}  // namespace

HttpClient::HttpClient(QObject* parent) : QObject(parent) {
  manager_.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
  SetProxy(QString(), QStringLiteral("80"));
}

HttpClient::~HttpClient() {
  if (reply_) {
    reply_->disconnect(this);
    reply_->abort();
  }
}

void HttpClient::SetProxy(const QString& host, const QString& portText) {
  if (host.isEmpty()) {
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    manager_.setProxy(QNetworkProxy(QNetworkProxy::DefaultProxy));
    return;
  }
  manager_.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, host, portText.toUShort()));
}

void HttpClient::SetReceiveBuffer(qint64 limit, const QString& overflowText) {
  file_ = nullptr;
  toBuffer_ = true;
  buffer_.clear();
  bufferLimit_ = limit;
  overflowText_ = overflowText;
}

void HttpClient::SetReceiveFile(QIODevice* file) {
  toBuffer_ = false;
  buffer_.clear();
  file_ = file;
}

void HttpClient::DetachReceiveTarget() {
  toBuffer_ = false;
  buffer_.clear();
  file_ = nullptr;
}

QByteArray HttpClient::TakeBuffer() { return std::exchange(buffer_, QByteArray()); }

HttpClient::ErrorHandler HttpClient::SetErrorHandler(ErrorHandler handler) {
  return std::exchange(errorHandler_, std::move(handler));
}

bool HttpClient::Get(const QUrl& url) {
  if (reply_) {
    raiseError(QStringLiteral("The connection is busy with another request"));
    return false;
  }
  QNetworkRequest request(url);
  request.setMaximumRedirectsAllowed(kMaxRedirects);
  request.setTransferTimeout(transferTimeoutMs_);
  failure_.clear();
  received_ = 0;
  statusCode_ = 0;
  reasonText_.clear();
  QNetworkReply* reply = manager_.get(request);
  reply_ = reply;
  connect(reply, &QNetworkReply::readyRead, this, &HttpClient::onReadyRead);
  connect(reply, &QNetworkReply::finished, this, [this, reply] { onFinished(reply); });
  // Completion is always reported from the event loop, never from inside Get.
  if (reply->isFinished()) QMetaObject::invokeMethod(this, [this, reply] { onFinished(reply); }, Qt::QueuedConnection);
  return true;
}

void HttpClient::Abort() {
  if (!reply_) return;
  failure_ = kAbortedText;
  reply_->abort();
}

void HttpClient::raiseError(const QString& message) {
  QPointer<QNetworkReply> running = reply_;
  lastClientError_ = message;
  if (running) failure_ = message;
  if (errorHandler_) {
    ErrorHandler handler = errorHandler_;  // the handler may replace itself
    handler(message);
  }
  if (running && running == reply_) running->abort();
}

bool HttpClient::storeBlock(const QByteArray& block) {
  if (toBuffer_) {
    if (buffer_.size() + block.size() > bufferLimit_) {
      failure_ = overflowText_;
      return false;
    }
    buffer_.append(block);
  } else if (file_ != nullptr && file_->write(block) != block.size()) {
    raiseError(QStringLiteral("Could not write the received data: %1").arg(file_->errorString()));
    return false;
  }
  received_ += block.size();
  return true;
}

void HttpClient::onReadyRead() {
  QPointer<QNetworkReply> reply = qobject_cast<QNetworkReply*>(sender());
  if (!reply || reply != reply_ || !failure_.isEmpty()) return;
  const QByteArray block = reply->readAll();
  if (!storeBlock(block)) {
    if (reply && reply == reply_) reply->abort();
    return;
  }
  const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
  emit DataReceived(received_, length.isValid() ? length.toLongLong() : -1);
}

void HttpClient::onFinished(QNetworkReply* reply) {
  if (reply != reply_) return;  // an earlier request, or one already reported
  reply->deleteLater();
  if (failure_.isEmpty() && reply->bytesAvailable() > 0) {
    if (!storeBlock(reply->readAll()) && failure_.isEmpty()) failure_ = overflowText_;
  }
  reply_ = nullptr;
  int error = reply->error();
  const int httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const QString phrase = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
  if (!failure_.isEmpty()) {
    statusCode_ = kFailureStatus;
    reasonText_ = failure_;
    if (error == QNetworkReply::NoError) error = QNetworkReply::OperationCanceledError;
  } else if (error == QNetworkReply::NoError) {
    statusCode_ = httpStatus != 0 ? httpStatus : 200;
    reasonText_ = phrase;
  } else if (httpStatus >= 400) {
    statusCode_ = httpStatus;
    reasonText_ = phrase.isEmpty() ? reply->errorString() : phrase;
  } else {
    statusCode_ = kFailureStatus;
    reasonText_ = transportReason(reply->error(), reply->errorString(), transferTimeoutMs_);
  }
  emit Completed(error);
}

}  // namespace vardell
