// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Locale names and separators from Qt's view of the system locale.
#include "platform/locale_format.h"

#include <QLocale>

namespace vardell {

namespace {

LocaleFormat formatOf(const QLocale& locale) {
  LocaleFormat format;
  for (int day = 1; day <= 7; ++day) {  // Qt counts Monday as 1 and Sunday as 7
    format.shortDayNames[std::size_t(day % 7)] = locale.dayName(day, QLocale::ShortFormat).toStdString();
  }
  for (int month = 1; month <= 12; ++month) {
    format.shortMonthNames[std::size_t(month - 1)] = locale.monthName(month, QLocale::ShortFormat).toStdString();
  }
  format.thousandsSeparator = locale.groupSeparator().toStdString();
  format.decimalSeparator = locale.decimalPoint().toStdString();
  return format;
}

}  // namespace

LocaleFormat systemLocaleFormat() { return formatOf(QLocale::system()); }

LocaleFormat localeFormat(const std::string& name) { return formatOf(QLocale(QString::fromStdString(name))); }

}  // namespace vardell
