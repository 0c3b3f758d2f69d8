// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Where the program keeps its own files: settings, run logs, instance and lock files. The
// desktop program, its batch mode and vardell-cli all ask here. Deciding writes nothing;
// a folder is made only when a file is about to be written in it, and only after it was
// found to lie outside the folders the program works on.
#pragma once

#include <string>
#include <system_error>
#include <vector>

namespace vardell {

struct OwnFolders {
  std::string program;               // the program file's folder
  std::string settings;              // KELPO.ini and the old folder file dirs.txt
  std::vector<std::string> runLogs;  // where a run log may go, the first usable one taken
  std::string runtime;               // instance lock files
  std::string fallback;              // /tmp/vardell-<uid>: where own files go when nothing else may hold them
};

// The folders for the running program and the environment it was started in, each
// ending in "/":
// - settings: beside a portable copy (the program file belongs to the user, who may
//   write its folder, and it is not installed), else $XDG_CONFIG_HOME/vardell;
// - run logs: beside a portable copy, $XDG_STATE_HOME/vardell (~/.local/state/vardell),
//   the runtime folder, then /tmp/vardell-<uid>;
// - runtime: $XDG_RUNTIME_DIR/vardell; without that variable (cron) /run/user/<uid>/vardell
//   when that folder is the user's, so that copies started by cron and from the desktop
//   meet; otherwise /tmp/vardell-<uid>.
OwnFolders ownFolders();

// Drops $XDG_RUNTIME_DIR from the environment when it names no existing folder by a full
// path: the toolkit makes that folder at start-up wherever it points (inside a tree, or
// relative to the working folder), before any folder has been checked.
void dropUnusableRuntimeVariable();

// True when `folder` is where an installed program lives: below /usr, /opt, /bin, /sbin,
// /snap, /app or /nix, below the install prefix the program was built for, or the bin/
// folder of any other prefix. Never told from whether documentation exists.
bool isInstalledProgramFolder(const std::string& folder);

// Makes `folder` ready to hold the program's own files: made when missing (mode 0700,
// with any missing folder above it), its last component never a link, and the user's
// own. Nothing is made when the folder, or the nearest existing folder above it, lies in
// one of `trees` (folders as the user named them, told by device and inode and by their
// place in the file system): that gives TreeError::OwnFolderInsideTrees with `tree`
// naming the tree. A folder under /tmp must be private to the user (mode 0700).
std::error_code prepareOwnFolder(const std::string& folder, const std::vector<std::string>& trees, std::string& tree);
// The same test without making or changing anything: whether prepareOwnFolder would find
// the folder usable (a folder still to be made counts as usable when the folder it would be
// made in lies outside the trees).
std::error_code checkOwnFolder(const std::string& folder, const std::vector<std::string>& trees, std::string& tree);

}  // namespace vardell
