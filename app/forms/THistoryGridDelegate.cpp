#include "THistoryGridDelegate.h"

#include <QPainter>

#include "kvFacade/cKvadraSystem.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvForms\\guiHistoryToolForm");

THistoryGridDelegate::THistoryGridDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QPixmap THistoryGridDelegate::OriginGlyph(int size)
{
  QPixmap glyph(size, size);
  glyph.fill(Qt::transparent);
  QPainter p(&glyph);
  p.setRenderHint(QPainter::Antialiasing);
  // A dark ring around a gold dot: the reference picture.
  p.setPen(QPen(QColor(40, 40, 40), 1.2));
  p.setBrush(QColor(230, 180, 20));
  p.drawEllipse(QRectF(1.5, 1.5, size - 3.0, size - 3.0));
  p.setBrush(QColor(40, 40, 40));
  p.setPen(Qt::NoPen);
  const double inner = size / 4.0;
  p.drawEllipse(QRectF(size / 2.0 - inner / 2, size / 2.0 - inner / 2, inner, inner));
  return glyph;
}

void THistoryGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
  KV_ASSERT(KvadraSystem != nullptr, "KvadraSystem != NULL");
  const int row = index.row();
  const int column = index.column();
  QColor background = option.palette.color(QPalette::ToolTipBase);
  if (row == KvadraSystem->GetCurrentImageID()) background = CurrentRowColor();
  if (column == 0) background = option.palette.color(QPalette::Button);
  painter->save();
  painter->fillRect(option.rect, background);
  painter->setPen(option.palette.color(column == 0 ? QPalette::ButtonText : QPalette::ToolTipText));
  painter->setFont(option.font);
  const QString text = index.data(Qt::DisplayRole).toString();
  const QFontMetrics metrics(option.font);
  const QRect room = option.rect.adjusted(3, 0, -3, 0);
  if (metrics.horizontalAdvance(text) <= room.width())
    painter->drawText(option.rect, Qt::AlignCenter, text);
  else if (column == 1)
    // A long title keeps its beginning and ends in an ellipsis.
    painter->drawText(room, Qt::AlignLeft | Qt::AlignVCenter, metrics.elidedText(text, Qt::ElideRight, room.width()));
  else
    // Never centred off both edges: a number keeps its leading digits.
    painter->drawText(room, Qt::AlignLeft | Qt::AlignVCenter, text);
  const int origin = KvadraSystem->GetOriginID();
  if (column == 0 && origin != -1 && row == origin && row < KvadraSystem->SavedImageCount()) {
    const int size = std::min(option.rect.width(), option.rect.height());
    painter->drawPixmap(option.rect.topLeft(), OriginGlyph(size));
  }
  painter->restore();
}
