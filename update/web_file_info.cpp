// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The update-check component: the page fetch, the version test, the interactive check,
// the ReadMe, the download, and the handling of the HTTP client's errors.
#include "update/web_file_info.h"

#include "update/http_client.h"
#include "update/update_windows.h"
#include "update/web_dl_progress.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QSaveFile>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace vardell {

namespace {

// One HTTP client and one completion receiver for the whole program, created by the first
// request and released with the component that created them; and the HTTP-error
// interception with the handler that was in force before it.
struct SharedHttp {
  HttpClient* client = nullptr;
  THttpEvents* events = nullptr;
  TWebFileInfo* owner = nullptr;
  bool interceptionInForce = false;
  HttpClient::ErrorHandler savedHandler;
};

SharedHttp& shared() {
  static SharedHttp state;
  return state;
}

UpdatePrompts& defaultPrompts() {
  static QtUpdatePrompts prompts;
  return prompts;
}

void putInterceptionInForce() {
  SharedHttp& s = shared();
  if (s.interceptionInForce) return;  // never save ourselves as the handler before us
  s.savedHandler = s.client->SetErrorHandler(interceptHttpError);
  s.interceptionInForce = true;
}

void withdrawInterception() {
  SharedHttp& s = shared();
  if (!s.interceptionInForce) return;
  s.client->SetErrorHandler(std::exchange(s.savedHandler, nullptr));
  s.interceptionInForce = false;
}

QString withError(const QString& head, const QString& error) {
  return error.isEmpty() ? head + QStringLiteral("\rError unknown.")
                         : head + QStringLiteral("\rError: \"%1.\"").arg(error);
}

}  // namespace

void interceptHttpError(const QString& message) {
  SharedHttp& s = shared();
  if (s.events != nullptr && s.events->Component != nullptr) s.events->Component->handleHttpClientError(message);
}

void THttpEvents::HttpDone(int errorCode) {
  if (Component != nullptr) Component->completeRequest(errorCode);
}

TWebFileInfo::TWebFileInfo(QObject* owner) : QObject(owner), prompts_(&defaultPrompts()) {}

TWebFileInfo::~TWebFileInfo() {
  SharedHttp& s = shared();
  if (s.events != nullptr && s.events->Component == this) s.events->Component = nullptr;
  if (s.owner != this) return;
  withdrawInterception();
  delete s.events;
  delete s.client;
  s = SharedHttp();
}

void TWebFileInfo::SetActive(bool value) {
  if (!value) active_ = false;
}

void TWebFileInfo::SetHomeURL(const QString& value) {
  if (value.size() <= 6) return;
  const QString lower = value.toLower();
  if (!lower.startsWith(QLatin1String("http://")) && !lower.startsWith(QLatin1String("https://"))) return;
  homeURL_ = value;
  active_ = false;
}

QFont TWebFileInfo::UIFont() {
  if (uiOwnerFont_)
    if (const auto* window = qobject_cast<QWidget*>(parent()); window != nullptr && window->isWindow())
      uiFont_ = window->font();
  return uiFont_;
}

void TWebFileInfo::SetUIFont(const QFont& value) {
  uiFont_ = value;
  uiOwnerFont_ = false;
}

void TWebFileInfo::SetPrompts(UpdatePrompts* prompts) { prompts_ = prompts != nullptr ? prompts : &defaultPrompts(); }

QString TWebFileInfo::applicationTitle() { return QGuiApplication::applicationDisplayName(); }

TMsgAnswer TWebFileInfo::ask(TMsgIcon icon, TMsgButtons buttons, const QString& caption, const QString& text) {
  return prompts_->showMessageBox({icon, buttons, caption, text});
}

void TWebFileInfo::showPlainMessage(const QString& text) {
  ask(TMsgIcon::None, TMsgButtons::Ok, applicationTitle(), text);
}

HttpClient& TWebFileInfo::client() {
  SharedHttp& s = shared();
  if (s.client == nullptr) {
    s.client = new HttpClient;
    s.events = new THttpEvents;
    s.owner = this;
    QObject::connect(s.client, &HttpClient::Completed, s.events, &THttpEvents::HttpDone);
  }
  s.events->Component = this;  // the completion goes to the component whose request runs
  return *s.client;
}

void TWebFileInfo::applyProxy() {
  if (proxyHost_.isEmpty())
    client().SetProxy(QString(), QStringLiteral("80"));
  else
    client().SetProxy(proxyHost_, QString::number(proxyPort_));
}

QUrl TWebFileInfo::followUpUrl(const QString& address, QString& refusal) const {
  return followUpAddress(pageURL_, address, refusal);
}

int TWebFileInfo::statusFailure() {
  const int status = client().StatusCode();
  if (status > 200) {
    lastError_ = client().ReasonText();
    if (lastError_.isEmpty()) lastError_ = QStringLiteral("HTTP status %1").arg(status);
  }
  return status;
}

void TWebFileInfo::releaseWaitWindow() {
  if (waitWindow_) waitWindow_->deleteLater();
  waitWindow_ = nullptr;
}

void TWebFileInfo::completeRequest(int errorCode) {
  if (errorCode != 0)
    lastError_ = client().ReasonText();
  else
    lastError_.clear();
  if (waitWindow_) waitWindow_->Finish(QDialog::Accepted);
  if (dlProgress_) dlProgress_->done(dlProgress_->Cancelled ? QDialog::Rejected : QDialog::Accepted);
}

void TWebFileInfo::handleHttpClientError(const QString& message) {
  lastError_ = message;
  if (waitWindow_) {
    waitWindow_->Finish(QDialog::Rejected);
    releaseWaitWindow();
  }
  if (dlProgress_) {
    dlProgress_->done(QDialog::Rejected);
    dlProgress_->deleteLater();
    dlProgress_ = nullptr;
  }
  HttpClient& http = client();
  http.DetachReceiveTarget();
  QObject::disconnect(&http, &HttpClient::DataReceived, nullptr, nullptr);
  withdrawInterception();
  ask(TMsgIcon::Exclamation, TMsgButtons::Ok, QStringLiteral("Exception"),
      QStringLiteral("Error retrieving update information.\rException: %1.").arg(message));
}

bool TWebFileInfo::RetrieveInfo() {
  dateConversionFailed_ = false;
  return retrieveInfo(0);
}

bool TWebFileInfo::retrieveInfo(int redirectPages) {
  if (active_) return true;
  if (homeURL_.isEmpty()) {
    ask(TMsgIcon::Exclamation, TMsgButtons::Ok, QStringLiteral("Missing Home URL"),
        QStringLiteral("Can not retrieve version information\rbecause no home url was provided."));
    return false;
  }
  if (infoTags_.allEmpty()) {
    ask(TMsgIcon::Exclamation, TMsgButtons::Ok, QStringLiteral("Missing Tag Information"),
        QStringLiteral("Can not retrieve version information\rbecause no tag information was provided."));
    return false;
  }
  HttpClient& http = client();
  putInterceptionInForce();
  applyProxy();
  http.SetReceiveBuffer(kMaxPageSize, QStringLiteral("The update information page is larger than 1 MiB"));
  lastError_.clear();

  // Only a failure found before any request: the page values go, like after a failed fetch.
  auto failBeforeFetch = [this](const QString& reason) {
    lastError_ = reason;
    values_ = TInfoPageValues();
    productDate_ = QDate();
    releaseWaitWindow();
    active_ = false;
    return false;
  };
  QUrl url;
  if (values_.RedirectURL.isEmpty()) {
    url = QUrl(homeURL_);
  } else {
    if (redirectPages > kMaxRedirectPages)
      return failBeforeFetch(QStringLiteral("Too many redirects (more than %1)").arg(kMaxRedirectPages));
    QString refusal;
    url = followUpUrl(values_.RedirectURL, refusal);
    if (url.isEmpty()) return failBeforeFetch(refusal);
  }
  pageURL_ = url;
  if (!http.Get(url)) {  // the client's error has been reported; this fetch ends here
    if (lastError_.isEmpty()) lastError_ = http.LastClientError();
    releaseWaitWindow();
    active_ = false;
    return false;
  }
  if (!waitWindow_) waitWindow_ = new TWaitWindow(QStringLiteral("Checking For Update..."), UIFont());
  waitWindow_->exec();

  const int status = statusFailure();
  if (status > 200) showPlainMessage(QString::number(status));
  values_ = TInfoPageValues();
  productDate_ = QDate();
  bool success = false;
  if (lastError_.isEmpty() && status <= 200) {
    success = true;
    ParseInfoPage(splitPageLines(http.TakeBuffer()), infoTags_, values_);
    downloadFileName_ = downloadFileNameOf(values_.DownloadURL);
    if (!values_.ProductDateStr.isEmpty() && dateFormat_ == wfidDFSDate) {
      const std::optional<QDate> date = convertProductDate(values_.ProductDateStr);
      if (!date) {
        dateConversionFailed_ = true;
        releaseWaitWindow();
        ask(TMsgIcon::Error, TMsgButtons::Ok, applicationTitle(),
            QStringLiteral("'%1' is not a valid date").arg(values_.ProductDateStr));
        return false;
      }
      productDate_ = *date;
    }
  }
  http.TakeBuffer();  // release what a failed fetch received
  if (success && !values_.RedirectURL.isEmpty()) return retrieveInfo(redirectPages + 1);
  releaseWaitWindow();
  active_ = success;
  return success;
}

bool TWebFileInfo::IsNewerVersion() const {
  switch (versionFormat_) {
    case wfivSimpleString: return isNewerSimpleString(currentVersion_, values_.ProductVersion);
    case wfivBuildNumber: return isNewerBuildNumber(currentVersion_, values_.ProductVersion);
  }
  return false;
}

bool TWebFileInfo::IsOnline() {
  if (!hostLookup_.localHostName || !hostLookup_.addressesOf) return false;
  const std::string name = hostLookup_.localHostName();
  if (name.empty()) return false;
  const std::optional<std::vector<std::string>> addresses = resolveWhileResponsive(hostLookup_, name);
  if (!addresses || addresses->empty()) return false;
  const std::string& last = (*addresses)[std::min<std::size_t>(addresses->size(), 11) - 1];
  return !last.empty() && last != "127.0.0.1";
}

bool TWebFileInfo::CheckForUpdate() {
  if (!IsOnline()) {
    showPlainMessage(QStringLiteral("You must first connect to the internet"));
    return false;
  }
  if (!RetrieveInfo()) {
    if (dateConversionFailed_) return false;  // its error box has been shown
    ask(TMsgIcon::Exclamation, TMsgButtons::Ok, QStringLiteral("Connection Error"),
        withError(QStringLiteral("Could not retrieve version information from the Internet."), lastError_));
    return false;
  }
  if (!IsNewerVersion()) {
    ask(TMsgIcon::Information, TMsgButtons::Ok, QStringLiteral("No Update Found"),
        QStringLiteral("You have the latest version."));
    return false;
  }
  if (options_.testFlag(wfioDisplayReadMe)) ShowReadMe(true);
  const QString available =
      QStringLiteral("Current version is %1.\rVersion %2 is available.").arg(currentVersion_, values_.ProductVersion);
  if (ask(TMsgIcon::Question, TMsgButtons::YesNo, QStringLiteral("Update Available"),
          available + QStringLiteral("\rDownload the update?")) != TMsgAnswer::Yes)
    return false;

  const std::optional<TSaveDialogAnswer> choice =
      prompts_->askSaveFileName({kSaveFilter, downloadFileName_, /*OverwritePrompt=*/true, /*PathMustExist=*/true});
  if (!choice) return false;
  QString fileName = choice->FileName;
  if (!QFileInfo(fileName).fileName().contains(QLatin1Char('.'))) {
    if (choice->FilterIndex == 1) fileName += QStringLiteral(".EXE");
    if (choice->FilterIndex == 2) fileName += QStringLiteral(".ZIP");
  }
  if (!DownloadUpdate(fileName)) {
    ask(TMsgIcon::Exclamation, TMsgButtons::Ok, QStringLiteral("Download Error"),
        withError(QStringLiteral("Error occurred while downloading update."), lastError_));
    return false;
  }
  if (!options_.testFlag(wfioRunUpdate)) return true;
  const QString install = options_.testFlag(wfioExitDuringUpdate)
                              ? QStringLiteral("Do you want to install the update now?\rThis will close %1.")
                                    .arg(applicationTitle())
                              : QStringLiteral("Do you want to install the update now?");
  if (ask(TMsgIcon::Question, TMsgButtons::YesNo, QStringLiteral("Install Update"), install) != TMsgAnswer::Yes)
    return true;
  // The file is opened with the program its type is associated with; it is never run
  // directly, so the run parameters do not apply here.
  if (prompts_->openWithAssociatedProgram(updateFilePath_)) {
    if (options_.testFlag(wfioExitDuringUpdate)) prompts_->terminateApplication();
    return true;
  }
  ask(TMsgIcon::Exclamation, TMsgButtons::Ok, QStringLiteral("Error"), QStringLiteral("Can not start program."));
  return true;
}

bool TWebFileInfo::fetchIntoMemory(const QUrl& url, const QString& waitText, QByteArray& body) {
  HttpClient& http = client();
  applyProxy();
  http.SetReceiveBuffer(kMaxPageSize, QStringLiteral("The ReadMe is larger than 1 MiB"));
  lastError_.clear();
  if (!http.Get(url)) {
    if (lastError_.isEmpty()) lastError_ = http.LastClientError();
    return false;
  }
  auto window = std::make_unique<TWaitWindow>(waitText, UIFont());
  waitWindow_ = window.get();
  window->exec();
  waitWindow_ = nullptr;
  body = http.TakeBuffer();
  return statusFailure() <= 200 && lastError_.isEmpty();
}

bool TWebFileInfo::ShowReadMe(bool Ask) {
  if (!active_ && !RetrieveInfo()) return false;
  if (values_.ProductReadMe.isEmpty() && values_.ProductReadMeExt.isEmpty()) return false;
  if (Ask) {
    const QString text = QStringLiteral("Current version is %1.\rVersion %2 is available.")
                             .arg(currentVersion_, values_.ProductVersion) +
                         QStringLiteral("\rWould you like to view the ReadMe file?");
    if (ask(TMsgIcon::Question, TMsgButtons::YesNo, QStringLiteral("Update Available"), text) != TMsgAnswer::Yes)
      return false;
  }
  if (!values_.ProductReadMeExt.isEmpty()) {
    const QString target = QDir::tempPath() + QLatin1Char('/') + downloadFileNameOf(values_.ProductReadMeExt);
    QString refusal;
    const QUrl url = followUpUrl(values_.ProductReadMeExt, refusal);
    bool opened = false;
    if (url.isEmpty())
      lastError_ = refusal;
    else if (DownloadFile(url.toString(), target, QStringLiteral("Downloading ReadMe")))
      opened = prompts_->openWithAssociatedProgram(target);
    if (opened) return true;
    ask(TMsgIcon::Exclamation, TMsgButtons::Ok, QStringLiteral("Error"), QStringLiteral("Can not start program."));
  }
  if (!values_.ProductReadMe.isEmpty()) {
    QString refusal;
    const QUrl url = followUpUrl(values_.ProductReadMe, refusal);
    QByteArray body;
    if (url.isEmpty()) {
      lastError_ = refusal;
    } else if (fetchIntoMemory(url, QStringLiteral("Retrieving ReadMe..."), body)) {
      QStringList lines;
      for (const QByteArray& line : splitPageLines(body)) lines << QString::fromUtf8(line);
      TReadMeWindow window(lines, UIFont());
      prompts_->runModalWindow(window);
    }
  }
  return true;
}

bool TWebFileInfo::DownloadUpdate(const QString& Destination) {
  if (!active_ && !RetrieveInfo()) return false;
  updateFilePath_ = Destination.endsWith(QLatin1Char('/')) || Destination.endsWith(QLatin1Char('\\'))
                        ? Destination + downloadFileName_
                        : Destination;
  QString refusal;
  const QUrl url = followUpUrl(values_.DownloadURL, refusal);
  if (url.isEmpty()) {
    lastError_ = refusal;
    return false;
  }
  if (!options_.testFlag(wfioAlwaysOverwrite) && QFileInfo::exists(updateFilePath_) &&
      ask(TMsgIcon::Question, TMsgButtons::YesNo, QStringLiteral("File Exists"),
          QStringLiteral("The file %1 already exists.\rDo you want to overwrite it?").arg(updateFilePath_)) !=
          TMsgAnswer::Yes)
    return false;
  return DownloadFile(url.toString(), updateFilePath_, QStringLiteral("Downloading Update"));
}

void TWebFileInfo::onDataReceived(qint64 bytesReceived, qint64 fileSize) {
  if (dlProgress_) dlProgress_->ShowProgress(bytesReceived, fileSize);
  if (onDownloadProgress_) onDownloadProgress_(this, bytesReceived, fileSize);
}

bool TWebFileInfo::DownloadFile(const QString& URL, const QString& Path, const QString& Caption) {
  lastError_.clear();
  // The body goes to a temporary file beside Path that replaces it only when complete.
  QSaveFile file(Path);
  if (!file.open(QIODevice::WriteOnly)) {
    lastError_ = QStringLiteral("Could not create the file %1: %2").arg(Path, file.errorString());
    return false;
  }
  HttpClient& http = client();
  applyProxy();
  http.SetReceiveFile(&file);
  const QMetaObject::Connection progress = connect(&http, &HttpClient::DataReceived, this, &TWebFileInfo::onDataReceived);
  auto finish = [&](bool ok) {
    QObject::disconnect(progress);
    http.DetachReceiveTarget();
    if (ok && !file.commit()) {
      lastError_ = QStringLiteral("Could not save the file %1: %2").arg(Path, file.errorString());
      ok = false;
    }
    if (!ok) file.cancelWriting();
    return ok;
  };
  if (!http.Get(QUrl(URL))) {
    if (lastError_.isEmpty()) lastError_ = http.LastClientError();
    return finish(false);
  }

  QPointer<TWebDlProgress> dialog = new TWebDlProgress(UIFont(), [&http] { http.Abort(); });
  dialog->lblDownloading->setText(Caption);
  dlProgress_ = dialog;
  dialog->exec();
  dlProgress_ = nullptr;
  delete dialog.data();

  const bool ok = statusFailure() <= 200 && lastError_.isEmpty();
  return finish(ok);
}

}  // namespace vardell
