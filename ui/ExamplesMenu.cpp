// ExamplesMenu: the gallery found and its submenus built.

#include "ui/ExamplesMenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

#include "problem/FileReplacement.h"

namespace tandor {

namespace {

std::optional<ExampleGallery> FindGallery(QString &problem) {
  const std::string folder = FindExampleFolder(
      ExampleFolderCandidates(QCoreApplication::applicationDirPath().toStdString()));
  if (folder.empty()) {
    problem = QStringLiteral("No examples found");
    return std::nullopt;
  }
  try {
    return ExampleGallery::Read(folder);
  } catch (const FileError &e) {
    problem = QString::fromUtf8(e.what());
    return std::nullopt;
  }
}

} // namespace

ExamplesMenu::ExamplesMenu(QMenu *menu,
                           std::function<void(const QString &, const QString &)> open) {
  QString problem;
  Found = FindGallery(problem);
  if (!Found) {
    menu->addAction(problem)->setEnabled(false);
    return;
  }
  for (const std::string &group : Found->Groups()) {
    QMenu *submenu = menu->addMenu(QString::fromStdString(group));
    submenu->setToolTipsVisible(true);
    for (const Example &e : Found->Examples()) {
      if (e.Group != group)
        continue;
      // "&" in a title would turn into an access key.
      QString title = QString::fromStdString(e.Title);
      title.replace(QLatin1Char('&'), QStringLiteral("&&"));
      QAction *item = submenu->addAction(title);
      const QString text = QString::fromStdString(e.Text);
      item->setToolTip(text);
      item->setData(QString::fromStdString(e.Name));
      const QString file = QString::fromStdString(Found->FileOf(e));
      QObject::connect(item, &QAction::triggered, menu, [open, file, text] { open(file, text); });
    }
  }
}

} // namespace tandor
