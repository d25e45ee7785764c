#pragma once
// A radio group that draws a single edge of its frame instead of the whole box, so stacked
// groups in a parameter panel read as one column.
#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

class TImprovedRadioGroup : public QWidget {
  Q_OBJECT
public:
  enum RGBounds { rgLeft, rgTop, rgRight, rgBottom };

  explicit TImprovedRadioGroup(QWidget* parent = nullptr);

  void SetCaption(const QString& caption);
  QString GetCaption() const { return FCaption; }
  void SetItems(const QStringList& items);
  QStringList GetItems() const { return FItems; }
  // Items fill the columns top to bottom, then left to right.
  void SetColumns(int columns);
  int GetColumns() const { return FColumns; }
  // -1 = none selected.
  void SetItemIndex(int index);
  int GetItemIndex() const { return FItemIndex; }
  void SetBound(RGBounds bound);
  RGBounds GetBound() const { return FBound; }
  // Two lines (shadow and highlight) instead of one.
  void SetCtl3D(bool on);
  bool GetCtl3D() const { return FCtl3D; }

  QRadioButton* Button(int index) const;

signals:
  void Click(int index);  // the user picked an item
  void ItemIndexChanged(int index);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  void Rebuild();
  void UpdateMargins();

  QString FCaption;
  QStringList FItems;
  int FColumns = 1;
  int FItemIndex = -1;
  RGBounds FBound = rgLeft;
  bool FCtl3D = true;
  QButtonGroup* FGroup = nullptr;
  QGridLayout* FGrid = nullptr;
  QList<QRadioButton*> FButtons;
};
