#pragma once
// A dockable tool window of the main window; its "&Window" menu entry follows its visibility.
#include <QDockWidget>

class TBaseToolForm : public QDockWidget {
  Q_OBJECT
public:
  TBaseToolForm(const QString& caption, const QString& objectName, QWidget* parent = nullptr);

protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

private:
  void Register();
};
