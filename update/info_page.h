// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Reading the product's information page: the tagged values, the date, version order and
// the file name of the download address. Pure functions, no network.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace vardell {

// The ten names under which the page publishes its values; an empty name means the item
// is not configured (it still matches a line whose name is empty).
struct TWfiTags {
  QString AuthorTag;
  QString AuthorEMailTag;
  QString DateTag;
  QString DownloadTag;
  QString ProductNameTag;
  QString ReadMeTag;
  QString ReadMeExtTag;
  QString RedirectTag;
  QString RunParamsTag;
  QString VersionTag;

  bool allEmpty() const;
  bool operator==(const TWfiTags&) const = default;
};

// The values a page publishes. Each is empty until a line names it.
struct TInfoPageValues {
  QString ProductName;
  QString ProductReadMe;
  QString ProductReadMeExt;
  QString ProductVersion;
  QString ProductDateStr;
  QString ProductAuthor;
  QString ProductAuthorEMail;
  QString DownloadURL;
  QString RedirectURL;
  QString RunParams;
};

// The page body as lines, each ended by CR, LF or CR LF; a last line without an end counts.
QList<QByteArray> splitPageLines(const QByteArray& body);

// Reads every line of the form ...META HTTP-EQUIV="name" ... CONTENT="value"... (META and
// HTTP-EQUIV in any letter case, CONTENT= in capitals) into `values`: each tag whose name
// equals the line's name, case-sensitively, receives the value, so a later line wins.
// A line without META HTTP-EQUIV or without CONTENT= publishes nothing. Values are UTF-8.
void ParseInfoPage(const QList<QByteArray>& lines, const TWfiTags& tags, TInfoPageValues& values);

// Converts "March 5, 2024", "Mar 05, 2024" and the like: month from the first three
// letters, day from the two characters before the first comma, year from the last four.
// nullopt when the month letters are unknown, the day or year is not a number, or the
// date does not exist.
std::optional<QDate> convertProductDate(const QString& text);

// Version order by dot-separated numbers, driven by the current version's components:
// 3.1.10 is newer than 3.1.5, 3.1.1 is not newer than 3.1. A part that is not a decimal
// integer counts as 0.
bool isNewerBuildNumber(const QString& current, const QString& offered);

// Plain character-code order: offered sorts strictly after current, byte by byte, a proper
// prefix first. 3.1.10 is not newer than 3.1.5.
bool isNewerSimpleString(const QString& current, const QString& offered);

// The part of a download address after its last "/" (all of it without a "/"), at most
// 1000 characters.
QString downloadFileNameOf(const QString& url);

// An address named by the page at `page` (a further page, a ReadMe, the download),
// resolved against it. Empty with `refusal` set when it is not an http:// or https://
// address, or when it is plain http while the page itself came over https: a download
// named by a secure page must not be replaceable on the way.
QUrl followUpAddress(const QUrl& page, const QString& address, QString& refusal);

}  // namespace vardell
