// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Syncs by vardell-cli onto exFAT, FAT32 and NTFS volumes, each made in an image file and
// mounted through its FUSE driver: a user's backup onto a USB drive, with the names, sizes
// and past times real files have, and the names such a volume cannot hold.
#include "tests/support/cli_run.h"
#include "tests/support/fuse_volume.h"
#include "tests/support/spawn_program.h"
#include "tests/support/temp_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

extern char** environ;

using namespace vardell::test;

namespace {

using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

// The user's files: holiday photos, papers, music, notes in several languages, nested a few
// folders deep. Sizes and times are derived from the position in this list.
const Lines kUserFiles = {
    "Holiday 2019/Day 1/IMG_0001.jpg",
    "Holiday 2019/Day 1/IMG_0002.jpg",
    "Holiday 2019/Day 1/IMG_0003.jpg",
    "Holiday 2019/Day 2/IMG_0010.jpg",
    "Holiday 2019/Day 2/IMG_0011.jpg",
    "Holiday 2019/Day 2/beach video.mp4",
    "Holiday 2019/route.gpx",
    "Holiday 2019/Été à Nice/plage.jpg",
    "Holiday 2019/Été à Nice/crêpes.jpg",
    "Holiday 2019/Été à Nice/notes du soir.txt",
    "Documents/CV 2018.pdf",
    "Documents/cover letter.docx",
    "Documents/Taxes/2017 return.pdf",
    "Documents/Taxes/2018 return.pdf",
    "Documents/Taxes/receipts/jan.pdf",
    "Documents/Taxes/receipts/feb.pdf",
    "Documents/Taxes/receipts/mar.pdf",
    "Documents/Müller Verträge/Mietvertrag.pdf",
    "Documents/Müller Verträge/Übergabeprotokoll.pdf",
    "Documents/Müller Verträge/Kündigung 2016.pdf",
    "Documents/Bank statements/2019-01.csv",
    "Documents/Bank statements/2019-02.csv",
    "Documents/Bank statements/2019-03.csv",
    "Documents/Bank statements/2019-04.csv",
    "Documents/Bank statements/2019-05.csv",
    "Documents/Bank statements/2019-06.csv",
    "Music/Live recordings/track 01.flac",
    "Music/Live recordings/track 02.flac",
    "Music/Live recordings/track 03.flac",
    "Music/playlist.m3u",
    "Music/Björk/Jóga.mp3",
    "Music/Björk/Hunter.mp3",
    "漢字/学習ノート.txt",
    "漢字/日本語 メモ.txt",
    "漢字/写真/東京タワー.jpg",
    "Projects/garden plan/layout v1.svg",
    "Projects/garden plan/layout v2.svg",
    "Projects/garden plan/plants list.txt",
    "Projects/garden plan/photos/before.jpg",
    "Projects/garden plan/photos/after.jpg",
    "Projects/website/index.html",
    "Projects/website/style.css",
    "Projects/website/script.js",
    "Projects/website/images/logo.png",
    "Projects/website/images/banner.png",
    "Recipes/Grandma's apple pie.txt",
    "Recipes/pancakes.txt",
    "Recipes/Crème brûlée.txt",
    "Recipes/Gâteau au chocolat.txt",
    "Recipes/Über-Käsekuchen.txt",
    "Letters/to Anna.txt",
    "Letters/from Jürgen.txt",
    "Letters/2015/christmas.txt",
    "Letters/2015/birthday.txt",
    "notes.txt",
    "todo list.txt",
    "Résumé.pdf",
    "readme first.txt",
    "empty note.txt",
    "passwords hint.txt",
};

// A name put into the master beside the user's files, with what the volume makes of it.
struct ExtraName {
  std::string path;    // below the master folder
  std::string reason;  // text the failure line naming it carries; empty when the volume holds it
};

// What a kind of volume holds, as its FUSE driver shows it.
struct VolumeFacts {
  bool holdsNonAscii;              // false: the driver refuses every name beyond ASCII
  Lines options;                   // options a user of this volume runs with
  std::int64_t timeStepNs;         // last-write times are kept to this step, rounded down
  std::vector<ExtraName> extras;   // awkward names and their fate on this volume
};

const std::string kClash = "Names differ only in letter case";

VolumeFacts factsOf(VolumeKind kind) {
  const std::string latin1 = "Notes/lat\xe9.txt";  // a name from an old Latin-1 archive, not UTF-8
  switch (kind) {
    case VolumeKind::ExFat:
      // exFAT stores 10 ms, but its FUSE driver keeps whole seconds. It refuses the
      // characters FAT refuses (with ENOENT) and folds letter case.
      return {true,
              {},
              1'000'000'000,
              {{"Notes/a:b.txt", std::strerror(ENOENT)},
               {"Notes/q?.txt", std::strerror(ENOENT)},
               {"Notes/Case.txt", ""},
               {"Notes/case.txt", kClash},
               {latin1, std::strerror(EILSEQ)}}};
    case VolumeKind::Fat32:
      // The FAT driver writes long names in ASCII only: é or 漢字 are refused like ':'.
      return {false,
              {},
              2'000'000'000,
              {{"Notes/a:b.txt", std::strerror(EPERM)},
               {"Notes/q?.txt", std::strerror(EPERM)},
               {"Notes/Case.txt", ""},
               {"Notes/case.txt", kClash},
               {"Notes/café.txt", std::strerror(EPERM)},
               {latin1, std::strerror(EPERM)}}};
    case VolumeKind::Ntfs:
      // ntfs-3g holds any UTF-8 name, ':' and '?' included, and counts letter case; it
      // refuses names that are not UTF-8.
      return {true,
              {"--case-sensitive"},
              100,
              {{"Notes/a:b.txt", ""},
               {"Notes/q?.txt", ""},
               {"Notes/Case.txt", ""},
               {"Notes/case.txt", ""},
               {latin1, std::strerror(EILSEQ)}}};
    case VolumeKind::Rclone: break;  // a cloud mount has its own test
  }
  return {};
}

bool isAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Bytes that differ from file to file, so that a file copied into another's place shows.
std::string contentOf(std::size_t index, std::size_t size) {
  std::string bytes(size, '\0');
  std::uint64_t state = 0x9e3779b97f4a7c15ULL * (index + 1);
  for (char& b : bytes) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    b = static_cast<char>(state >> 56);
  }
  return bytes;
}

// Between 2 KiB and about 400 KiB, odd sizes included; the empty note stays empty.
std::size_t sizeOf(std::size_t index, const std::string& path) {
  if (path.find("empty") != std::string::npos) return 0;
  return 1024 * (2 + (index * 149) % 397) + (index * 37) % 1000;
}

// Times from 2010 on, a month and a bit apart: odd seconds, and nanoseconds on most.
timespec timeOf(std::size_t index) {
  const std::int64_t seconds = 1262304000 + static_cast<std::int64_t>(index) * 2629743;
  const long nanoseconds = index % 4 == 0 ? 0 : static_cast<long>((index * 987654321ULL) % 1'000'000'000ULL);
  return {static_cast<time_t>(seconds | (index % 2)), nanoseconds};
}

std::int64_t nanosecondsOf(const timespec& t) { return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every entry below `root`, relative, folders ending in "/".
std::set<std::string> entriesBelow(const std::string& root) {
  std::set<std::string> entries;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string rel = it->path().lexically_relative(root).string();
    entries.insert(it->symlink_status().type() == fs::file_type::directory ? rel + "/" : rel);
  }
  EXPECT_FALSE(ec) << root << ": " << ec.message();
  return entries;
}

// What a run may not change in the master: per entry its mode, size, last-write time to the
// nanosecond, link count and bytes.
struct EntryState {
  std::string attributes;
  std::string content;
  bool operator==(const EntryState&) const = default;
};
using Manifest = std::map<std::string, EntryState>;

Manifest manifestOf(const std::string& root) {
  Manifest manifest;
  for (const std::string& rel : entriesBelow(root)) {
    const std::string path = root + "/" + rel;
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    std::ostringstream attributes;
    attributes << std::oct << st.st_mode << std::dec << " size " << st.st_size << " mtime "
               << nanosecondsOf(st.st_mtim) << " links " << st.st_nlink;
    manifest[rel] = {attributes.str(), S_ISREG(st.st_mode) ? readBytes(path) : std::string()};
  }
  return manifest;
}

// The entries whose state differs between two manifests, each with both states.
Lines differences(const Manifest& before, const Manifest& after) {
  Lines changed;
  for (const auto& [rel, state] : before) {
    const auto now = after.find(rel);
    if (now == after.end()) {
      changed.push_back(rel + ": gone");
    } else if (!(now->second == state)) {
      changed.push_back(rel + ": " + state.attributes + " -> " + now->second.attributes +
                        (now->second.content == state.content ? "" : ", other bytes"));
    }
  }
  for (const auto& [rel, state] : after) {
    if (!before.count(rel)) changed.push_back(rel + ": new");
  }
  return changed;
}

// Entries in a folder that may not exist.
int countEntries(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  int count = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) ++count;
  }
  ::closedir(dir);
  return count;
}

// A printed line as the names in it are on the volume: colours left out, and the
// terminal's escapes (\\, \n, \t, \xHH) undone.
std::string withoutColours(const std::string& line) {
  std::string plain;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\x1b' && i + 1 < line.size() && line[i + 1] == '[') {
      const auto end = line.find('m', i);
      if (end == std::string::npos) break;
      i = end;
    } else if (line[i] == '\\' && i + 1 < line.size()) {
      const char kind = line[++i];
      if (kind == 'n') {
        plain += '\n';
      } else if (kind == 't') {
        plain += '\t';
      } else if (kind == 'x' && i + 2 < line.size()) {
        plain += char(std::stoi(line.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        plain += kind;
      }
    } else {
      plain += line[i];
    }
  }
  return plain;
}

// A status line drawn in a colour of what went wrong: red, or the findings' yellow.
bool isRed(const std::string& line) {
  if (line.rfind("\x1b[", 0) != 0) return false;
  const auto end = line.find('m');
  if (end == std::string::npos) return false;
  std::stringstream codes(line.substr(2, end - 2));
  for (std::string code; std::getline(codes, code, ';');) {
    // 91 failures; 93 findings such as a clash of names the volume cannot keep apart.
    if (code == "31" || code == "91" || code == "93") return true;
  }
  return false;
}

Lines splitLines(const std::string& text) {
  Lines lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// True when `plain` names `root`/`rel` as a whole path: what follows is the end of the
// line, a separator of the message, or the slash that ends a folder's name.
bool namesPath(const std::string& plain, const std::string& root, const std::string& rel) {
  const std::string path = root + "/" + rel;
  for (auto at = plain.find(path); at != std::string::npos; at = plain.find(path, at + 1)) {
    std::size_t after = at + path.size();
    if (after < plain.size() && plain[after] == '/') ++after;
    if (after == plain.size() || plain[after] == ':' || plain[after] == ' ' || plain[after] == '\t' ||
        plain[after] == ')' || plain[after] == '"' || plain[after] == '\'') {
      return true;
    }
  }
  return false;
}

struct Row {
  const char* name;
  VolumeKind kind;
  bool withExtras;  // the user's files plus the volume's awkward names
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

struct VolumeSync : ::testing::TestWithParam<Row> {
  TempTree tree;  // declared first: it outlives the volume mounted inside it
  std::string master;
  std::string home;
  int runs = 0;

  VolumeSync() {
    master = tree.path("Family files");
    home = tree.path("home");
    tree.makeFolder("home");
    tree.makeFolder("run");
    ::chmod(tree.path("run").c_str(), 0700);
    // The trash and the run logs go below this home, nowhere else.
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", tree.path("run").c_str(), 1);
    for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "NO_COLOR"}) {
      ::unsetenv(name);
    }
  }

  CliRun runCli(const Lines& args) { return runVardellCli(args, tree.path("run" + std::to_string(++runs))); }

  // Writes the master: the user's files (those in ASCII only where the volume refuses the
  // rest), then the extra names; times are set last, folders after their files.
  void makeMaster(const VolumeFacts& facts, bool withExtras) {
    std::vector<std::string> files;
    for (const std::string& path : kUserFiles) {
      if (facts.holdsNonAscii || isAscii(path)) files.push_back(path);
    }
    if (withExtras) {
      for (const ExtraName& extra : facts.extras) files.push_back(extra.path);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
      const std::string path = master + "/" + files[i];
      fs::create_directories(fs::path(path).parent_path());
      std::ofstream(path, std::ios::binary | std::ios::trunc) << contentOf(i, sizeOf(i, files[i]));
      const timespec times[2] = {timeOf(i + 7), timeOf(i)};
      ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
    }
    Lines folders;
    for (const std::string& rel : entriesBelow(master)) {
      if (rel.back() == '/') folders.push_back(rel);
    }
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    std::size_t index = 100;
    for (const std::string& folder : folders) {
      const timespec times[2] = {timeOf(index), timeOf(index + 1)};
      ++index;
      ASSERT_EQ(::utimensat(AT_FDCWD, (master + "/" + folder).c_str(), times, 0), 0) << folder;
    }
  }
};

// The names of the master's entries (and any other path below the two folders) that the
// lines of a run name.
std::set<std::string> namedEntries(const std::string& output, const std::set<std::string>& known,
                                   const std::string& master, const std::string& mirror) {
  std::set<std::string> named;
  for (const std::string& line : splitLines(output)) {
    const std::string plain = withoutColours(line);
    for (const std::string& root : {master, mirror}) {
      for (auto at = plain.find(root + "/"); at != std::string::npos; at = plain.find(root + "/", at + 1)) {
        const std::string rest = plain.substr(at + root.size() + 1);
        if (rest.empty()) continue;  // the folder itself
        std::string best;
        for (const std::string& entry : known) {
          const std::string name = entry.back() == '/' ? entry.substr(0, entry.size() - 1) : entry;
          if (name.size() > best.size() && namesPath(plain.substr(at), root, name)) best = name;
        }
        named.insert(best.empty() ? "unknown entry: " + rest : best);
      }
    }
  }
  return named;
}

std::string joined(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += "\n  " + name;
  return text;
}

std::string joined(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n  " + line;
  return text;
}

// The red lines of a run, without their colours.
Lines redLines(const std::string& output) {
  Lines red;
  for (const std::string& line : splitLines(output)) {
    if (isRed(line)) red.push_back(withoutColours(line));
  }
  return red;
}

TEST_P(VolumeSync, MirrorsTheMasterOnceAndTheImageKeepsIt) {
  const Row& row = GetParam();
  const std::string missing = FuseVolume::missingRequirement(row.kind);
  if (!missing.empty()) GTEST_SKIP() << volumeKindName(row.kind) << " volumes need " << missing << ", which is missing";
  const VolumeFacts facts = factsOf(row.kind);
  makeMaster(facts, row.withExtras);
  const Manifest masterBefore = manifestOf(master);
  std::set<std::string> masterEntries = entriesBelow(master);

  // What must reach the volume, and what it cannot hold with the words that say why.
  std::map<std::string, std::string> unfit;
  std::set<std::string> clashFirsts;  // the first of a letter-case clash: mirrored, and named with the clash
  if (row.withExtras) {
    std::string previous;
    for (const ExtraName& extra : facts.extras) {
      if (!extra.reason.empty()) unfit[extra.path] = extra.reason;
      if (extra.reason == kClash) clashFirsts.insert(previous);  // the clash's first comes just before it
      previous = extra.path;
    }
  }
  std::set<std::string> expectedMirror;
  for (const std::string& entry : masterEntries) {
    if (!unfit.count(entry)) expectedMirror.insert(entry);
  }
  std::set<std::string> unfitNames;
  for (const auto& [path, reason] : unfit) unfitNames.insert(path);

  FuseVolume volume(row.kind, tree.path("volume.img"), tree.path("volume"));
  ASSERT_TRUE(volume.mounted()) << volume.failure();
  const std::string mirror = volume.root() + "/Family files";
  ASSERT_EQ(::mkdir(mirror.c_str(), 0755), 0) << std::strerror(errno);
  const std::string volumeTrash = volume.root() + "/.Trash-" + std::to_string(::getuid()) + "/files";
  const std::string volumeTrashByUid = volume.root() + "/.Trash/" + std::to_string(::getuid()) + "/files";
  const std::string homeTrash = home + "/.local/share/Trash/files";
  const auto trashed = [&] { return countEntries(volumeTrash) + countEntries(volumeTrashByUid) + countEntries(homeTrash); };

  Lines options = facts.options;
  options.insert(options.end(), {"--color", "always"});
  Lines syncArgs{"sync"}, compareArgs{"compare"};
  syncArgs.insert(syncArgs.end(), options.begin(), options.end());
  compareArgs.insert(compareArgs.end(), options.begin(), options.end());
  for (Lines* args : {&syncArgs, &compareArgs}) args->insert(args->end(), {master, mirror});

  // Checks that the mirror holds exactly the names that fit, each with the master's bytes
  // and its time to the volume's step.
  const auto expectMirrorHoldsTheMaster = [&](const char* when) {
    const std::set<std::string> actual = entriesBelow(mirror);
    EXPECT_EQ(actual, expectedMirror) << when << ": the mirror holds" << joined(actual) << "\nexpected" << joined(expectedMirror);
    int wrong = 0;
    for (const std::string& rel : expectedMirror) {
      if (rel.back() == '/' || !actual.count(rel) || wrong > 5) continue;
      struct stat m {}, r {};
      ASSERT_EQ(::lstat((master + "/" + rel).c_str(), &m), 0);
      ASSERT_EQ(::lstat((mirror + "/" + rel).c_str(), &r), 0);
      const std::int64_t behind = nanosecondsOf(m.st_mtim) - nanosecondsOf(r.st_mtim);
      const bool sameBytes = readBytes(master + "/" + rel) == readBytes(mirror + "/" + rel);
      EXPECT_TRUE(sameBytes) << when << ": " << rel << " has other bytes on the mirror";
      EXPECT_TRUE(behind >= 0 && behind < facts.timeStepNs)
          << when << ": " << rel << " master time " << nanosecondsOf(m.st_mtim) << ", mirror time "
          << nanosecondsOf(r.st_mtim) << " (the volume keeps " << facts.timeStepNs << " ns steps)";
      if (!sameBytes || !(behind >= 0 && behind < facts.timeStepNs)) ++wrong;
    }
  };
  // Checks a Compare: the verdict, and that it names exactly the names the volume cannot hold.
  const auto expectCompareReportsTheUnfit = [&](const CliRun& compared, const char* when) {
    if (unfit.empty()) {
      EXPECT_EQ(compared.exitCode, 0) << when << ":\n" << compared.out << compared.err;
      EXPECT_NE(compared.out.find("Folders match"), std::string::npos) << when << ":\n" << compared.out;
      return;
    }
    EXPECT_EQ(compared.exitCode, 1) << when << ":\n" << compared.out << compared.err;
    EXPECT_NE(compared.out.find("Folders do not match"), std::string::npos) << when << ":\n" << compared.out;
    std::set<std::string> named = namedEntries(compared.out, masterEntries, master, mirror);
    for (const std::string& first : clashFirsts) named.erase(first);
    EXPECT_EQ(named, unfitNames) << when << ": Compare named" << joined(named) << "\ninstead of" << joined(unfitNames)
                                 << "\n" << compared.out;
  };

  // The first Sync copies what fits and says once, in red, what cannot be held and why.
  const CliRun first = runCli(syncArgs);
  EXPECT_EQ(first.exitCode, unfit.empty() ? 0 : 1) << "red lines:" << joined(redLines(first.out)) << "\n" << first.err;
  const Lines firstLines = splitLines(first.out);
  for (const auto& [path, reason] : unfit) {
    Lines failures;
    for (const std::string& line : firstLines) {
      if (isRed(line) && (namesPath(withoutColours(line), master, path) || namesPath(withoutColours(line), mirror, path))) {
        failures.push_back(withoutColours(line));
      }
    }
    EXPECT_EQ(failures.size(), 1u) << path << " should have one red line naming it and saying " << reason
                                   << "; the Sync's red lines:" << joined(redLines(first.out));
    if (failures.size() == 1) {
      EXPECT_NE(failures.front().find(reason), std::string::npos) << failures.front() << "\ndoes not say " << reason;
    }
  }
  for (const std::string& rel : expectedMirror) {
    if (rel.back() == '/' || clashFirsts.count(rel)) continue;
    for (const std::string& line : firstLines) {
      const std::string plain = withoutColours(line);
      EXPECT_FALSE(isRed(line) && (namesPath(plain, master, rel) || namesPath(plain, mirror, rel)))
          << rel << " fits the volume but has a red line: " << plain;
    }
  }
  EXPECT_EQ(trashed(), 0) << "the first Sync into an empty folder moved something to the trash";
  expectMirrorHoldsTheMaster("after the first Sync");

  expectCompareReportsTheUnfit(runCli(compareArgs), "Compare after the first Sync");

  // A second Sync has nothing left to do.
  const int trashedBefore = trashed();
  const CliRun second = runCli(syncArgs);
  EXPECT_EQ(second.exitCode, unfit.empty() ? 0 : 1) << "red lines:" << joined(redLines(second.out)) << "\n" << second.err;
  EXPECT_EQ(withoutColours(second.out).find("Files Copied"), std::string::npos) << "the second Sync copied again:\n"
                                                                                 << second.out;
  EXPECT_EQ(trashed(), trashedBefore) << "the second Sync moved something to the trash:\n" << second.out;
  expectMirrorHoldsTheMaster("after the second Sync");

  // What the Syncs wrote is in the image: the volume mounted again says the same.
  ASSERT_TRUE(volume.unmount()) << volume.failure();
  ASSERT_TRUE(volume.mount()) << volume.failure();
  expectCompareReportsTheUnfit(runCli(compareArgs), "Compare after mounting the volume again");
  expectMirrorHoldsTheMaster("after mounting the volume again");

  const Lines changed = differences(masterBefore, manifestOf(master));
  EXPECT_TRUE(changed.empty()) << "the master changed:" << joined(changed);
}

INSTANTIATE_TEST_SUITE_P(Volumes, VolumeSync,
                         ::testing::Values(Row{"exFAT_UserNames", VolumeKind::ExFat, false},
                                           Row{"exFAT_AwkwardNames", VolumeKind::ExFat, true},
                                           Row{"FAT32_UserNames", VolumeKind::Fat32, false},
                                           Row{"FAT32_AwkwardNames", VolumeKind::Fat32, true},
                                           Row{"NTFS_UserNames", VolumeKind::Ntfs, false},
                                           Row{"NTFS_AwkwardNames", VolumeKind::Ntfs, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
