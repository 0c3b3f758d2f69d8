// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The terminal front end's option syntax (the forms getopt_long accepts, and the
// refusals), and the stable kinds its jsonl output gives status lines.
#include "cli/cli_options.h"
#include "cli/status_line_kinds.h"
#include "tests/support/temp_tree.h"

#include <gtest/gtest.h>

namespace vardell::cli {
namespace {

using Args = std::vector<std::string>;

// The options in one line, so a row can say all it expects.
std::string describe(const CliOptions& o) {
  std::string text = o.command == Command::Sync ? "sync" : "compare";
  text += " type=" + std::to_string(o.compareType);
  if (o.caseSensitive) text += " case";
  if (!o.subfolders) text += " top-only";
  if (o.keepExtra) text += " keep";
  for (const auto& exclusion : o.exclusions) text += " x=" + exclusion;
  if (o.namesDiffer != NamesDiffer::Ask) text += o.namesDiffer == NamesDiffer::Create ? " create" : " continue";
  if (o.everyMinutes) text += " every=" + std::to_string(o.everyMinutes);
  if (o.quiet) text += " quiet";
  if (o.dryRun) text += " dry";
  if (o.format == OutputFormat::JsonLines) text += " jsonl";
  if (o.colour != ColourMode::Auto) text += o.colour == ColourMode::Always ? " colour" : " plain";
  if (o.help) text += " help";
  if (o.version) text += " version";
  return text + " " + o.master + " " + o.mirror;
}

struct Form {
  const char* name;
  Args args;
  const char* expected;
};

class OptionForms : public ::testing::TestWithParam<Form> {};

TEST_P(OptionForms, Parse) {
  std::string error;
  const auto options = parseCliOptions(GetParam().args, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(describe(*options), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, OptionForms,
    ::testing::Values(
        Form{"GroupedSwitches", {"compare", "-ckq", "M", "R"}, "compare type=0 case keep quiet M R"},
        Form{"AttachedShortValues", {"compare", "-tbinary", "-x.git", "-e5", "M", "R"}, "compare type=1 x=.git every=5 M R"},
        Form{"SwitchesThenAnAttachedValue", {"sync", "-nctall", "M", "R"}, "sync type=2 case dry M R"},
        Form{"LongValuesAfterEquals", {"sync", "--type=all", "--names-differ=create", "--format=jsonl", "M", "R"},
             "sync type=2 create jsonl M R"},
        Form{"LongValuesAsNextArgument", {"sync", "--exclude", "a b", "--color", "never", "M", "R"},
             "sync type=0 x=a b plain M R"},
        Form{"OptionsAfterTheFolders", {"sync", "M", "R", "--dry-run", "-q"}, "sync type=0 quiet dry M R"},
        Form{"ShortenedLongName", {"sync", "--dry", "--keep", "M", "R"}, "sync type=0 keep dry M R"},
        Form{"DoubleDashEndsTheOptions", {"compare", "--", "-odd", "--folder"}, "compare type=0 -odd --folder"},
        Form{"ColourSpelledTheBritishWay", {"compare", "--colour=always", "M", "R"}, "compare type=0 colour M R"},
        Form{"VersionNeedsNoCommand", {"-V"}, "compare type=0 version  "},
        Form{"HelpAmongOtherOptions", {"-qh"}, "compare type=0 quiet help  "}),
    [](const auto& info) { return std::string(info.param.name); });

struct Refusal {
  const char* name;
  Args args;
  const char* error;
};

class OptionRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(OptionRefusals, SayWhy) {
  std::string error;
  EXPECT_FALSE(parseCliOptions(GetParam().args, error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, OptionRefusals,
    ::testing::Values(
        Refusal{"SwitchGivenAValue", {"sync", "--dry-run=yes", "M", "R"}, "option '--dry-run' does not take a value"},
        Refusal{"UnknownShortOption", {"compare", "-cZ", "M", "R"}, "unknown option -Z"},
        Refusal{"UnknownLongOption", {"compare", "--fast", "M", "R"}, "unknown or ambiguous option --fast"},
        Refusal{"AmbiguousLongOption", {"sync", "--allow", "M", "R"}, "unknown or ambiguous option --allow"},
        Refusal{"MissingValue", {"compare", "M", "R", "--type"}, "option --type needs a value"},
        Refusal{"MissingShortValue", {"compare", "M", "R", "-x"}, "option -x needs a value"},
        Refusal{"UnknownFormat", {"compare", "--format", "xml", "M", "R"}, "invalid value 'xml' for --format"},
        Refusal{"EmptyExclusion", {"compare", "-x", "", "M", "R"}, "an exclusion text may not be empty"},
        Refusal{"MinutesOutOfRange", {"compare", "-e0", "M", "R"}, "invalid number of minutes '0' (1 to 35791)"},
        Refusal{"ThirdFolder", {"compare", "M", "R", "S"}, "expected MASTER and MIRROR folders after 'compare'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliExcludeFrom, ReadsOneTextALineSkippingEmptyLinesAndRefusesAMissingFile) {
  test::TempTree tree;
  tree.writeFile("list", "node_modules\n\n.cache dir\n/tmp/x\n");
  std::string error;
  const auto options = parseCliOptions({"sync", "-x", "first", "--exclude-from", tree.path("list"), "M", "R"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->exclusions, (std::vector<std::string>{"first", "node_modules", ".cache dir", "/tmp/x"}));

  EXPECT_FALSE(parseCliOptions({"sync", "--exclude-from=" + tree.path("none"), "M", "R"}, error));
  EXPECT_EQ(error, "cannot read the exclusion file " + tree.path("none") + ": No such file or directory");
}

struct KindRow {
  const char* name;
  std::vector<LineFragment> fragments;
  const char* kind;
  const char* path;
};

class StatusLineKinds : public ::testing::TestWithParam<KindRow> {};

TEST_P(StatusLineKinds, AreReadFromTheFragments) {
  const LineFacts facts = readStatusLine(GetParam().fragments);
  EXPECT_EQ(facts.kind, GetParam().kind);
  EXPECT_EQ(facts.path, GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, StatusLineKinds,
    ::testing::Values(
        KindRow{"UnpairedFolderInOneFragment", {{"Unpaired mirror folder /r/a b", Colour::Maroon}}, "unpaired_mirror_folder", "/r/a b"},
        KindRow{"UnpairedFolderWithItsSeparator",
                {{"Unpaired master folder ", Colour::Olive}, {"/m/x/", Colour::Grey}}, "unpaired_master_folder", "/m/x"},
        // A name that looks like a keyword stays a name.
        KindRow{"FolderRemovalOfANameLikeAPass", {{"Removing ", Colour::Blue}, {"/r/files in x", Colour::Black}}, "removed", "/r/files in x"},
        KindRow{"WouldRemoveFolderBeforeWouldRemove",
                {{"Would remove folder ", Colour::Blue}, {"/r/d", Colour::Black}}, "would_remove_folder", "/r/d"},
        KindRow{"MismatchOfTwoKinds", {{"Size mismatch, Time mismatch ", Colour::Maroon}, {"/m/f", Colour::Black}}, "mismatch", "/m/f"},
        KindRow{"CopyFailure", {{"File copy failed: No space left on device: ", Colour::Red}, {"/r/f", Colour::Black}}, "copy_failed", "/r/f"},
        KindRow{"RemovalPass",
                {{"Removing files in ", Colour::Navy}, {"/r", Colour::Black}, {" that don't exist in ", Colour::Navy}, {"/m", Colour::Black}},
                "removal_pass", ""},
        KindRow{"DryRunVerdict", {{"Dry run: nothing was changed", Colour::Green}}, "verdict", ""},
        KindRow{"OtherRedLine", {{"Cannot flush the mirror volume: I/O error", Colour::Red}}, "failure", "" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StatusLineFacts, MismatchReasonsCountsAndFolderPairs) {
  EXPECT_EQ(readStatusLine({{"Binary mismatch, Type mismatch ", Colour::Maroon}, {"/m/f", Colour::Black}}).reasons,
            (std::vector<std::string>{"binary", "type"}));
  EXPECT_EQ(readStatusLine({{"Can't open ", Colour::Maroon}, {"/m/f", Colour::Black}}).reasons,
            (std::vector<std::string>{"cannot_open"}));
  EXPECT_EQ(readStatusLine({{"Files Removed: ", Colour::Olive}, {"12", Colour::Black}}).count, 12);
  const LineFacts pass = readStatusLine(
      {{"Removing files in ", Colour::Navy}, {"/r", Colour::Black}, {" that don't exist in ", Colour::Navy}, {"/m", Colour::Black}});
  EXPECT_EQ(pass.master, "/m");
  EXPECT_EQ(pass.mirror, "/r");
  EXPECT_EQ(readStatusLine({{"File copy failed: No space left on device: ", Colour::Red}, {"/r/f", Colour::Black}}).reason,
            "No space left on device");
}

}  // namespace
}  // namespace vardell::cli
