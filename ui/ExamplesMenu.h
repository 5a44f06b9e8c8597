#pragma once
// ExamplesMenu: File > Examples, one submenu per group of the gallery, one item per example
// with its title, and its text as the item's tool tip.

#include <QString>
#include <functional>
#include <optional>

#include "problem/ExampleGallery.h"

class QMenu;

namespace tandor {

class ExamplesMenu {
public:
  // The gallery is looked for beside the running program first (ExampleFolderCandidates);
  // without one the menu holds a single disabled item that says so. Choosing an example calls
  // open with its data file and its text.
  ExamplesMenu(QMenu *menu, std::function<void(const QString &file, const QString &text)> open);

  const std::optional<ExampleGallery> &Gallery() const { return Found; }

private:
  std::optional<ExampleGallery> Found;
};

} // namespace tandor
