// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Escaping names for the terminal and for JSON.
#include "cli/name_text.h"

#include <cstdint>

namespace vardell::cli {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The length of the valid UTF-8 sequence at text[at], or 0 when the byte there does not
// start one (stray continuation bytes, overlong forms, surrogates, code points beyond
// U+10FFFF and cut-off sequences all give 0).
std::size_t validSequenceAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t low = 0x80, high = 0xBF;  // the range the second byte must be in
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = at + 2; i < at + length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

void appendHexByte(std::string& out, const char* prefix, char c) {
  out += prefix;
  out += kHexDigits[static_cast<std::uint8_t>(c) >> 4];
  out += kHexDigits[static_cast<std::uint8_t>(c) & 15];
}

bool isAsciiControl(char c) { return static_cast<std::uint8_t>(c) < 0x20 || c == 0x7f; }

// U+0080-U+009F, written in UTF-8 as C2 80 to C2 9F.
bool isC1Control(std::string_view text, std::size_t at, std::size_t length) {
  return length == 2 && static_cast<std::uint8_t>(text[at]) == 0xC2 && static_cast<std::uint8_t>(text[at + 1]) < 0xA0;
}

}  // namespace

std::string escapeForTerminal(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    const std::size_t length = validSequenceAt(text, at);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (length == 0) {
      appendHexByte(out, "\\x", c);
    } else if (isAsciiControl(c) || isC1Control(text, at, length)) {
      for (std::size_t i = at; i < at + length; ++i) appendHexByte(out, "\\x", text[i]);
    } else {
      out.append(text.substr(at, length));
    }
    at += length == 0 ? 1 : length;
  }
  return out;
}

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    const std::size_t length = validSequenceAt(text, at);
    if (length == 0) {
      appendHexByte(out, "\\udc", c);
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (isAsciiControl(c)) {
      appendHexByte(out, "\\u00", c);
    } else {
      out.append(text.substr(at, length));
    }
    at += length == 0 ? 1 : length;
  }
  return out + "\"";
}

}  // namespace vardell::cli
