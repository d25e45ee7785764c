#pragma once
// Draws the History grid's cells: the current picture's row green, the marker column in the
// fixed colour with the origin's glyph, every text centred. Selection is not drawn: the green
// row is what marks the picture shown.
#include <QPixmap>
#include <QStyledItemDelegate>

class THistoryGridDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  explicit THistoryGridDelegate(QObject* parent = nullptr);
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  static QColor CurrentRowColor() { return QColor(192, 220, 192); }
  // The glyph of the origin's row.
  static QPixmap OriginGlyph(int size);
};
