// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Reading a small file of the program's own (settings, a legacy folder list) whole, and only
// when it is a regular file: a pipe, a device, a socket, a folder or a link standing in its
// place is never opened for reading, so a read can neither hang nor reach another file.
#pragma once

#include <cstddef>
#include <string>
#include <system_error>

namespace vardell {

// Reads the regular file at path into `bytes` (replacing what it held). Reads at most
// limit + 1 bytes, so a huge file costs no more than the limit. Fails, `bytes` then empty,
// with no_such_file_or_directory when nothing is there, too_many_symbolic_link_levels when
// the name is a symbolic link, is_a_directory for a folder, operation_not_supported for a
// pipe, socket or device, file_too_large when the file holds more than `limit` bytes, or
// the error of the open, stat or read that failed.
std::error_code readRegularFile(const std::string& path, std::size_t limit, std::string& bytes);

}  // namespace vardell
