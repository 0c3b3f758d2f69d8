// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The information page's line format, its date text and the two version orders.
#include "update/info_page.h"

namespace vardell {

namespace {

constexpr qsizetype kNameOffset = 17;   // "META HTTP-EQUIV" and two more characters: ="
constexpr qsizetype kValueOffset = 9;   // "CONTENT=" and the opening quote
constexpr qsizetype kQuoteWindow = 1000;  // a closing quote is looked for this far

QByteArray asciiUpper(QByteArray text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// The text from `start` up to the next double quote within kQuoteWindow characters; empty
// when there is none there.
QByteArray quotedFrom(const QByteArray& line, qsizetype start) {
  if (start > line.size()) return {};
  const qsizetype end = line.indexOf('"', start);
  if (end < 0 || end - start >= kQuoteWindow) return {};
  return line.mid(start, end - start);
}

// The integer before the first dot (all of the text without one); 0 when not decimal.
int leadingNumber(const QString& text, qsizetype dot) {
  bool ok = false;
  const int value = (dot < 0 ? text : text.left(dot)).toInt(&ok, 10);
  return ok ? value : 0;
}

}  // namespace

bool TWfiTags::allEmpty() const {
  return AuthorTag.isEmpty() && AuthorEMailTag.isEmpty() && DateTag.isEmpty() && DownloadTag.isEmpty() &&
         ProductNameTag.isEmpty() && ReadMeTag.isEmpty() && ReadMeExtTag.isEmpty() && RedirectTag.isEmpty() &&
         RunParamsTag.isEmpty() && VersionTag.isEmpty();
}

QList<QByteArray> splitPageLines(const QByteArray& body) {
  QList<QByteArray> lines;
  qsizetype start = 0;
  for (qsizetype i = 0; i < body.size(); ++i) {
    if (body[i] != '\r' && body[i] != '\n') continue;
    lines << body.mid(start, i - start);
    if (body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < body.size()) lines << body.mid(start);
  return lines;
}

void ParseInfoPage(const QList<QByteArray>& lines, const TWfiTags& tags, TInfoPageValues& values) {
  const std::pair<const QString*, QString*> targets[] = {
      {&tags.ProductNameTag, &values.ProductName},     {&tags.ReadMeTag, &values.ProductReadMe},
      {&tags.ReadMeExtTag, &values.ProductReadMeExt},  {&tags.VersionTag, &values.ProductVersion},
      {&tags.DateTag, &values.ProductDateStr},         {&tags.AuthorTag, &values.ProductAuthor},
      {&tags.AuthorEMailTag, &values.ProductAuthorEMail}, {&tags.DownloadTag, &values.DownloadURL},
      {&tags.RedirectTag, &values.RedirectURL},        {&tags.RunParamsTag, &values.RunParams},
  };
  for (const QByteArray& line : lines) {
    const qsizetype meta = asciiUpper(line).indexOf("META HTTP-EQUIV");
    if (meta < 0) continue;
    const qsizetype content = line.indexOf("CONTENT=");
    if (content < 0) continue;
    const QString name = QString::fromUtf8(quotedFrom(line, meta + kNameOffset));
    const QString value = QString::fromUtf8(quotedFrom(line, content + kValueOffset));
    for (const auto& [tag, target] : targets)
      if (*tag == name) *target = value;
  }
}

std::optional<QDate> convertProductDate(const QString& text) {
  static const QString kMonths = QStringLiteral("JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC");
  const QString letters = text.left(3).toUpper();
  const qsizetype position = letters.size() == 3 ? kMonths.indexOf(letters) + 1 : 0;  // 1-based
  const int month = static_cast<int>((position + 2) / 3);
  const qsizetype comma = text.indexOf(QLatin1Char(','));
  if (month == 0 || comma < 1 || text.size() < 4) return std::nullopt;
  bool dayOk = false;
  bool yearOk = false;
  const int day = text.mid(comma - 2 < 0 ? 0 : comma - 2, comma < 2 ? comma : 2).trimmed().toInt(&dayOk, 10);
  const int year = text.right(4).toInt(&yearOk, 10);
  const QDate date(year, month, day);
  if (!dayOk || !yearOk || !date.isValid()) return std::nullopt;
  return date;
}

bool isNewerBuildNumber(const QString& current, const QString& offered) {
  QString c = current;
  QString p = offered;
  qsizetype currentDot = 0;
  do {
    currentDot = c.indexOf(QLatin1Char('.'));
    const qsizetype offeredDot = p.indexOf(QLatin1Char('.'));
    const int currentNumber = leadingNumber(c, currentDot);
    const int offeredNumber = leadingNumber(p, offeredDot);
    if (currentNumber < offeredNumber) return true;
    if (currentNumber > offeredNumber) return false;
    if (currentDot >= 0) c.remove(0, currentDot + 1);
    if (offeredDot >= 0) p.remove(0, offeredDot + 1);
  } while (currentDot >= 0);
  return false;
}

bool isNewerSimpleString(const QString& current, const QString& offered) {
  return offered.toUtf8() > current.toUtf8();
}

QString downloadFileNameOf(const QString& url) {
  return url.mid(url.lastIndexOf(QLatin1Char('/')) + 1).left(1000);
}

QUrl followUpAddress(const QUrl& page, const QString& address, QString& refusal) {
  const QString trimmed = address.trimmed();
  const QUrl url = page.resolved(QUrl(trimmed));
  const QString scheme = url.scheme().toLower();
  if (trimmed.isEmpty() || !url.isValid() || url.host().isEmpty() ||
      (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
    refusal = QStringLiteral("The address \"%1\" is not an http:// or https:// address").arg(address);
    return {};
  }
  if (page.scheme().toLower() == QLatin1String("https") && scheme == QLatin1String("http")) {
    refusal = QStringLiteral("The secure update page names the insecure address %1; it is refused").arg(address);
    return {};
  }
  return url;
}

}  // namespace vardell
