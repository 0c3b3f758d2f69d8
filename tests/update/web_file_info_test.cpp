// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The update check up to the offer: the on-line test, the page fetch with its redirects,
// failures and limits, the version found, the setters and the main window's configuration.
#include "tests/update/update_fixture.h"
#include "update/update_windows.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <thread>

namespace vardell::test {
namespace {

const QString kNoUpdate = boxLine(TMsgIcon::Information, TMsgButtons::Ok, "No Update Found", "You have the latest version.");

using WebFileInfoCheck = UpdateFixture;

TEST_F(WebFileInfoCheck, LatestVersionIsFoundAndReusedOnTheSecondClickWithoutARequest) {
  publish({{"version", "3.1.5"}, {"date", "Mar 5, 2024"}, {"download", "/files/vardell.zip"}});
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_TRUE(wfi->Active());
  EXPECT_EQ(wfi->ProductDate(), QDate(2024, 3, 5));
  EXPECT_EQ(wfi->DownloadFileName(), "vardell.zip");
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(prompts.boxes, QStringList({kNoUpdate, kNoUpdate}));
  EXPECT_EQ(server.requests("/vardell.html"), 1);
}

struct OfferRow {
  const char* name;
  TWfiVersionFormat format;
  const char* current;
  const char* offered;
  bool offeredAsUpdate;
};

class OfferedVersion : public UpdateFixture, public ::testing::WithParamInterface<OfferRow> {};

TEST_P(OfferedVersion, IsOfferedOnlyWhenNewer) {
  wfi->SetVersionFormat(GetParam().format);
  wfi->SetCurrentVersion(GetParam().current);
  publish({{"version", GetParam().offered}, {"download", "/f.zip"}});
  prompts.answers = {TMsgAnswer::No};
  EXPECT_FALSE(wfi->CheckForUpdate());
  const QString offer = boxLine(TMsgIcon::Question, TMsgButtons::YesNo, "Update Available",
                                QStringLiteral("Current version is %1.\rVersion %2 is available.\rDownload the update?")
                                    .arg(GetParam().current, GetParam().offered));
  EXPECT_EQ(prompts.boxes, QStringList({GetParam().offeredAsUpdate ? offer : kNoUpdate}));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OfferedVersion,
    ::testing::Values(OfferRow{"SimpleString3_1_10IsOlder", wfivSimpleString, "3.1.5", "3.1.10", false},
                      OfferRow{"SimpleString3_1_5IsNewerThan3_1_10", wfivSimpleString, "3.1.10", "3.1.5", true},
                      OfferRow{"BuildNumber3_1_10IsNewer", wfivBuildNumber, "3.1.5", "3.1.10", true},
                      OfferRow{"BuildNumber3_1_5IsOlderThan3_1_10", wfivBuildNumber, "3.1.10", "3.1.5", false},
                      OfferRow{"BuildNumber3_1_1IsNotNewerThan3_1", wfivBuildNumber, "3.1", "3.1.1", false},
                      OfferRow{"SimpleString3_1_1IsNewerThan3_1", wfivSimpleString, "3.1", "3.1.1", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebFileInfoCheck, TagNameInOtherLetterCaseIsNotTheVersion) {
  publish({{"Version", "9.9"}, {"VERSION", "9.9"}, {"download", "/f.zip"}});
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(wfi->ProductVersion(), "");
  EXPECT_EQ(prompts.boxes, QStringList({kNoUpdate}));
}

TEST_F(WebFileInfoCheck, HttpRedirectIsFollowed) {
  server.redirect("/vardell.html", "/moved/vardell.html");
  publish({{"version", "3.1.5"}, {"download", "vardell.zip"}}, "/moved/vardell.html");
  EXPECT_TRUE(wfi->RetrieveInfo());
  EXPECT_EQ(wfi->ProductVersion(), "3.1.5");
  EXPECT_EQ(server.requests("/moved/vardell.html"), 1);
}

TEST_F(WebFileInfoCheck, SelfRedirectIsBoundedAndReportedAsConnectionError) {
  server.redirect("/vardell.html", "/vardell.html");
  EXPECT_FALSE(wfi->CheckForUpdate());
  // The first request and ten redirects; Qt resends a request now and then when the server
  // has closed the connection it meant to reuse, so only the bound is exact.
  EXPECT_GE(server.requests("/vardell.html"), HttpClient::kMaxRedirects + 1);
  EXPECT_LE(server.requests("/vardell.html"), 2 * (HttpClient::kMaxRedirects + 1));
  EXPECT_EQ(prompts.boxes, QStringList({plain("404"), connectionError("Too many redirects (more than 10)")}));
  EXPECT_FALSE(wfi->Active());
}

TEST_F(WebFileInfoCheck, RedirectTagFetchesTheNamedPageUnderTheSameWaitWindow) {
  TWfiTags tags = wfi->InfoTags();
  tags.RedirectTag = "moved";
  wfi->SetInfoTags(tags);
  publish({{"moved", "/second.html"}, {"version", "9.9"}, {"download", "/old.zip"}});
  publish({{"version", "3.2"}}, "/second.html");
  QList<TWaitWindow*> windows;
  server.onRequest = [&](const QByteArray&) { windows << wfi->WaitWindow(); };
  EXPECT_TRUE(wfi->RetrieveInfo());
  EXPECT_EQ(wfi->ProductVersion(), "3.2");
  EXPECT_EQ(wfi->DownloadURL(), "");  // only the last page's values remain
  EXPECT_EQ(wfi->RedirectURL(), "");
  ASSERT_EQ(windows.size(), 2);
  EXPECT_NE(windows[0], nullptr);
  EXPECT_EQ(windows[1], windows[0]);
  EXPECT_EQ(wfi->WaitWindow(), nullptr);
}

TEST_F(WebFileInfoCheck, RedirectTagNamingItsOwnPageIsBounded) {
  TWfiTags tags = wfi->InfoTags();
  tags.RedirectTag = "moved";
  wfi->SetInfoTags(tags);
  publish({{"moved", "/vardell.html"}, {"version", "3.2"}});
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(server.requests("/vardell.html"), TWebFileInfo::kMaxRedirectPages + 1);
  EXPECT_EQ(prompts.boxes, QStringList({connectionError("Too many redirects (more than 10)")}));
  EXPECT_EQ(wfi->ProductVersion(), "");
}

TEST_F(WebFileInfoCheck, NotFoundShowsTheStatusThenConnectionErrorAndFetchesAgainNextTime) {
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(prompts.boxes, QStringList({plain("404"), connectionError("Not Found")}));
  EXPECT_EQ(wfi->LastError(), "Not Found");
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(server.requests("/vardell.html"), 2);
}

TEST_F(WebFileInfoCheck, ServerErrorWithoutReasonTextIsStillAFailure) {
  CannedResponse failing;
  failing.status = 503;
  failing.reason = "";
  server.route("/vardell.html", failing);
  EXPECT_FALSE(wfi->RetrieveInfo());
  EXPECT_FALSE(wfi->LastError().isEmpty());
  EXPECT_EQ(prompts.boxes.value(0), plain("503"));
}

TEST_F(WebFileInfoCheck, RefusedConnectionIsAConnectionError) {
  quint16 closedPort = 0;
  {
    LoopbackHttpServer gone;
    closedPort = gone.port();
  }
  wfi->SetHomeURL(QStringLiteral("http://127.0.0.1:%1/vardell.html").arg(closedPort));
  EXPECT_FALSE(wfi->CheckForUpdate());
  ASSERT_EQ(prompts.boxes.size(), 2);
  EXPECT_EQ(prompts.boxes[0], plain("404"));
  EXPECT_TRUE(prompts.boxes[1].startsWith("Exclamation|Ok|Connection Error|")) << prompts.boxes[1].toStdString();
  EXPECT_FALSE(wfi->LastError().isEmpty());
}

class OversizedPage : public UpdateFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(OversizedPage, IsAFailureAndNotKept) {
  CannedResponse page;
  page.body = infoPage({{"version", "3.2"}}) + QByteArray(TWebFileInfo::kMaxPageSize, ' ');
  page.sendLength = GetParam();
  server.route("/vardell.html", page);
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(prompts.boxes.value(1), connectionError("The update information page is larger than 1 MiB"));
  EXPECT_EQ(wfi->ProductVersion(), "");
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutLength, OversizedPage, ::testing::Bool());

TEST_F(WebFileInfoCheck, SlowServerShowsTheWaitWindowWhileTheWindowStaysResponsive) {
  CannedResponse slow;
  slow.body = infoPage({{"version", "3.1.5"}});
  slow.delayMs = 1200;
  server.route("/vardell.html", slow);
  int ticks = 0;
  QStringList seen;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++ticks;
    if (TWaitWindow* window = wfi->WaitWindow())
      seen << QStringLiteral("%1 %2 %3").arg(window->isVisible()).arg(window->windowTitle(), window->Text());
  });
  timer.start(50);
  EXPECT_TRUE(wfi->RetrieveInfo());
  EXPECT_GE(ticks, 10);
  ASSERT_FALSE(seen.isEmpty());
  EXPECT_EQ(seen.constFirst(), "1 Please Wait Checking For Update...");
  EXPECT_EQ(wfi->WaitWindow(), nullptr);
}

TEST_F(WebFileInfoCheck, ProxyIsAskedForThePage) {
  publish({{"version", "3.2"}}, "http://update.vardell.invalid/vardell.html");
  wfi->SetHomeURL("http://update.vardell.invalid/vardell.html");
  wfi->SetProxyHost("127.0.0.1");
  wfi->SetProxyPort(server.port());
  EXPECT_TRUE(wfi->RetrieveInfo());
  EXPECT_EQ(wfi->ProductVersion(), "3.2");
  EXPECT_EQ(server.requestLines(), QList<QByteArray>({"GET http://update.vardell.invalid/vardell.html HTTP/1.1"}));
}

TEST_F(WebFileInfoCheck, MissingHomeUrlOrTagsFetchNothing) {
  TWebFileInfo bare;
  bare.SetPrompts(&prompts);
  EXPECT_FALSE(bare.RetrieveInfo());
  bare.SetHomeURL(server.url("/vardell.html"));
  EXPECT_FALSE(bare.RetrieveInfo());
  EXPECT_EQ(prompts.boxes,
            QStringList({box(TMsgIcon::Exclamation, TMsgButtons::Ok, "Missing Home URL",
                             "Can not retrieve version information\rbecause no home url was provided."),
                         box(TMsgIcon::Exclamation, TMsgButtons::Ok, "Missing Tag Information",
                             "Can not retrieve version information\rbecause no tag information was provided.")}));
  EXPECT_EQ(server.totalRequests(), 0);
}

TEST_F(WebFileInfoCheck, DateThatDoesNotConvertEndsTheCheckWithItsOwnErrorBox) {
  publish({{"version", "3.2"}, {"date", "Smarch 5, 2024"}});
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(prompts.boxes,
            QStringList({box(TMsgIcon::Error, TMsgButtons::Ok, "Vardell v3.1.5", "'Smarch 5, 2024' is not a valid date")}));
  EXPECT_FALSE(wfi->Active());
  wfi->SetDateFormat(wfidNone);  // no conversion: the same page is read
  EXPECT_TRUE(wfi->RetrieveInfo());
  EXPECT_EQ(wfi->ProductDateStr(), "Smarch 5, 2024");
  EXPECT_TRUE(wfi->ProductDate().isNull());
}

TEST_F(WebFileInfoCheck, ActiveCanOnlyBeClearedAndAcceptedHomeUrlFetchesAgain) {
  publish({{"version", "3.1.5"}});
  wfi->SetActive(true);
  EXPECT_FALSE(wfi->Active());
  EXPECT_TRUE(wfi->RetrieveInfo());
  EXPECT_TRUE(wfi->RetrieveInfo());
  EXPECT_EQ(server.requests("/vardell.html"), 1);
  wfi->SetActive(false);
  EXPECT_TRUE(wfi->RetrieveInfo());
  wfi->SetHomeURL(server.url("/vardell.html"));
  EXPECT_FALSE(wfi->Active());
  EXPECT_TRUE(wfi->RetrieveInfo());
  EXPECT_EQ(server.requests("/vardell.html"), 3);
}

TEST(WebFileInfoHomeUrl, SetterAcceptsOnlyHttpAndHttpsAddresses) {
  const std::pair<const char*, bool> rows[] = {
      {"http:/", false},            {"ftp://vardell.org/u.html", false}, {"vardell.org/update.html", false},
      {"http://v.org/a", true},     {"HTTP://V.ORG/B", true},            {"https://vardell.org/c", true},
      {"HTTPS://VARDELL.ORG/D", true}, {"file:///etc/hosts", false},
  };
  for (const auto& [value, accepted] : rows) {
    TWebFileInfo wfi;
    wfi.SetHomeURL("http://old.example/page");
    wfi.SetHomeURL(value);
    EXPECT_EQ(wfi.HomeURL(), accepted ? QString(value) : QString("http://old.example/page")) << value;
  }
}

TEST(WebFileInfoFont, FollowsTheOwningWindowUntilOneIsSet) {
  QWidget window;
  QFont windowFont("Serif");
  windowFont.setPixelSize(21);
  window.setFont(windowFont);
  TWebFileInfo wfi(&window);
  EXPECT_TRUE(wfi.UIOwnerFont());
  EXPECT_EQ(wfi.UIFont().pixelSize(), 21);
  QFont own;
  own.setPixelSize(9);
  wfi.SetUIFont(own);
  EXPECT_FALSE(wfi.UIOwnerFont());
  EXPECT_EQ(wfi.UIFont().pixelSize(), 9);
}

TEST(WebFileInfoConfiguration, MainWindowComponent) {
  TWebFileInfo fresh;
  EXPECT_EQ(fresh.Options(), TWfiOptions(wfioDisplayReadMe) | wfioRunUpdate | wfioExitDuringUpdate);
  EXPECT_EQ(fresh.VersionFormat(), wfivBuildNumber);
  EXPECT_EQ(fresh.ProxyPort(), 80);

  TWebFileInfo WebFileInfo1;
  configureWebFileInfo1(WebFileInfo1);
  EXPECT_EQ(WebFileInfo1.CurrentVersion(), QString::fromUtf8(kVersion));
  EXPECT_EQ(WebFileInfo1.HomeURL(), "https://vardell.org/update/vardell.html");
  TWfiTags tags;
  tags.DateTag = "date";
  tags.DownloadTag = "download";
  tags.VersionTag = "version";
  EXPECT_EQ(WebFileInfo1.InfoTags(), tags);
  EXPECT_EQ(WebFileInfo1.Options(), TWfiOptions(wfioRunUpdate) | wfioExitDuringUpdate);
  EXPECT_EQ(WebFileInfo1.VersionFormat(), wfivSimpleString);
  EXPECT_FALSE(WebFileInfo1.UIOwnerFont());
  EXPECT_EQ(WebFileInfo1.UIFont().pixelSize(), 13);
  EXPECT_FALSE(WebFileInfo1.UIFont().bold());
}

// --- The on-line test ---

struct OnLineRow {
  const char* name;
  std::vector<std::string> addresses;
  bool onLine;
};

class OnLineTest : public UpdateFixture, public ::testing::WithParamInterface<OnLineRow> {};

TEST_P(OnLineTest, LooksAtTheLastOfElevenAddresses) {
  wfi->SetHostLookup(onLineLookup(GetParam().addresses));
  EXPECT_EQ(wfi->IsOnline(), GetParam().onLine);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OnLineTest,
    ::testing::Values(OnLineRow{"LoopbackOnly", {"127.0.0.1"}, false}, OnLineRow{"NoAddress", {}, false},
                      OnLineRow{"LoopbackLast", {"192.0.2.7", "127.0.0.1"}, false},
                      OnLineRow{"RealLast", {"127.0.0.1", "192.0.2.7"}, true},
                      OnLineRow{"TwelfthIgnored",
                                {"127.0.0.1", "127.0.0.1", "127.0.0.1", "127.0.0.1", "127.0.0.1", "127.0.0.1", "127.0.0.1",
                                 "127.0.0.1", "127.0.0.1", "127.0.0.1", "192.0.2.7", "127.0.0.1"},
                                true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebFileInfoCheck, MachineWithOnlyTheLoopbackAddressIsToldToConnectAndNothingIsFetched) {
  wfi->SetHostLookup(onLineLookup({"127.0.0.1"}));
  publish({{"version", "3.2"}});
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(prompts.boxes, QStringList({plain("You must first connect to the internet")}));
  EXPECT_EQ(server.totalRequests(), 0);
}

TEST(HostLookupTest, SlowLookupIsGivenUpWhileEventsKeepComing) {
  HostLookup slow = onLineLookup();
  slow.addressesOf = [](const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    return std::vector<std::string>{"192.0.2.7"};
  };
  slow.timeout = std::chrono::milliseconds(300);
  TWebFileInfo wfi;
  wfi.SetHostLookup(slow);
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(20);
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(wfi.IsOnline());
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_GE(ticks, 5);
}

TEST(HostLookupTest, SystemLookupResolvesANumericAddress) {
  const HostLookup system = systemHostLookup();
  EXPECT_FALSE(system.localHostName().empty());
  EXPECT_EQ(resolveWhileResponsive(system, "127.0.0.1"), std::vector<std::string>{"127.0.0.1"});
  EXPECT_EQ(system.addressesOf(""), std::vector<std::string>{});
}

}  // namespace
}  // namespace vardell::test
