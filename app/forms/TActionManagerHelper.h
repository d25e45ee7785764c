#pragma once
// Searches and insertions in the main menu tree, by caption as the user sees it.
#include <QString>

class QAction;
class QMenu;
class QMenuBar;

class TActionManagerHelper {
public:
  // Removes the first accelerator ampersand only.
  static QString StripAccelerator(const QString& text);
  // Walks the whole menu tree (menus and their items, depth first) and returns the last item
  // whose caption equals caption regardless of letter case, or nullptr.
  static QAction* FindItemByCaption(QMenuBar* bar, const QString& caption);
  // Inserts a new top-level menu captioned caption at item's position (after it when after is
  // true) and gives it one entry for every action of the bar's window whose category equals
  // caption regardless of case.
  static QMenu* AddCategory(QMenuBar* bar, const QString& caption, QAction* item, bool after);
  // The category an action belongs to, kept as a property of the action.
  static void SetCategory(QAction* action, const QString& category);
  static QString Category(const QAction* action);
};
