// RecentFiles: the list in QSettings and its menu.

#include "ui/RecentFiles.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace tandor {

namespace {

const QString SettingsKey = QStringLiteral("RecentFiles");

} // namespace

RecentFiles::RecentFiles(QMenu *menu, std::function<void(const QString &)> open)
    : Menu(menu), Open(std::move(open)) {
  // The items are made once and only relabelled: an item chosen for a missing file removes
  // that file while its own signal is still being delivered, and must outlive it.
  for (int i = 0; i < MaxFiles; ++i) {
    QAction *item = Menu->addAction(QString());
    QObject::connect(item, &QAction::triggered, Menu,
                     [this, item] { Open(item->data().toString()); });
    ItemList.push_back(item);
  }
  Rebuild();
}

QStringList RecentFiles::Files() const {
  QStringList files = QSettings().value(SettingsKey).toStringList();
  // Settings written by hand or by another version may hold anything.
  files.removeAll(QString());
  files.removeDuplicates();
  return files.mid(0, MaxFiles);
}

void RecentFiles::Add(const QString &path) {
  const QString file = QFileInfo(path).absoluteFilePath();
  QStringList files = Files();
  files.removeAll(file);
  files.prepend(file);
  Store(files.mid(0, MaxFiles));
}

void RecentFiles::Remove(const QString &path) {
  QStringList files = Files();
  files.removeAll(path);
  Store(files);
}

void RecentFiles::Store(const QStringList &files) {
  QSettings settings;
  settings.setValue(SettingsKey, files);
  settings.sync();
  Rebuild();
}

void RecentFiles::Rebuild() {
  const QStringList files = Files();
  Menu->menuAction()->setEnabled(!files.isEmpty());
  for (int i = 0; i < MaxFiles; ++i) {
    QAction *item = ItemList[static_cast<std::size_t>(i)];
    item->setVisible(i < files.size());
    if (i >= files.size())
      continue;
    // "&" in a file name would turn into an access key.
    QString caption = QDir::toNativeSeparators(files[i]);
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    item->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(caption));
    item->setData(files[i]);
  }
}

} // namespace tandor
