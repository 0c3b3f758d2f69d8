// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// ShortenPath: folders cut from the front until the path fits, the volume root in the
// place of a drive.
#include "shell/shorten_path.h"

#include <QFontMetrics>
#include <QStringList>

#include <gtest/gtest.h>

namespace vardell {
namespace {

// Every character 10 pixels wide, so widths are character counts times ten.
int tenPerCharacter(const QString& text) { return int(text.size()) * 10; }

struct ShortenRow {
  const char* path;
  const char* volumeRoot;
  int width;
  const char* expected;
};

class ShortenPathSteps : public ::testing::TestWithParam<ShortenRow> {};

TEST_P(ShortenPathSteps, StopsAtTheFirstTextThatFits) {
  const ShortenRow& row = GetParam();
  EXPECT_EQ(ShortenPath(QString::fromUtf8(row.path), row.width, tenPerCharacter, QString::fromUtf8(row.volumeRoot)),
            QString::fromUtf8(row.expected))
      << "width " << row.width;
}

// The example path on a volume mounted at /media/usb, at widths that stop at each step.
INSTANTIATE_TEST_SUITE_P(
    ExampleOnMountedVolume, ShortenPathSteps,
    ::testing::Values(
        ShortenRow{"/media/usb/Data/Photos/2004/img.jpg", "/media/usb", 350, "/media/usb/Data/Photos/2004/img.jpg"},
        ShortenRow{"/media/usb/Data/Photos/2004/img.jpg", "/media/usb", 349, "/media/usb/.../Photos/2004/img.jpg"},
        ShortenRow{"/media/usb/Data/Photos/2004/img.jpg", "/media/usb", 330, "/media/usb/.../2004/img.jpg"},
        ShortenRow{"/media/usb/Data/Photos/2004/img.jpg", "/media/usb", 260, "/media/usb/.../img.jpg"},
        ShortenRow{"/media/usb/Data/Photos/2004/img.jpg", "/media/usb", 210, ".../img.jpg"},
        ShortenRow{"/media/usb/Data/Photos/2004/img.jpg", "/media/usb", 100, "img.jpg"},
        // Nothing is left to cut: the name stands even when it does not fit.
        ShortenRow{"/media/usb/Data/Photos/2004/img.jpg", "/media/usb", 10, "img.jpg"}));

// On the root volume there is no drive: the folders are cut down to the name.
INSTANTIATE_TEST_SUITE_P(
    ExampleOnRootVolume, ShortenPathSteps,
    ::testing::Values(ShortenRow{"/Data/Photos/2004/img.jpg", "/", 250, "/Data/Photos/2004/img.jpg"},
                      ShortenRow{"/Data/Photos/2004/img.jpg", "/", 240, "/.../Photos/2004/img.jpg"},
                      ShortenRow{"/Data/Photos/2004/img.jpg", "/", 180, "/.../2004/img.jpg"},
                      ShortenRow{"/Data/Photos/2004/img.jpg", "/", 120, "/.../img.jpg"},
                      ShortenRow{"/Data/Photos/2004/img.jpg", "/", 110, ".../img.jpg"},
                      ShortenRow{"/Data/Photos/2004/img.jpg", "/", 100, "img.jpg"},
                      // A path that is not below the volume root given is cut as if on "/".
                      ShortenRow{"/home/ann/a/b.txt", "/media/usb", 120, "/.../a/b.txt"}));

TEST(ShortenPathSplit, VolumeRootStandsInThePlaceOfTheDrive) {
  const PathParts parts = splitPathForShortening(QStringLiteral("/media/usb/Data/img.jpg"), QStringLiteral("/media/usb/"));
  EXPECT_EQ(parts.drive, QStringLiteral("/media/usb"));
  EXPECT_EQ(parts.folders, QStringLiteral("/Data/"));
  EXPECT_EQ(parts.name, QStringLiteral("img.jpg"));
  // A folder whose name only begins like the mount point is not on that volume.
  const PathParts other = splitPathForShortening(QStringLiteral("/media/usb2/x"), QStringLiteral("/media/usb"));
  EXPECT_EQ(other.drive, QString());
  EXPECT_EQ(other.folders, QStringLiteral("/media/usb2/"));
}

TEST(ShortenPathSplit, EachStepOfTheExample) {
  PathParts parts = splitPathForShortening(QStringLiteral("/media/usb/Data/Photos/2004/img.jpg"), QStringLiteral("/media/usb"));
  QStringList seen{parts.text()};
  while (!parts.drive.isEmpty() || !parts.folders.isEmpty()) {
    cutFirstFolder(parts);
    seen << parts.text();
  }
  EXPECT_EQ(seen, (QStringList{"/media/usb/Data/Photos/2004/img.jpg", "/media/usb/.../Photos/2004/img.jpg",
                               "/media/usb/.../2004/img.jpg", "/media/usb/.../img.jpg", ".../img.jpg", "img.jpg"}));
}

TEST(ShortenPathFont, FitsTheWidthInTheFontGiven) {
  QFont font;
  font.setPixelSize(12);
  const QFontMetrics metrics(font);
  const QString path = QStringLiteral("/a-long-folder-name/another-long-folder-name/third/file.txt");
  const int width = metrics.horizontalAdvance(path) - 1;
  const QString shortened = ShortenPath(path, width, font, QStringLiteral("/"));
  EXPECT_EQ(shortened, QStringLiteral("/.../another-long-folder-name/third/file.txt"));
  EXPECT_LE(metrics.horizontalAdvance(shortened), width);
}

}  // namespace
}  // namespace vardell
