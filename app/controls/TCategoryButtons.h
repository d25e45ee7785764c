#pragma once
// A column of collapsible categories, each a header that folds its buttons away and a flat
// button per item; every button carries an integer (the item's identifier). The chosen button
// is drawn in the selected colour, the others in the regular one.
#include <QColor>
#include <QList>
#include <QScrollArea>
#include <QString>

class QPushButton;
class QToolButton;
class QVBoxLayout;

class TCategoryButtons : public QScrollArea {
  Q_OBJECT
public:
  explicit TCategoryButtons(QWidget* parent = nullptr);

  // Appends a button to the category of that caption (made, not collapsed, when missing).
  QPushButton* AddButton(const QString& category, const QString& caption, int data);
  void Clear();
  QStringList Categories() const;
  QToolButton* CategoryHeader(const QString& category) const;
  void SetCollapsed(const QString& category, bool collapsed);
  bool IsCollapsed(const QString& category) const;
  QPushButton* FindButton(int data) const;
  // -1: none.
  void SetSelected(int data);
  int GetSelected() const { return FSelected; }
  void SetRegularColor(const QColor& colour);
  void SetSelectedColor(const QColor& colour);

signals:
  void ButtonClicked(int data);

private:
  struct sCategory {
    QString Caption;
    QToolButton* Header = nullptr;
    QWidget* Body = nullptr;
    QVBoxLayout* Buttons = nullptr;
  };
  const sCategory* Find(const QString& caption) const;
  void Paint(QPushButton* button) const;

  QWidget* FContent = nullptr;
  QVBoxLayout* FColumn = nullptr;
  QList<sCategory> FCategoryList;
  QList<QPushButton*> FButtonList;
  int FSelected = -1;
  QColor FRegularColor{226, 224, 219};
  QColor FSelectedColor{202, 200, 190};
};
