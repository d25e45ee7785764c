#pragma once
// A new child widget with the object name the tests find it by and, where given, the name a
// screen reader announces.
#include <QString>
#include <QWidget>

template <class tWidget>
tWidget* Named(tWidget* widget, const char* objectName, const QString& accessibleName = QString())
{
  widget->setObjectName(objectName);
  if (!accessibleName.isEmpty()) widget->setAccessibleName(accessibleName);
  return widget;
}
