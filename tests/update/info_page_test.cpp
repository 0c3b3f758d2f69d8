// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The information page's line format, its dates, and the two version orders.
#include "update/info_page.h"

#include <QFile>

#include <gtest/gtest.h>

namespace vardell {
namespace {

TWfiTags mainWindowTags() {
  TWfiTags tags;
  tags.DateTag = "date";
  tags.DownloadTag = "download";
  tags.VersionTag = "version";
  return tags;
}

TInfoPageValues parse(const QByteArray& page, const TWfiTags& tags = mainWindowTags()) {
  TInfoPageValues values;
  ParseInfoPage(splitPageLines(page), tags, values);
  return values;
}

struct PageRow {
  const char* name;
  QByteArray page;
  QString version;
  QString download;
};

class PageLines : public ::testing::TestWithParam<PageRow> {};

TEST_P(PageLines, YieldTheVersionAndDownload) {
  const TInfoPageValues values = parse(GetParam().page);
  EXPECT_EQ(values.ProductVersion, GetParam().version);
  EXPECT_EQ(values.DownloadURL, GetParam().download);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PageLines,
    ::testing::Values(
        PageRow{"Plain", "<META HTTP-EQUIV=\"version\" CONTENT=\"3.2\">\n<meta http-equiv=\"download\" CONTENT=\"http://h/v.zip\">",
                "3.2", "http://h/v.zip"},
        PageRow{"CrLfAndCrLinesAndNoFinalEnd",
                "<Meta Http-Equiv=\"version\" CONTENT=\"3.2\">\r<meta http-equiv=\"download\" CONTENT=\"d\">\r\nx", "3.2", "d"},
        // The tag name is compared in its own letter case: "Version" is not "version".
        PageRow{"TagNameInOtherLetterCase", "<meta http-equiv=\"Version\" CONTENT=\"9.9\">", "", ""},
        // The CONTENT marker must be in capitals; a lower-case one yields no value.
        PageRow{"LowerCaseContentMarker", "<meta http-equiv=\"version\" content=\"9.9\">", "", ""},
        PageRow{"LowerCaseContentLaterKeepsEarlierValue",
                "<meta http-equiv=\"version\" CONTENT=\"3.2\">\n<meta http-equiv=\"version\" content=\"9.9\">", "3.2", ""},
        PageRow{"DuplicateTagLaterWins",
                "<meta http-equiv=\"version\" CONTENT=\"3.2\">\n<meta http-equiv=\"version\" CONTENT=\"3.3\">", "3.3", ""},
        PageRow{"OneItemPerLine", "<meta http-equiv=\"version\" CONTENT=\"3.2\"><meta http-equiv=\"download\" CONTENT=\"d\">",
                "3.2", ""},
        PageRow{"TwoBlanksBetweenMetaAndHttpEquiv", "<meta  http-equiv=\"version\" CONTENT=\"3.2\">", "", ""},
        PageRow{"UnclosedValueIsEmpty", "<meta http-equiv=\"version\" CONTENT=\"3.2>", "", ""},
        PageRow{"NoMetaLine", "version CONTENT=\"3.2\"", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseInfoPage, AllTenTagsAndUtf8Values) {
  TWfiTags tags;
  tags.AuthorTag = "a";
  tags.AuthorEMailTag = "e";
  tags.DateTag = "d";
  tags.DownloadTag = "dl";
  tags.ProductNameTag = "n";
  tags.ReadMeTag = "r";
  tags.ReadMeExtTag = "rx";
  tags.RedirectTag = "go";
  tags.RunParamsTag = "p";
  tags.VersionTag = "v";
  QByteArray page;
  for (const char* name : {"a", "e", "d", "dl", "n", "r", "rx", "go", "p", "v"})
    page += QByteArray("<meta http-equiv=\"") + name + "\" CONTENT=\"" + name + "-v\u00e9\">\n";
  const TInfoPageValues v = parse(page, tags);
  EXPECT_EQ(v.ProductAuthor, QString::fromUtf8("a-v\u00e9"));
  EXPECT_EQ(v.ProductAuthorEMail, QString::fromUtf8("e-v\u00e9"));
  EXPECT_EQ(v.ProductDateStr, QString::fromUtf8("d-v\u00e9"));
  EXPECT_EQ(v.DownloadURL, QString::fromUtf8("dl-v\u00e9"));
  EXPECT_EQ(v.ProductName, QString::fromUtf8("n-v\u00e9"));
  EXPECT_EQ(v.ProductReadMe, QString::fromUtf8("r-v\u00e9"));
  EXPECT_EQ(v.ProductReadMeExt, QString::fromUtf8("rx-v\u00e9"));
  EXPECT_EQ(v.RedirectURL, QString::fromUtf8("go-v\u00e9"));
  EXPECT_EQ(v.RunParams, QString::fromUtf8("p-v\u00e9"));
  EXPECT_EQ(v.ProductVersion, QString::fromUtf8("v-v\u00e9"));
}

TEST(ParseInfoPage, PublishedExamplePageGivesVersionDateAndDownload) {
  QFile file(QStringLiteral(VARDELL_SOURCE_DIR "/docs/update-page-example.html"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const TInfoPageValues v = parse(file.readAll());
  EXPECT_EQ(v.ProductVersion, "3.2");
  EXPECT_EQ(convertProductDate(v.ProductDateStr), QDate(2024, 6, 14));
  EXPECT_EQ(v.DownloadURL, "https://vardell.org/files/vardell-3.2-x86_64.AppImage");
  EXPECT_EQ(v.RedirectURL, "");  // no line of the page publishes under an empty name
  EXPECT_TRUE(isNewerSimpleString("3.1.5", v.ProductVersion));
}

TEST(ParseInfoPage, AnEmptyNameFillsEveryUnconfiguredTag) {
  const TInfoPageValues v = parse("<meta http-equiv=\"\" CONTENT=\"x\">");
  EXPECT_EQ(v.RedirectURL, "x");  // the main window configures no redirect tag
  EXPECT_EQ(v.ProductName, "x");
  EXPECT_EQ(v.ProductVersion, "");
}

struct DateRow {
  const char* name;
  const char* text;
  QDate expected;  // null: does not convert
};

class DateConversion : public ::testing::TestWithParam<DateRow> {};

TEST_P(DateConversion, GivesTheCalendarDate) {
  const std::optional<QDate> date = convertProductDate(QString::fromLatin1(GetParam().text));
  EXPECT_EQ(date.value_or(QDate()), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DateConversion,
    ::testing::Values(DateRow{"LeadingZero", "March 05, 2024", QDate(2024, 3, 5)},
                      DateRow{"NoLeadingZero", "Mar 5, 2024", QDate(2024, 3, 5)},
                      DateRow{"LowerCaseMonth", "december 31, 1999", QDate(1999, 12, 31)},
                      DateRow{"BadMonth", "Smarch 5, 2024", QDate()},
                      DateRow{"NoComma", "May 5 2024", QDate()},
                      DateRow{"DayNotANumber", "May x, 2024", QDate()},
                      DateRow{"YearNotANumber", "May 5, 20x4", QDate()},
                      DateRow{"ImpossibleDate", "Feb 30, 2024", QDate()},
                      DateRow{"LeapDay", "Feb 29, 2024", QDate(2024, 2, 29)}),
    [](const auto& info) { return std::string(info.param.name); });

struct VersionRow {
  const char* current;
  const char* offered;
  bool newerAsBuildNumber;
  bool newerAsSimpleString;
};

class VersionOrder : public ::testing::TestWithParam<VersionRow> {};

TEST_P(VersionOrder, InBothFormats) {
  const VersionRow& row = GetParam();
  EXPECT_EQ(isNewerBuildNumber(row.current, row.offered), row.newerAsBuildNumber) << row.current << " / " << row.offered;
  EXPECT_EQ(isNewerSimpleString(row.current, row.offered), row.newerAsSimpleString) << row.current << " / " << row.offered;
}

INSTANTIATE_TEST_SUITE_P(Rows, VersionOrder,
                         ::testing::Values(VersionRow{"3.1.5", "3.1.10", true, false},
                                           VersionRow{"3.1.10", "3.1.5", false, true},
                                           VersionRow{"3.1.5", "3.2", true, true},
                                           VersionRow{"3.1.5", "3.1.5a", false, true},
                                           VersionRow{"3.1.5", "3.1.5", false, false},
                                           VersionRow{"3.1.5", "3.1.4", false, false},
                                           VersionRow{"3.1", "3.1.1", false, true},  // driven by the current parts
                                           VersionRow{"3.1.5", "", false, false},
                                           VersionRow{"3", "4", true, true},
                                           VersionRow{"3.x", "3.1", true, false}));  // "x" counts as 0

TEST(DownloadFileName, IsThePartAfterTheLastSlash) {
  EXPECT_EQ(downloadFileNameOf("https://vardell.org/files/vardell-3.2.zip"), "vardell-3.2.zip");
  EXPECT_EQ(downloadFileNameOf("https://vardell.org/files/"), "");
  EXPECT_EQ(downloadFileNameOf("setup.exe"), "setup.exe");
  EXPECT_EQ(downloadFileNameOf("h/" + QString(1200, 'a')).size(), 1000);
}

struct AddressRow {
  const char* name;
  const char* page;
  const char* address;
  const char* expected;  // empty: refused
};

class FollowUpAddress : public ::testing::TestWithParam<AddressRow> {};

TEST_P(FollowUpAddress, IsResolvedOrRefused) {
  QString refusal;
  const QUrl url = followUpAddress(QUrl(GetParam().page), GetParam().address, refusal);
  EXPECT_EQ(url.toString(), GetParam().expected);
  EXPECT_EQ(refusal.isEmpty(), url.isValid()) << refusal.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FollowUpAddress,
    ::testing::Values(AddressRow{"HttpsFromHttps", "https://v.org/u/p.html", "https://v.org/f/a.zip", "https://v.org/f/a.zip"},
                      AddressRow{"HttpFromHttpsRefused", "https://v.org/u/p.html", "http://v.org/f/a.zip", ""},
                      AddressRow{"HttpFromHttp", "http://v.org/u/p.html", "http://v.org/f/a.zip", "http://v.org/f/a.zip"},
                      AddressRow{"RelativeKeepsTheScheme", "https://v.org/u/p.html", "a.zip", "https://v.org/u/a.zip"},
                      AddressRow{"FtpRefused", "http://v.org/u/p.html", "ftp://v.org/a.zip", ""},
                      AddressRow{"FileRefused", "http://v.org/u/p.html", "file:///etc/passwd", ""},
                      AddressRow{"EmptyRefused", "http://v.org/u/p.html", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vardell
