// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The folder list.
#include "shell/folder_list.h"

#include "shell/pictures.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QUrl>

namespace vardell {
namespace {

constexpr int kFolderRole = Qt::UserRole + 1;  // the folder's path, raw bytes
constexpr int kLevelRole = Qt::UserRole + 2;   // indentation level
constexpr int kIndent = 8;                     // pixels per level

// Draws an item indented by its level, as a classic folder list does.
class IndentDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem shifted(option);
    shifted.rect.setLeft(option.rect.left() + kIndent * index.data(kLevelRole).toInt());
    QStyledItemDelegate::paint(painter, shifted, index);
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += kIndent * index.data(kLevelRole).toInt();
    return size;
  }
};

bool holds(const std::string& mountPoint, const std::string& path) {
  if (mountPoint == "/") return !path.empty() && path[0] == '/';
  return path == mountPoint || (path.size() > mountPoint.size() && path.compare(0, mountPoint.size(), mountPoint) == 0 &&
                                path[mountPoint.size()] == '/');
}

std::string parentOf(const std::string& folder) {
  const auto slash = folder.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return folder.substr(0, slash);
}

std::string join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace

QString displayPath(const std::string& path) { return QString::fromUtf8(path.data(), qsizetype(path.size())); }

std::string pathFromDisplay(const QString& text) { return text.trimmed().toUtf8().toStdString(); }

TDirectoryListBox::TDirectoryListBox(FileSystem& fs, QWidget* parent) : QListWidget(parent), fs_(fs) {
  setItemDelegate(new IndentDelegate(this));
  setUniformItemSizes(true);
  setAcceptDrops(true);
  setDropIndicatorShown(false);
  setIconSize(QSize(16, 16));
  connect(this, &QListWidget::itemActivated, this, &TDirectoryListBox::openItem);
}

void TDirectoryListBox::setVolumes(const std::vector<std::string>& mountPoints) {
  volumes_ = mountPoints;
  if (volumes_.empty()) volumes_.push_back("/");
  if (!directory_.empty()) drive_ = volumeHolding(directory_);
}

std::string TDirectoryListBox::volumeHolding(const std::string& folder) const {
  // The volume the folder really lies on, as the Sync guard and the run log see it, even
  // one mounted where the drive chooser lists no volumes.
  const std::string mountPoint = fs_.volumeOf(folder).mountPoint;
  return mountPoint.empty() ? driveOf(folder) : mountPoint;
}

std::string TDirectoryListBox::driveOf(const std::string& folder) const {
  std::string best = "/";
  for (const std::string& mount : volumes_) {
    if (holds(mount, folder) && mount.size() >= best.size()) best = mount;
  }
  return best;
}

std::string TDirectoryListBox::folderOf(const QListWidgetItem* item) const {
  if (!item) return {};
  return item->data(kFolderRole).toByteArray().toStdString();
}

bool TDirectoryListBox::setDirectory(const std::string& folder, std::string* error) {
  std::string real;
  if (const auto ec = fs_.realPath(fs_.fullPath(folder), real)) {
    if (error) *error = "The folder " + folder + " does not exist";
    return false;
  }
  FileIdentity id;
  if (fs_.identify(real, id) || !id.folder) {
    if (error) *error = folder + " is not a folder";
    return false;
  }
  if (!fill(real, error)) return false;
  emit directoryChanged();
  return true;
}

bool TDirectoryListBox::setDrive(const std::string& mountPoint) {
  if (mountPoint == drive_ && !directory_.empty()) return true;
  std::vector<DirEntry> probe;
  if (fs_.listFolder(mountPoint, probe, ListingDetail::NamesAndKinds)) return false;
  std::string target = mountPoint;
  if (auto it = lastFolderOnDrive_.find(mountPoint); it != lastFolderOnDrive_.end()) {
    target = it->second;
    while (target != mountPoint && !fs_.folderExists(target)) target = parentOf(target);
  }
  if (!fill(target, nullptr) && !fill(mountPoint, nullptr)) return false;
  emit directoryChanged();
  return true;
}

void TDirectoryListBox::Update() {
  if (directory_.empty()) return;
  // A folder with the last-write time it had when it was listed holds the same names: the
  // list stays (after a Compare of a folder of 20,000 files, reading it again would cost as
  // much as a third of the run).
  DirEntry now;
  if (!folderMissing_ && listedTimeNs_ != 0 && !fs_.statEntry(directory_, now) && now.MtimeNs == listedTimeNs_) return;
  if (fill(directory_, nullptr)) return;
  // Gone, or there but no longer readable: the list keeps naming the folder, without
  // subfolders, so a run refuses it instead of using whatever lies above it.
  show(directory_, {});
  const bool gone = !fs_.folderExists(directory_);
  if (gone && !folderMissing_) emit vanished(displayPath(directory_));
  folderMissing_ = gone;
}

bool TDirectoryListBox::fill(const std::string& folder, std::string* error) {
  // The time is read before the listing, so a change made while it is read shows next time.
  DirEntry before;
  listedTimeNs_ = fs_.statEntry(folder, before) ? 0 : before.MtimeNs;
  std::vector<DirEntry> entries;
  if (const auto ec = fs_.listFolder(folder, entries, ListingDetail::NamesAndKinds)) {
    if (error) *error = "The folder " + folder + " cannot be read: " + describeError(ec);
    return false;
  }
  folderMissing_ = false;
  show(folder, entries);
  return true;
}

void TDirectoryListBox::show(const std::string& folder, const std::vector<DirEntry>& subfolders) {
  directory_ = folder;
  drive_ = volumeHolding(folder);
  lastFolderOnDrive_[drive_] = folder;

  setUpdatesEnabled(false);
  clear();
  // The way down from the volume root: the root itself, then each folder below it.
  std::vector<std::string> chain{folder};
  while (chain.back() != drive_ && chain.back() != "/") chain.push_back(parentOf(chain.back()));
  const QIcon open = openFolderPicture();
  const QIcon closed = closedFolderPicture();
  int level = 0;
  QListWidgetItem* current = nullptr;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it, ++level) {
    const std::string& path = *it;
    const std::string name = level == 0 ? path : path.substr(path.find_last_of('/') + 1);
    auto* item = new QListWidgetItem(open, displayPath(name), this);
    item->setData(kFolderRole, QByteArray::fromStdString(path));
    item->setData(kLevelRole, level);
    item->setToolTip(displayPath(path));
    current = item;
  }
  for (const DirEntry& entry : subfolders) {
    if (entry.isDotEntry() || !entry.isFolder()) continue;
    auto* item = new QListWidgetItem(closed, displayPath(entry.Name), this);
    item->setData(kFolderRole, QByteArray::fromStdString(join(folder, entry.Name)));
    item->setData(kLevelRole, level);
  }
  setCurrentItem(current);
  setUpdatesEnabled(true);
}

void TDirectoryListBox::openItem(QListWidgetItem* item) {
  const std::string folder = folderOf(item);
  if (folder.empty() || folder == directory_) return;
  std::string error;
  if (!setDirectory(folder, &error)) {
    // Only the item was stale: the list stays on its folder and shows what is there now.
    emit vanished(displayPath(folder));
    Update();
  }
}

void TDirectoryListBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Backspace && directory_ != drive_) {
    setDirectory(parentOf(directory_));
    return;
  }
  QListWidget::keyPressEvent(event);
}

void TDirectoryListBox::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TDirectoryListBox::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TDirectoryListBox::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) {
    emit dropRefused(QStringLiteral("Only a folder on this computer can be dropped here"));
    return;
  }
  const std::string path = urls.first().toLocalFile().toStdString();
  std::string error;
  if (!setDirectory(path, &error)) {
    emit dropRefused(displayPath(error));
    return;
  }
  event->acceptProposedAction();
}

}  // namespace vardell
