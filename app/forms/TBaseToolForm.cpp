#include "TBaseToolForm.h"

#include "TKvadraMainForm.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvForms\\guiBaseToolForm");

TBaseToolForm::TBaseToolForm(const QString& caption, const QString& objectName, QWidget* parent)
    : QDockWidget(caption, parent)
{
  setObjectName(objectName);
  setAccessibleName(caption);
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  Register();
}

void TBaseToolForm::Register()
{
  KV_ASSERT(KvadraMainForm != nullptr, "KvadraMainForm!=NULL");
  KvadraMainForm->RegisterToolWindow(this);
}

void TBaseToolForm::showEvent(QShowEvent* event)
{
  QDockWidget::showEvent(event);
  Register();
}

void TBaseToolForm::hideEvent(QHideEvent* event)
{
  QDockWidget::hideEvent(event);
  // The main window hides its docks while it is being destroyed.
  if (KvadraMainForm) Register();
}
