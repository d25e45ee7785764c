#include "TImprovedSpinEdit.h"

#include <QFocusEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "TAGauge.h"

namespace {
bool IsOddInteger(double v)
{
  return std::fmod(std::trunc(v), 2.0) != 0.0;
}

QToolButton* MakeArrow(QWidget* parent, Qt::ArrowType arrow, const QString& name)
{
  auto* b = new QToolButton(parent);
  b->setArrowType(arrow);
  b->setFocusPolicy(Qt::NoFocus);
  b->setAccessibleName(name);
  b->setIconSize(QSize(7, 7));
  b->setFixedWidth(16);
  b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
  return b;
}
}  // namespace

TImprovedSpinEdit::TImprovedSpinEdit(QWidget* parent) : QWidget(parent)
{
  FEdit = new QLineEdit(this);
  FEdit->setText(QStringLiteral("0"));
  setFocusProxy(FEdit);
  setFocusPolicy(FEdit->focusPolicy());

  FUpButton = MakeArrow(this, Qt::UpArrow, QStringLiteral("Increase"));
  FDownButton = MakeArrow(this, Qt::DownArrow, QStringLiteral("Decrease"));
  FUpButton->setAutoRepeat(true);
  FDownButton->setAutoRepeat(true);
  FSpeedButton = MakeArrow(this, Qt::DownArrow, QStringLiteral("Gauge"));
  FSpeedButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

  auto* arrows = new QVBoxLayout;
  arrows->setContentsMargins(0, 0, 0, 0);
  arrows->setSpacing(0);
  arrows->addWidget(FUpButton);
  arrows->addWidget(FDownButton);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(FEdit, 1);
  row->addLayout(arrows);
  row->addWidget(FSpeedButton);
  setSizePolicy(FEdit->sizePolicy());

  // A window of its own, so the gauge may stick out of the form; it never takes the focus.
  FPopup =
      new QFrame(this, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
  FPopup->setAttribute(Qt::WA_ShowWithoutActivating);
  FPopup->setFrameShape(QFrame::Box);
  auto* popupLayout = new QVBoxLayout(FPopup);
  popupLayout->setContentsMargins(2, 2, 2, 2);
  FGauge = new TAGauge(FPopup);
  popupLayout->addWidget(FGauge);
  FGauge->OnPick = [this](double v, bool released) {
    PickValue(v);
    if (released) {
      HideGauge();
      FEdit->selectAll();
      emit Apply();
    }
  };

  connect(FEdit, &QLineEdit::textChanged, this, &TImprovedSpinEdit::Change);
  connect(FUpButton, &QToolButton::clicked, this, &TImprovedSpinEdit::StepUp);
  connect(FDownButton, &QToolButton::clicked, this, &TImprovedSpinEdit::StepDown);
  FEdit->installEventFilter(this);
  FSpeedButton->installEventFilter(this);
  UpdateButtons();
}

TImprovedSpinEdit::~TImprovedSpinEdit() = default;

double TImprovedSpinEdit::CheckValue(double v) const
{
  // Whole numbers are rounded before clamping, so rounding cannot break the range or the parity.
  if (FDivisibility != Parity::None) v = std::round(v);
  if (FMaxValue == FMinValue)
    v = FMinValue;
  else if (v < FMinValue)
    v = FMinValue;
  else if (v > FMaxValue)
    v = FMaxValue;
  if (FDivisibility == Parity::Even && IsOddInteger(v)) v += 1.0;
  if (FDivisibility == Parity::Odd && !IsOddInteger(v)) v += 1.0;
  return v;
}

QString TImprovedSpinEdit::Format(double v) const
{
  // Always a '.' whatever the user's locale, so the text reads back the same everywhere.
  QString s = QString::number(v, 'f', FPrecision);
  if (s.startsWith(QLatin1Char('-')) && s.count(QLatin1Char('0')) == s.size() - 1 - (FPrecision > 0 ? 1 : 0))
    s.remove(0, 1);
  return s;
}

double TImprovedSpinEdit::CurrentValue() const
{
  const QString text = FEdit->text().trimmed();
  if (text.isEmpty() || text == QLatin1String("-")) return 0.0;
  const qsizetype blank = text.indexOf(QLatin1Char(' '));
  QString number = blank < 0 ? text : text.left(blank);
  number.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const double v = QLocale::c().toDouble(number, &ok);
  // Unreadable text falls back to the last value written rather than to an arbitrary one.
  return ok && std::isfinite(v) ? v : FValue;
}

void TImprovedSpinEdit::SetValue(double v)
{
  const QString number = Format(CheckValue(v));
  FValue = QLocale::c().toDouble(number);
  FEdit->setText(FUnits.isEmpty() ? number : number + QLatin1Char(' ') + FUnits);
  if (IsGaugeShown()) UpdateFormView();
}

double TImprovedSpinEdit::GetValue()
{
  const QString text = FEdit->text().trimmed();
  if (text.isEmpty() || text == QLatin1String("-")) {
    FEdit->setText(QStringLiteral("0"));
    return 0.0;
  }
  return CurrentValue();
}

void TImprovedSpinEdit::Confirm()
{
  SetValue(CheckValue(GetValue()));
}

void TImprovedSpinEdit::ApplyMin(double v)
{
  FMinValue = v;
  if (FDivisibility != Parity::None) {
    FMinValue = std::ceil(FMinValue);
    if ((FDivisibility == Parity::Even) == IsOddInteger(FMinValue)) FMinValue += 1.0;
  }
  if (FMaxValue < FMinValue) FMaxValue = FMinValue;
  const double value = CurrentValue();
  if (value < FMinValue || value > FMaxValue) SetValue(value);
  DefaultIncrement();
}

void TImprovedSpinEdit::ApplyMax(double v)
{
  FMaxValue = v;
  if (FDivisibility != Parity::None) {
    FMaxValue = std::floor(FMaxValue);
    if ((FDivisibility == Parity::Even) == IsOddInteger(FMaxValue)) FMaxValue -= 1.0;
  }
  if (FMaxValue < FMinValue) FMaxValue = FMinValue;
  const double value = CurrentValue();
  if (value < FMinValue || value > FMaxValue) SetValue(value);
  DefaultIncrement();
}

void TImprovedSpinEdit::SetMinValue(double v)
{
  if (v != FMinValue) ApplyMin(v);
}

void TImprovedSpinEdit::SetMaxValue(double v)
{
  if (v != FMaxValue) ApplyMax(v);
}

void TImprovedSpinEdit::DefaultIncrement()
{
  // With a parity the step stays 2.
  if (FDivisibility != Parity::None) return;
  const double scale = std::pow(10.0, FPrecision);
  FIncrement = std::round((FMaxValue - FMinValue) * 0.01 * scale) / scale;
  if (FIncrement == 0.0) FIncrement = 1.0 / scale;
}

void TImprovedSpinEdit::SetPrecision(int p)
{
  p = std::clamp(p, 0, 6);
  if (p > 0) FDivisibility = Parity::None;
  if (p != FPrecision) {
    const double value = CurrentValue();
    FPrecision = p;
    SetValue(value);
  }
  DefaultIncrement();
}

void TImprovedSpinEdit::SetIncrement(double v)
{
  FIncrement = v;
}
void TImprovedSpinEdit::SetIncrementGauge(double v)
{
  FIncrementGauge = v;
}

void TImprovedSpinEdit::SetDivisibility(Parity parity)
{
  FDivisibility = parity;
  if (parity == Parity::None) return;
  const double value = CurrentValue();
  FPrecision = 0;
  FIncrement = 2.0;
  FIncrementGauge = 2.0;
  ApplyMin(FMinValue);
  ApplyMax(FMaxValue);
  SetValue(value);
}

void TImprovedSpinEdit::SetUnitsOfMeasurements(const QString& units)
{
  const double value = CurrentValue();
  FUnits = units;
  SetValue(value);
}

void TImprovedSpinEdit::SetTrackBarOrientation(Qt::Orientation orientation)
{
  FTrackBarOrientation = orientation;
  FSpeedButton->setArrowType(orientation == Qt::Horizontal ? Qt::DownArrow : Qt::RightArrow);
  if (IsGaugeShown()) ShowGauge();
}

void TImprovedSpinEdit::SetProgressBarPresence(bool present)
{
  FProgressBarPresence = present;
  UpdateButtons();
}

void TImprovedSpinEdit::SetSpeedButtonPresence(bool present)
{
  FSpeedButtonPresence = present;
  UpdateButtons();
}

void TImprovedSpinEdit::UpdateButtons()
{
  FSpeedButton->setVisible(FSpeedButtonPresence && FProgressBarPresence);
  if (!FSpeedButton->isVisibleTo(this)) HideGauge();
}

void TImprovedSpinEdit::SetBeginColor(const QColor& colour)
{
  FBeginColor = colour;
  UpdateFormView();
}

void TImprovedSpinEdit::SetEndColor(const QColor& colour)
{
  FEndColor = colour;
  UpdateFormView();
}

void TImprovedSpinEdit::SetAccessibleName(const QString& name)
{
  setAccessibleName(name);
  FEdit->setAccessibleName(name);
}

void TImprovedSpinEdit::StepUp()
{
  Step(true);
}

void TImprovedSpinEdit::StepDown()
{
  Step(false);
}

// One increment towards a bound: it stops there, or wraps round to the other bound when it is
// already there and wrapping is on.
void TImprovedSpinEdit::Step(bool up)
{
  const double bound = up ? FMaxValue : FMinValue;
  const double step = up ? FIncrement : -FIncrement;
  double v = CurrentValue();
  if (FWrapAround && (up ? v >= bound : v <= bound))
    v = up ? FMinValue : FMaxValue;
  else if (up ? v < bound - FIncrement : v > bound + FIncrement)
    v += step;
  else
    v = bound;
  SetValue(v);
  FEdit->selectAll();
  emit Apply();
}

void TImprovedSpinEdit::UpdateFormView()
{
  FGauge->SetOrientation(FTrackBarOrientation);
  FGauge->SetRange(FMinValue, FMaxValue);
  FGauge->SetColors(FBeginColor, FEndColor);
  FGauge->SetValue(CurrentValue());
}

bool TImprovedSpinEdit::IsGaugeShown() const
{
  return FPopup->isVisible();
}

void TImprovedSpinEdit::ShowGauge()
{
  if (!FProgressBarPresence) return;
  UpdateFormView();
  if (FTrackBarOrientation == Qt::Horizontal) {
    FPopup->setGeometry(QRect(mapToGlobal(QPoint(0, height())), QSize(std::max(width(), 80), 24)));
  } else {
    FPopup->setGeometry(QRect(mapToGlobal(QPoint(width(), 0)), QSize(24, 140)));
  }
  FPopup->show();
  FPopup->raise();
}

void TImprovedSpinEdit::HideGauge()
{
  if (FPopup) FPopup->hide();
}

void TImprovedSpinEdit::PickValue(double v)
{
  if (FIncrementGauge > 0.0) v = std::round(v / FIncrementGauge) * FIncrementGauge;
  SetValue(v);
}

bool TImprovedSpinEdit::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == FEdit) {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      switch (key->key()) {
        case Qt::Key_Up: StepUp(); return true;
        case Qt::Key_Down: StepDown(); return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
          Confirm();
          // The focus moving on confirms once here, not a second time on leaving.
          FConfirmedByEnter = true;
          focusNextChild();
          FConfirmedByEnter = false;
          emit Apply();
          return true;
        default: break;
      }
    } else if (event->type() == QEvent::FocusOut) {
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      // Switching to another program or opening a menu does not leave the control.
      if (!FConfirmedByEnter && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
        Confirm();
        emit Apply();
      }
    }
  } else if (watched == FSpeedButton) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
          FSpeedButton->setDown(true);
          ShowGauge();
          return true;
        }
        break;
      case QEvent::MouseMove:
        if (IsGaugeShown() && (static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton)) {
          const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
          PickValue(FGauge->ValueAt(FGauge->mapFromGlobal(global)));
          return true;
        }
        break;
      case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && FSpeedButton->isDown()) {
          HideGauge();
          FSpeedButton->setDown(false);
          FEdit->selectAll();
          emit Apply();
          return true;
        }
        break;
      default: break;
    }
  }
  return QWidget::eventFilter(watched, event);
}
