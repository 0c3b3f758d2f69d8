// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// How the terminal front end writes names it did not choose: escaped for a terminal, so
// every printed name maps back to one file name, and as JSON strings.
#pragma once

#include <string>
#include <string_view>

namespace vardell::cli {

// The text with a backslash written as \\, a line feed as \n, a tab as \t, and as \xHH
// (two upper-case hex digits per byte) every other control character (0x00-0x1F, 0x7F,
// and U+0080-U+009F, which some terminals obey) and every byte that is not part of valid
// UTF-8. Everything else is written as it is, so the escaping can be undone.
std::string escapeForTerminal(std::string_view text);

// The text as a JSON string, quotes included. Valid UTF-8 is written as it is, with ",
// \ and control characters escaped; each byte that is not part of valid UTF-8 is written
// as \udcHH, the byte plus 0xDC00 (a lone low surrogate, which valid UTF-8 never holds),
// so a reader gets the name's bytes back exactly (in Python: surrogateescape).
std::string jsonString(std::string_view text);

}  // namespace vardell::cli
