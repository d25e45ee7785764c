#pragma once
// The spin edit's drop-down gauge: a bar filled up to the value with a colour ramp. Picking a
// point on it (or dragging the spin edit's speed button across it) chooses a value.
#include <QColor>
#include <QWidget>

#include <functional>

class TAGauge : public QWidget {
  Q_OBJECT
public:
  explicit TAGauge(QWidget* parent = nullptr);

  void SetRange(double minValue, double maxValue);
  void SetValue(double value);
  double GetValue() const { return FValue; }
  void SetOrientation(Qt::Orientation orientation);
  Qt::Orientation GetOrientation() const { return FOrientation; }
  void SetColors(const QColor& begin, const QColor& end);

  // Usable length D of the bar and the offset d of a point along it, clamped to 0..D;
  // vertical gauges count from the bottom so that higher means more.
  int UsableLength() const;
  int OffsetAt(const QPoint& local) const;
  // min + (max - min) * d / D, unsnapped.
  double ValueAt(const QPoint& local) const;

  QSize sizeHint() const override;

  // A value picked with the mouse on the gauge itself; released is true at the end of the drag.
  std::function<void(double value, bool released)> OnPick;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  double FMin = 0.0;
  double FMax = 100.0;
  double FValue = 0.0;
  Qt::Orientation FOrientation = Qt::Horizontal;
  QColor FBeginColor{Qt::blue};
  QColor FEndColor{Qt::red};
};
