#pragma once
// Numeric entry: a text edit bound to a real range with a fixed number of decimals, optional
// parity, an optional unit after the number, up/down arrows and keys, and a drop-down gauge on
// which the value is picked by dragging. Wrong text is corrected when the value is confirmed.
#include <QColor>
#include <QString>
#include <QWidget>

class QLineEdit;
class QToolButton;
class QFrame;
class TAGauge;

class TImprovedSpinEdit : public QWidget {
  Q_OBJECT
public:
  enum class Parity { None, Even, Odd };

  explicit TImprovedSpinEdit(QWidget* parent = nullptr);
  ~TImprovedSpinEdit() override;

  QLineEdit* Edit() const { return FEdit; }

  // The value the control would hold for v: clamped, then made even or odd.
  double CheckValue(double v) const;
  void SetValue(double v);
  // Reads the text; empty or "-" becomes "0".
  double GetValue();

  void SetMinValue(double v);
  double GetMinValue() const { return FMinValue; }
  void SetMaxValue(double v);
  double GetMaxValue() const { return FMaxValue; }
  void SetIncrement(double v);
  double GetIncrement() const { return FIncrement; }
  void SetIncrementGauge(double v);
  double GetIncrementGauge() const { return FIncrementGauge; }
  void SetTrackBarOrientation(Qt::Orientation orientation);
  Qt::Orientation GetTrackBarOrientation() const { return FTrackBarOrientation; }
  void SetPrecision(int p);  // 0..6
  int GetPrecision() const { return FPrecision; }
  void SetProgressBarPresence(bool present);
  bool GetProgressBarPresence() const { return FProgressBarPresence; }
  void SetSpeedButtonPresence(bool present);
  bool GetSpeedButtonPresence() const { return FSpeedButtonPresence; }
  void SetUnitsOfMeasurements(const QString& units);
  QString GetUnitsOfMeasurements() const { return FUnits; }
  void SetDivisibility(Parity parity);
  Parity GetDivisibility() const { return FDivisibility; }
  void SetBeginColor(const QColor& colour);
  QColor GetBeginColor() const { return FBeginColor; }
  void SetEndColor(const QColor& colour);
  QColor GetEndColor() const { return FEndColor; }
  // At the ends the arrows jump to the other end (off by default).
  void SetWrapAround(bool wrap) { FWrapAround = wrap; }

  // The name screen readers announce is carried by the inner edit.
  void SetAccessibleName(const QString& name);

  // The arrows: step by Increment, stop at the ends, confirm.
  void StepUp();
  void StepDown();
  // Synchronises the popup gauge with the value.
  void UpdateFormView();
  bool IsGaugeShown() const;
  TAGauge* Gauge() const { return FGauge; }
  QToolButton* SpeedButton() const { return FSpeedButton; }

signals:
  void Apply();   // a value was confirmed
  void Change();  // the text changed

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void Step(bool up);
  double CurrentValue() const;
  QString Format(double v) const;
  void Confirm();
  void ApplyMin(double v);
  void ApplyMax(double v);
  void DefaultIncrement();
  void UpdateButtons();
  void ShowGauge();
  void HideGauge();
  void PickValue(double v);

  double FMinValue = 0.0;
  double FMaxValue = 100.0;
  double FValue = 0.0;  // last value written, used when the text cannot be read
  double FIncrement = 1.0;
  double FIncrementGauge = 0.0;
  Qt::Orientation FTrackBarOrientation = Qt::Horizontal;
  int FPrecision = 0;
  bool FProgressBarPresence = true;
  bool FSpeedButtonPresence = true;
  QString FUnits;
  Parity FDivisibility = Parity::None;
  QColor FBeginColor{0, 0, 255};
  QColor FEndColor{255, 0, 0};
  bool FWrapAround = false;
  bool FConfirmedByEnter = false;

  QLineEdit* FEdit = nullptr;
  QToolButton* FUpButton = nullptr;
  QToolButton* FDownButton = nullptr;
  QToolButton* FSpeedButton = nullptr;
  QFrame* FPopup = nullptr;
  TAGauge* FGauge = nullptr;
};
