#include "TAGauge.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int kFrame = 1;  // frame width inside the gauge
}

TAGauge::TAGauge(QWidget* parent) : QWidget(parent)
{
  setFocusPolicy(Qt::NoFocus);
}

void TAGauge::SetRange(double minValue, double maxValue)
{
  FMin = minValue;
  FMax = std::max(minValue, maxValue);
  update();
}

void TAGauge::SetValue(double value)
{
  FValue = value;
  update();
}

void TAGauge::SetOrientation(Qt::Orientation orientation)
{
  FOrientation = orientation;
  updateGeometry();
  update();
}

void TAGauge::SetColors(const QColor& begin, const QColor& end)
{
  FBeginColor = begin;
  FEndColor = end;
  update();
}

QSize TAGauge::sizeHint() const
{
  return FOrientation == Qt::Horizontal ? QSize(120, 18) : QSize(18, 120);
}

int TAGauge::UsableLength() const
{
  return std::max(1, (FOrientation == Qt::Horizontal ? width() : height()) - 2 * kFrame - 1);
}

int TAGauge::OffsetAt(const QPoint& local) const
{
  const int d = FOrientation == Qt::Horizontal ? local.x() - kFrame : height() - 1 - kFrame - local.y();
  return std::clamp(d, 0, UsableLength());
}

double TAGauge::ValueAt(const QPoint& local) const
{
  return FMin + (FMax - FMin) * OffsetAt(local) / UsableLength();
}

void TAGauge::paintEvent(QPaintEvent*)
{
  QPainter p(this);
  const QRect inner = rect().adjusted(kFrame, kFrame, -kFrame, -kFrame);
  p.fillRect(rect(), palette().color(QPalette::Base));
  const double span = FMax - FMin;
  const double part = span > 0.0 ? std::clamp((FValue - FMin) / span, 0.0, 1.0) : 1.0;
  // The ramp spans the whole bar, so a colour always stands for the same value.
  QLinearGradient ramp;
  if (FOrientation == Qt::Horizontal) {
    ramp = QLinearGradient(inner.left(), 0, inner.right(), 0);
    const int filled = static_cast<int>(part * inner.width() + 0.5);
    ramp.setColorAt(0.0, FBeginColor);
    ramp.setColorAt(1.0, FEndColor);
    p.fillRect(QRect(inner.left(), inner.top(), filled, inner.height()), ramp);
  } else {
    ramp = QLinearGradient(0, inner.bottom(), 0, inner.top());
    const int filled = static_cast<int>(part * inner.height() + 0.5);
    ramp.setColorAt(0.0, FBeginColor);
    ramp.setColorAt(1.0, FEndColor);
    p.fillRect(QRect(inner.left(), inner.bottom() - filled + 1, inner.width(), filled), ramp);
  }
  p.setPen(palette().color(QPalette::Dark));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TAGauge::mousePressEvent(QMouseEvent* event)
{
  if (event->button() != Qt::LeftButton) return;
  if (OnPick) OnPick(ValueAt(event->position().toPoint()), false);
}

void TAGauge::mouseMoveEvent(QMouseEvent* event)
{
  if (!(event->buttons() & Qt::LeftButton)) return;
  if (OnPick) OnPick(ValueAt(event->position().toPoint()), false);
}

void TAGauge::mouseReleaseEvent(QMouseEvent* event)
{
  if (event->button() != Qt::LeftButton) return;
  if (OnPick) OnPick(ValueAt(event->position().toPoint()), true);
}
