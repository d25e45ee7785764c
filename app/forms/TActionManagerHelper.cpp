#include "TActionManagerHelper.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace {
constexpr const char* CategoryProperty = "kvCategory";

void Walk(const QList<QAction*>& items, const QString& caption, QAction*& found)
{
  for (QAction* item : items) {
    if (item->isSeparator()) continue;
    if (item->text().compare(caption, Qt::CaseInsensitive) == 0) found = item;
    if (QMenu* sub = item->menu()) Walk(sub->actions(), caption, found);
  }
}
}  // namespace

QString TActionManagerHelper::StripAccelerator(const QString& text)
{
  QString result = text;
  const qsizetype at = result.indexOf('&');
  if (at >= 0) result.remove(at, 1);
  return result;
}

QAction* TActionManagerHelper::FindItemByCaption(QMenuBar* bar, const QString& caption)
{
  QAction* found = nullptr;
  if (bar) Walk(bar->actions(), caption, found);
  return found;
}

QMenu* TActionManagerHelper::AddCategory(QMenuBar* bar, const QString& caption, QAction* item, bool after)
{
  auto* menu = new QMenu(caption, bar);
  const QList<QAction*> top = bar->actions();
  const qsizetype index = top.indexOf(item);
  QAction* before = nullptr;
  if (index >= 0) {
    const qsizetype at = index + (after ? 1 : 0);
    if (at < top.size()) before = top[at];
  }
  bar->insertMenu(before, menu);
  if (QWidget* window = bar->window()) {
    for (QAction* action : window->findChildren<QAction*>())
      if (Category(action).compare(caption, Qt::CaseInsensitive) == 0) menu->addAction(action);
  }
  return menu;
}

void TActionManagerHelper::SetCategory(QAction* action, const QString& category)
{
  action->setProperty(CategoryProperty, category);
}

QString TActionManagerHelper::Category(const QAction* action)
{
  return action->property(CategoryProperty).toString();
}
