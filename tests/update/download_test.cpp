// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The update's download: the offer, the save dialog, the progress dialog, Cancel, failures
// that keep an earlier file, opening the update, the ReadMe, and client errors.
#include "tests/update/update_fixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

namespace vardell::test {
namespace {

const QString kOffer = boxLine(TMsgIcon::Question, TMsgButtons::YesNo, "Update Available",
                               QStringLiteral("Current version is %1.\rVersion 3.2 is available.\rDownload the update?").arg(kVersion));
const QString kInstall = boxLine(TMsgIcon::Question, TMsgButtons::YesNo, "Install Update",
                                 QStringLiteral("Do you want to install the update now?\rThis will close %1.").arg(kApplicationTitle));

QString downloadError(const QString& error) {
  return boxLine(TMsgIcon::Exclamation, TMsgButtons::Ok, "Download Error",
                 "Error occurred while downloading update.\rError: \"" + error + ".\"");
}

QByteArray updateBody(int size) {
  QByteArray body;
  for (int i = 0; i < size; ++i) body += static_cast<char>('a' + i % 26);
  return body;
}

class DownloadFixture : public UpdateFixture {
 protected:
  void SetUp() override {
    UpdateFixture::SetUp();
    ASSERT_TRUE(folder.isValid());
    publish({{"version", "3.2"}, {"download", "/files/vardell-3.2.zip"}});
  }

  void serveUpdate(const CannedResponse& response) { server.route("/files/vardell-3.2.zip", response); }
  CannedResponse update(int size = 5000) {
    CannedResponse response;
    response.body = updateBody(size);
    return response;
  }
  void chooseFile(const QString& name, int filterIndex = 3) {
    prompts.saveAnswer = TSaveDialogAnswer{folder.filePath(name), filterIndex};
  }
  QString read(const QString& name) const {
    QFile file(folder.filePath(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QStringLiteral("<missing>");
  }
  QStringList entries() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }
  void writeEarlierFile(const QString& name) {
    QFile file(folder.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("earlier update");
  }

  QTemporaryDir folder;
};

TEST_F(DownloadFixture, UpdateIsSavedOpenedAndTheProgramAskedToEnd) {
  serveUpdate(update());
  chooseFile("vardell-3.2.zip");
  prompts.answers = {TMsgAnswer::Yes, TMsgAnswer::Yes};
  QList<QPair<qint64, qint64>> events;
  wfi->SetOnDownloadProgress([&](TWebFileInfo* sender, qint64 received, qint64 size) {
    EXPECT_EQ(sender, wfi.get());
    events << qMakePair(received, size);
  });
  EXPECT_TRUE(wfi->CheckForUpdate());
  EXPECT_EQ(prompts.boxes, QStringList({kOffer, kInstall}));
  ASSERT_EQ(prompts.saveRequests.size(), 1);
  EXPECT_EQ(prompts.saveRequests[0].FileName, "vardell-3.2.zip");
  EXPECT_EQ(prompts.saveRequests[0].Filter, "Application (*.EXE)|*.EXE|Zipped File|*.ZIP|All Files (*.*)|*.*");
  EXPECT_TRUE(prompts.saveRequests[0].OverwritePrompt);
  EXPECT_TRUE(prompts.saveRequests[0].PathMustExist);
  EXPECT_EQ(read("vardell-3.2.zip"), QString::fromLatin1(updateBody(5000)));
  EXPECT_EQ(entries(), QStringList({"vardell-3.2.zip"}));
  EXPECT_FALSE(QFileInfo(folder.filePath("vardell-3.2.zip")).isExecutable());
  EXPECT_EQ(prompts.opened, QStringList({folder.filePath("vardell-3.2.zip")}));
  EXPECT_EQ(prompts.terminations, 1);
  ASSERT_FALSE(events.isEmpty());
  EXPECT_EQ(events.constLast(), qMakePair(qint64(5000), qint64(5000)));
}

struct ExtensionRow {
  const char* name;
  const char* typed;
  int filterIndex;
  const char* saved;
};

class SavedName : public DownloadFixture, public ::testing::WithParamInterface<ExtensionRow> {};

TEST_P(SavedName, GetsTheSelectedFiltersExtensionWhenItHasNone) {
  serveUpdate(update(10));
  chooseFile(GetParam().typed, GetParam().filterIndex);
  prompts.answers = {TMsgAnswer::Yes, TMsgAnswer::No};
  EXPECT_TRUE(wfi->CheckForUpdate());
  EXPECT_EQ(entries(), QStringList({GetParam().saved}));
  EXPECT_EQ(wfi->UpdateFilePath(), folder.filePath(GetParam().saved));
  EXPECT_TRUE(prompts.opened.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, SavedName,
                         ::testing::Values(ExtensionRow{"ApplicationFilter", "setup", 1, "setup.EXE"},
                                           ExtensionRow{"ZippedFilter", "setup", 2, "setup.ZIP"},
                                           ExtensionRow{"AllFilesFilter", "setup", 3, "setup"},
                                           ExtensionRow{"ExtensionTyped", "setup.zip", 1, "setup.zip"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadFixture, BodyWithoutLengthShowsMinusOneAndTheBarStays) {
  CannedResponse response = update(3000);
  response.sendLength = false;
  response.firstBlock = 1000;
  response.holdMs = 100;
  serveUpdate(response);
  chooseFile("vardell-3.2.zip");
  prompts.answers = {TMsgAnswer::Yes, TMsgAnswer::No};
  QStringList labels;
  QList<int> bars;
  wfi->SetOnDownloadProgress([&](TWebFileInfo* sender, qint64, qint64) {
    labels << sender->DlProgress()->lblProgress->text();
    bars << sender->DlProgress()->pbarProgress->value();
    EXPECT_EQ(sender->DlProgress()->lblDownloading->text(), "Downloading Update");
  });
  EXPECT_TRUE(wfi->CheckForUpdate());
  ASSERT_FALSE(labels.isEmpty());
  EXPECT_EQ(labels.constFirst(), "1,000 of -1 bytes received.");
  EXPECT_EQ(labels.constLast(), "3,000 of -1 bytes received.");
  EXPECT_EQ(bars, QList<int>(bars.size(), 0));
  EXPECT_EQ(read("vardell-3.2.zip").size(), 3000);
}

TEST_F(DownloadFixture, CancelReportsTheAbortRemovesThePartialFileAndKeepsTheEarlierOne) {
  CannedResponse response = update(100000);
  response.firstBlock = 1000;
  response.holdMs = 5000;
  serveUpdate(response);
  writeEarlierFile("vardell-3.2.zip");
  chooseFile("vardell-3.2.zip");
  prompts.answers = {TMsgAnswer::Yes, TMsgAnswer::Yes};  // download; overwrite the earlier file
  wfi->SetOnDownloadProgress([](TWebFileInfo* sender, qint64, qint64) {
    if (TWebDlProgress* dialog = sender->DlProgress()) dialog->btnCancel->click();
  });
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(prompts.boxes,
            QStringList({kOffer,
                         boxLine(TMsgIcon::Question, TMsgButtons::YesNo, "File Exists",
                                 "The file " + folder.filePath("vardell-3.2.zip") +
                                     " already exists.\rDo you want to overwrite it?"),
                         downloadError("Connection aborted on request")}));
  EXPECT_EQ(wfi->LastError(), "Connection aborted on request");
  EXPECT_EQ(entries(), QStringList({"vardell-3.2.zip"}));
  EXPECT_EQ(read("vardell-3.2.zip"), "earlier update");
  EXPECT_EQ(wfi->DlProgress(), nullptr);
}

TEST_F(DownloadFixture, NotFoundDownloadLeavesNoFile) {
  chooseFile("vardell-3.2.zip");
  prompts.answers = {TMsgAnswer::Yes};
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(prompts.boxes, QStringList({kOffer, downloadError("Not Found")}));
  EXPECT_TRUE(entries().isEmpty());
}

TEST_F(DownloadFixture, ExistingFileKeptWhenOverwriteIsDeclined) {
  serveUpdate(update());
  writeEarlierFile("vardell-3.2.zip");
  chooseFile("vardell-3.2.zip");
  prompts.answers = {TMsgAnswer::Yes, TMsgAnswer::No};
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(read("vardell-3.2.zip"), "earlier update");
  EXPECT_EQ(server.requests("/files/vardell-3.2.zip"), 0);
}

TEST_F(DownloadFixture, DownloadAddressThatIsNotHttpIsRefused) {
  publish({{"version", "3.2"}, {"download", "ftp://127.0.0.1/vardell-3.2.zip"}});
  chooseFile("vardell-3.2.zip");
  prompts.answers = {TMsgAnswer::Yes};
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(prompts.boxes.value(1),
            downloadError("The address \"ftp://127.0.0.1/vardell-3.2.zip\" is not an http:// or https:// address"));
  EXPECT_TRUE(entries().isEmpty());
}

TEST_F(DownloadFixture, UpdateThatCannotBeOpenedKeepsTheProgramRunning) {
  serveUpdate(update());
  chooseFile("vardell-3.2.zip");
  prompts.answers = {TMsgAnswer::Yes, TMsgAnswer::Yes};
  prompts.openSucceeds = false;
  EXPECT_TRUE(wfi->CheckForUpdate());
  EXPECT_EQ(prompts.boxes.constLast(),
            boxLine(TMsgIcon::Exclamation, TMsgButtons::Ok, "Error", "Can not start program."));
  EXPECT_EQ(prompts.terminations, 0);
}

TEST_F(DownloadFixture, SaveDialogCancelledDownloadsNothing) {
  serveUpdate(update());
  prompts.answers = {TMsgAnswer::Yes};
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(server.requests("/files/vardell-3.2.zip"), 0);
}

TEST_F(DownloadFixture, FileThatCannotBeCreatedIsAFailureBeforeAnyRequest) {
  serveUpdate(update());
  EXPECT_FALSE(wfi->DownloadFile(server.url("/files/vardell-3.2.zip"), folder.filePath("no/such/folder/f.zip"), "x"));
  EXPECT_TRUE(wfi->LastError().startsWith("Could not create the file")) << wfi->LastError().toStdString();
  EXPECT_EQ(server.requests("/files/vardell-3.2.zip"), 0);
}

TEST_F(DownloadFixture, ReadMeIsOfferedThenShownInsideTheProgramAndAsAnOpenedFile) {
  TWfiTags tags = wfi->InfoTags();
  tags.ReadMeTag = "readme";
  tags.ReadMeExtTag = "notes";
  wfi->SetInfoTags(tags);
  wfi->SetOptions(wfi->Options() | wfioDisplayReadMe);
  publish({{"version", "3.2"}, {"readme", "/readme.txt"}, {"notes", "/vardell-notes.txt"}});
  CannedResponse readMe;
  readMe.body = "What is new\r\nin 3.2\n";
  server.route("/readme.txt", readMe);
  CannedResponse notes;
  notes.body = "notes";
  server.route("/vardell-notes.txt", notes);
  prompts.answers = {TMsgAnswer::Yes, TMsgAnswer::No};  // view the ReadMe; not the download
  EXPECT_FALSE(wfi->CheckForUpdate());
  EXPECT_EQ(prompts.boxes.value(0),
            boxLine(TMsgIcon::Question, TMsgButtons::YesNo, "Update Available",
                    "Current version is 3.1.5.\rVersion 3.2 is available.\rWould you like to view the ReadMe file?"));
  EXPECT_EQ(prompts.boxes.value(1), kOffer);
  // The opened external ReadMe comes first; the inside one is not shown then.
  const QString notesPath = QDir::tempPath() + "/vardell-notes.txt";
  EXPECT_EQ(prompts.opened, QStringList({notesPath}));
  QFile::remove(notesPath);
  EXPECT_TRUE(prompts.modalWindowTexts.isEmpty());

  prompts.openSucceeds = false;  // the external one cannot be opened: the inside one is shown
  prompts.boxes.clear();
  EXPECT_TRUE(wfi->ShowReadMe(false));
  EXPECT_EQ(prompts.boxes, QStringList({boxLine(TMsgIcon::Exclamation, TMsgButtons::Ok, "Error", "Can not start program.")}));
  EXPECT_EQ(prompts.modalWindowTexts, QStringList({"What is new\nin 3.2"}));
  QFile::remove(notesPath);
}

TEST_F(DownloadFixture, ClientBusyDuringADownloadIsInterceptedOnceThenLeftToTheRequest) {
  CannedResponse response = update(100000);
  response.firstBlock = 1000;
  response.holdMs = 5000;
  serveUpdate(response);
  ASSERT_TRUE(wfi->RetrieveInfo());  // puts the interception in force
  bool nestedResult = true;
  wfi->SetOnDownloadProgress([&](TWebFileInfo* sender, qint64, qint64) {
    sender->SetActive(false);
    nestedResult = sender->RetrieveInfo();  // a second request while the first runs
  });
  EXPECT_FALSE(wfi->DownloadFile(server.url("/files/vardell-3.2.zip"), folder.filePath("a.zip"), "Downloading Update"));
  EXPECT_FALSE(nestedResult);
  EXPECT_EQ(wfi->LastError(), "The connection is busy with another request");
  EXPECT_EQ(prompts.boxes, QStringList({boxLine(TMsgIcon::Exclamation, TMsgButtons::Ok, "Exception",
                                                "Error retrieving update information.\rException: The connection is "
                                                "busy with another request.")}));
  EXPECT_TRUE(entries().isEmpty());

  // The interception has withdrawn: the next client error ends the request without a box.
  prompts.boxes.clear();
  wfi->SetOnDownloadProgress([&](TWebFileInfo* sender, qint64, qint64) {
    nestedResult = sender->DownloadFile(server.url("/files/vardell-3.2.zip"), folder.filePath("b.zip"), "x");
  });
  EXPECT_FALSE(wfi->DownloadFile(server.url("/files/vardell-3.2.zip"), folder.filePath("a.zip"), "Downloading Update"));
  EXPECT_FALSE(nestedResult);
  EXPECT_EQ(wfi->LastError(), "The connection is busy with another request");
  EXPECT_TRUE(prompts.boxes.isEmpty());
  EXPECT_TRUE(entries().isEmpty());
}

}  // namespace
}  // namespace vardell::test
