// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Both programs asked for their version or help from a terminal without a display: they
// answer on stdout and exit 0, and the desktop program starts nothing (no window, no
// settings, no folder taken from the parameters).
#include "engine/version.h"
#include "shell/program_help.h"
#include "tests/shell/shell_fixture.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace vardell::test {
namespace {

struct Answer {
  int exitCode = -1;
  std::string out, err;
};

struct AnswerRow {
  const char* program;
  const char* parameter;
  std::string expected;
};

std::string rowName(const ::testing::TestParamInfo<AnswerRow>& info) {
  std::string name = std::string(info.param.program) + info.param.parameter;
  std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
  return name;
}

class ProgramAnswers : public ::testing::TestWithParam<AnswerRow> {
 protected:
  ScopedFolder home;

  Answer ask(const char* program, const char* parameter) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    env.insert("HOME", QString::fromStdString(home.path()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(home / "config"));
    env.insert("XDG_STATE_HOME", QString::fromStdString(home / "state"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(QString::fromStdString(home.path()));
    process.start(QString::fromUtf8(VARDELL_BUILD_DIR "/") + QString::fromUtf8(program), {QString::fromUtf8(parameter)});
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
  }
};

TEST_P(ProgramAnswers, AnswersOnStdoutAndStartsNothing) {
  const AnswerRow& row = GetParam();
  const Answer answer = ask(row.program, row.parameter);
  EXPECT_EQ(answer.exitCode, 0) << answer.err;
  EXPECT_EQ(answer.out, row.expected);
  EXPECT_EQ(answer.err, "");
  // "--help" was once taken for a master folder in the working folder, and a start writes
  // its settings folder: neither may happen for an answer.
  EXPECT_EQ(home.snapshot(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProgramAnswers,
    ::testing::Values(AnswerRow{"vardell", "--version", versionText("vardell")},
                      AnswerRow{"vardell", "-V", versionText("vardell")},
                      AnswerRow{"vardell", "--help", desktopHelpText()},
                      AnswerRow{"vardell", "-h", desktopHelpText()},
                      AnswerRow{"vardell-cli", "--version", versionText("vardell-cli")}),
    rowName);

TEST(VersionText, IsTheGnuFormWithTheLicence) {
  const std::string text = versionText("vardell-cli");
  EXPECT_EQ(text.substr(0, text.find('\n')), std::string("vardell-cli (Vardell) ") + kVersion);
  EXPECT_NE(text.find("\nLicense GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"),
            std::string::npos);
  EXPECT_EQ(kApplicationTitle, std::string("Vardell v") + kVersion);
}

TEST(DesktopHelp, ParametersThatAreFoldersGetNoAnswer) {
  EXPECT_EQ(answerHelpOrVersion({}), std::nullopt);
  EXPECT_EQ(answerHelpOrVersion({"/data/photos", "--help"}), std::nullopt);
  EXPECT_EQ(answerHelpOrVersion({"--helpful", "/backup"}), std::nullopt);
}

}  // namespace
}  // namespace vardell::test
