#pragma once
// RecentFiles: File > Recent Files, the last files opened or saved, newest first, kept in the
// user's settings so that they outlive the program.

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QAction;
class QMenu;

namespace tandor {

class RecentFiles {
public:
  static constexpr int MaxFiles = 8;

  // menu is filled now and after every change; choosing an item calls open with its path.
  RecentFiles(QMenu *menu, std::function<void(const QString &)> open);

  QStringList Files() const;
  // The items of the menu, the hidden ones included.
  const std::vector<QAction *> &Items() const { return ItemList; }
  // Puts the file first (an absolute path), dropping its older place and the ninth.
  void Add(const QString &path);
  void Remove(const QString &path);

private:
  void Store(const QStringList &files);
  void Rebuild();

  QMenu *Menu;
  std::function<void(const QString &)> Open;
  std::vector<QAction *> ItemList;
};

} // namespace tandor
