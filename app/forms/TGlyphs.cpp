#include "TGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {
const char* ThemeName(TGlyphs::eGlyph glyph)
{
  switch (glyph) {
    case TGlyphs::gOpen: return "document-open";
    case TGlyphs::gSave: return "document-save-as";
    case TGlyphs::gPreferences: return "preferences-system";
    case TGlyphs::gUndo: return "edit-undo";
    case TGlyphs::gZoomIn: return "zoom-in";
    case TGlyphs::gZoomOut: return "zoom-out";
    case TGlyphs::gSetOrigin: return "go-home";
    case TGlyphs::gAnalyzer: return "utilities-system-monitor";
    case TGlyphs::gClose: return "window-close";
  }
  return "";
}

void DrawFolder(QPainter& p)
{
  p.setBrush(QColor(240, 200, 90));
  QPainterPath folder;
  folder.moveTo(3, 8);
  folder.lineTo(12, 8);
  folder.lineTo(15, 11);
  folder.lineTo(29, 11);
  folder.lineTo(27, 27);
  folder.lineTo(5, 27);
  folder.closeSubpath();
  p.drawPath(folder);
}

void DrawGear(QPainter& p)
{
  p.setBrush(QColor(180, 180, 190));
  p.drawEllipse(QPointF(16, 16), 10, 10);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(16, 16), 4, 4);
  for (int i = 0; i < 8; ++i) {
    p.save();
    p.translate(16, 16);
    p.rotate(45.0 * i);
    p.drawLine(QPointF(0, -10), QPointF(0, -14));
    p.restore();
  }
}

void DrawUndoArrow(QPainter& p, const QColor& ink)
{
  QPainterPath arc;
  arc.moveTo(8, 14);
  arc.cubicTo(14, 4, 30, 8, 26, 22);
  p.setBrush(Qt::NoBrush);
  p.drawPath(arc);
  p.setBrush(ink);
  p.drawPolygon(QPolygonF({QPointF(3, 10), QPointF(12, 8), QPointF(9, 18)}));
}

// Drawn on a 32 x 32 grid so they stay crisp at 16 and 24 pixels.
QIcon Drawn(TGlyphs::eGlyph glyph)
{
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink(40, 60, 90);
  p.setPen(QPen(ink, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  switch (glyph) {
    case TGlyphs::gOpen: DrawFolder(p); break;
    case TGlyphs::gSave:
      p.setBrush(QColor(110, 150, 210));
      p.drawRoundedRect(QRectF(4, 4, 24, 24), 3, 3);
      p.setBrush(Qt::white);
      p.drawRect(QRectF(9, 4, 14, 9));
      p.drawRect(QRectF(8, 18, 16, 10));
      break;
    case TGlyphs::gPreferences: DrawGear(p); break;
    case TGlyphs::gUndo: DrawUndoArrow(p, ink); break;
    case TGlyphs::gZoomIn:
    case TGlyphs::gZoomOut:
      p.setBrush(QColor(220, 235, 250));
      p.drawEllipse(QPointF(13, 13), 9, 9);
      p.drawLine(QPointF(20, 20), QPointF(28, 28));
      p.drawLine(QPointF(9, 13), QPointF(17, 13));
      if (glyph == TGlyphs::gZoomIn) p.drawLine(QPointF(13, 9), QPointF(13, 17));
      break;
    case TGlyphs::gSetOrigin:
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(16, 16), 10, 10);
      p.drawLine(QPointF(16, 2), QPointF(16, 30));
      p.drawLine(QPointF(2, 16), QPointF(30, 16));
      break;
    case TGlyphs::gAnalyzer:
      p.setBrush(Qt::NoBrush);
      p.drawLine(QPointF(4, 4), QPointF(4, 28));
      p.drawLine(QPointF(4, 28), QPointF(29, 28));
      p.setPen(QPen(QColor(200, 60, 60), 2.5));
      p.drawPolyline(QPolygonF({QPointF(6, 24), QPointF(12, 16), QPointF(18, 19), QPointF(27, 7)}));
      break;
    case TGlyphs::gClose:
      p.setPen(QPen(QColor(170, 40, 40), 3.5, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(8, 8), QPointF(24, 24));
      p.drawLine(QPointF(24, 8), QPointF(8, 24));
      break;
  }
  return QIcon(pixmap);
}
}  // namespace

QIcon TGlyphs::Get(eGlyph glyph)
{
  return QIcon::fromTheme(ThemeName(glyph), Drawn(glyph));
}
