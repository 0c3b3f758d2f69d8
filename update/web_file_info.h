// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The update-check component: reads the product's information page over HTTP, compares
// the version offered with the running one, and downloads and opens the update.
#pragma once

#include "update/host_lookup.h"
#include "update/info_page.h"
#include "update/update_prompts.h"
#include "update/update_windows.h"
#include "update/web_dl_progress.h"

#include <QDate>
#include <QFlags>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

namespace vardell {

class HttpClient;
class THttpEvents;

enum TWfiOption {
  wfioAlwaysOverwrite = 0x1,   // download over an existing file without asking
  wfioDisplayReadMe = 0x2,     // offer the ReadMe before offering the download
  wfioRunUpdate = 0x4,         // after the download, offer to open the file
  wfioExitDuringUpdate = 0x8,  // when the update is opened, end the program
};
Q_DECLARE_FLAGS(TWfiOptions, TWfiOption)

enum TWfiVersionFormat { wfivBuildNumber, wfivSimpleString };
enum TWfiDateFormat { wfidDFSDate, wfidNone };

class TWebFileInfo;
// The HTTP-error interception: hands a client error to the component whose request runs.
void interceptHttpError(const QString& message);

// Raised for each block of a file download, after the dialog shows it.
using TDownloadProgressEvent = std::function<void(TWebFileInfo* Sender, qint64 BytesReceived, qint64 FileSize)>;

class TWebFileInfo : public QObject {
  Q_OBJECT

 public:
  // The information page is read into memory up to this size; a larger one is a failure.
  static constexpr qint64 kMaxPageSize = 1024 * 1024;
  // Pages that name a further page through the redirect tag, followed before failing.
  static constexpr int kMaxRedirectPages = 10;
  static inline const QString kSaveFilter =
      QStringLiteral("Application (*.EXE)|*.EXE|Zipped File|*.ZIP|All Files (*.*)|*.*");

  explicit TWebFileInfo(QObject* owner = nullptr);
  ~TWebFileInfo() override;

  // --- Properties, in their published order ---
  // True once the page was read; while true the values are reused and nothing is fetched.
  // Only false can be written: it discards the information.
  bool Active() const { return active_; }
  void SetActive(bool value);
  QString CurrentVersion() const { return currentVersion_; }
  void SetCurrentVersion(const QString& value) { currentVersion_ = value; }
  TWfiDateFormat DateFormat() const { return dateFormat_; }
  void SetDateFormat(TWfiDateFormat value) { dateFormat_ = value; }
  QString DownloadURL() const { return values_.DownloadURL; }
  // The information page. A value of 6 characters or fewer, or one that begins neither
  // with "http://" nor "https://" (any letter case), is ignored; an accepted one makes the
  // next use fetch again.
  QString HomeURL() const { return homeURL_; }
  void SetHomeURL(const QString& value);
  const TWfiTags& InfoTags() const { return infoTags_; }
  void SetInfoTags(const TWfiTags& value) { infoTags_ = value; }
  // The reason of the last failure, empty after a success.
  QString LastError() const { return lastError_; }
  TWfiOptions Options() const { return options_; }
  void SetOptions(TWfiOptions value) { options_ = value; }
  QString ProductName() const { return values_.ProductName; }
  QString ProductAuthor() const { return values_.ProductAuthor; }
  QString ProductAuthorEMail() const { return values_.ProductAuthorEMail; }
  QDate ProductDate() const { return productDate_; }  // null when not converted
  QString ProductDateStr() const { return values_.ProductDateStr; }
  QString ProductReadMe() const { return values_.ProductReadMe; }
  QString ProductReadMeExt() const { return values_.ProductReadMeExt; }
  QString ProductVersion() const { return values_.ProductVersion; }
  QString ProxyHost() const { return proxyHost_; }
  void SetProxyHost(const QString& value) { proxyHost_ = value; }
  qint32 ProxyPort() const { return proxyPort_; }
  void SetProxyPort(qint32 value) { proxyPort_ = value; }
  QString RunParams() const { return values_.RunParams; }
  // The font of the component's windows. While UIOwnerFont is true, reading it first takes
  // the owning window's font; writing it sets UIOwnerFont to false.
  QFont UIFont();
  void SetUIFont(const QFont& value);
  bool UIOwnerFont() const { return uiOwnerFont_; }
  void SetUIOwnerFont(bool value) { uiOwnerFont_ = value; }
  TWfiVersionFormat VersionFormat() const { return versionFormat_; }
  void SetVersionFormat(TWfiVersionFormat value) { versionFormat_ = value; }
  TDownloadProgressEvent OnDownloadProgress() const { return onDownloadProgress_; }
  void SetOnDownloadProgress(TDownloadProgressEvent handler) { onDownloadProgress_ = std::move(handler); }

  // --- Operations ---
  // The whole interactive check: on line, page read, version compared, update offered,
  // saved, and offered to open. True when an update file was downloaded.
  bool CheckForUpdate();
  // Fetches and reads the page unless Active; returns (and leaves in Active) whether the
  // information is available. Failures leave LastError and empty Product values.
  bool RetrieveInfo();
  // Whether ProductVersion is newer than CurrentVersion under VersionFormat.
  bool IsNewerVersion() const;
  // Whether the machine's own name resolves to an address other than 127.0.0.1, waited for
  // a few seconds at most while the window keeps handling events.
  bool IsOnline();
  // Offers (when Ask) and shows the ReadMe; false when nothing was shown because the
  // information is missing, names no ReadMe, or the user declined.
  bool ShowReadMe(bool Ask);
  // Saves the file at DownloadURL to Destination (a folder ending in "/" takes the
  // download's own file name). Refuses a plain http download named by an https page.
  bool DownloadUpdate(const QString& Destination);
  // Saves URL to Path under a progress dialog captioned Caption. The file appears under
  // Path only when complete; a failure or Cancel leaves an earlier file of that name as it
  // was. True when the response status was 200 or below.
  bool DownloadFile(const QString& URL, const QString& Path, const QString& Caption);

  // --- Unpublished state, readable for the window and tests ---
  QString RedirectURL() const { return values_.RedirectURL; }
  QString DownloadFileName() const { return downloadFileName_; }
  QString UpdateFilePath() const { return updateFilePath_; }
  TWaitWindow* WaitWindow() const { return waitWindow_; }
  TWebDlProgress* DlProgress() const { return dlProgress_; }

  // --- Seams ---
  // Where questions and notices go (not owned); the real Qt dialogs by default.
  void SetPrompts(UpdatePrompts* prompts);
  void SetHostLookup(HostLookup lookup) { hostLookup_ = std::move(lookup); }

 private:
  friend class THttpEvents;
  friend void interceptHttpError(const QString& message);

  bool retrieveInfo(int redirectPages);
  void completeRequest(int errorCode);  // the completion notification
  void handleHttpClientError(const QString& message);  // the HTTP-error interception
  void onDataReceived(qint64 bytesReceived, qint64 fileSize);

  HttpClient& client();
  void applyProxy();
  // An address named by the page, resolved against it; empty with `refusal` set when it is
  // not http(s) or is plain http while the page came over https.
  QUrl followUpUrl(const QString& address, QString& refusal) const;
  // Runs a GET into memory under a new wait window showing `waitText`.
  bool fetchIntoMemory(const QUrl& url, const QString& waitText, QByteArray& body);
  int statusFailure();  // after a request: sets LastError from a status above 200
  void releaseWaitWindow();
  TMsgAnswer ask(TMsgIcon icon, TMsgButtons buttons, const QString& caption, const QString& text);
  void showPlainMessage(const QString& text);
  static QString applicationTitle();

  bool active_ = false;
  QString currentVersion_;
  TWfiDateFormat dateFormat_ = wfidDFSDate;
  QString homeURL_;
  TWfiTags infoTags_;
  QString lastError_;
  TWfiOptions options_ = TWfiOptions(wfioDisplayReadMe) | wfioRunUpdate | wfioExitDuringUpdate;
  TInfoPageValues values_;
  QDate productDate_;
  QString proxyHost_;
  qint32 proxyPort_ = 80;
  QFont uiFont_;
  bool uiOwnerFont_ = true;
  TWfiVersionFormat versionFormat_ = wfivBuildNumber;
  TDownloadProgressEvent onDownloadProgress_;

  QString downloadFileName_;
  QString updateFilePath_;
  QUrl pageURL_;  // the page the current values came from
  bool dateConversionFailed_ = false;
  QPointer<TWaitWindow> waitWindow_;
  QPointer<TWebDlProgress> dlProgress_;
  UpdatePrompts* prompts_ = nullptr;
  HostLookup hostLookup_ = systemHostLookup();
};

// The completion notification of the shared HTTP client, passed to the component whose
// request is running.
class THttpEvents : public QObject {
  Q_OBJECT

 public:
  TWebFileInfo* Component = nullptr;
  void HttpDone(int errorCode);
};

}  // namespace vardell

Q_DECLARE_OPERATORS_FOR_FLAGS(vardell::TWfiOptions)
