#include "TParamsPanel.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <cmath>

#include "TImprovedRadioGroup.h"
#include "TImprovedSpinEdit.h"
#include "kvRuntime/kvDiagnostics.h"
#include "kvKernelText.h"
#include "kvMessages/cUserDialogs.h"

KV_UNIT("lib_include\\vclParamsPanel");

namespace {
constexpr int Margin = 10;
constexpr int RowGap = 10;
constexpr int ChoiceHeight = 25;
constexpr int EmptyHeight = 20;
// Controls start this far right of the widest label; a label's box runs a little past its text.
constexpr int LabelGap = 20;
constexpr int LabelTail = 5;
constexpr int SmallestControlWidth = 40;
const char* const IndexProperty = "kvParamIndex";

}  // namespace

TParamsPanel::TParamsPanel(QWidget* parent) : QFrame(parent)
{
  setObjectName("ParamsPanel");
  CaptionLabel = new QLabel("There are no parameters", this);
  CaptionLabel->setAlignment(Qt::AlignCenter);
  CaptionLabel->setGeometry(0, 0, width(), EmptyHeight);
}

QString TParamsPanel::GetCaption() const
{
  return CaptionLabel->isVisible() || !CaptionLabel->isHidden() ? CaptionLabel->text() : QString();
}

void TParamsPanel::Clear()
{
  for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (child != CaptionLabel) delete child;
  Stretched.clear();
}

void TParamsPanel::Build(const cOperationParams& parameters, int excludedIndex)
{
  Clear();
  Params = parameters;
  ExcludedIndex = excludedIndex;
  const int count = Params.GetParamsCount();
  if (count == 0 || (count == 1 && excludedIndex != -1)) {
    ShowEmpty();
    return;
  }
  CaptionLabel->setText(QString());
  CaptionLabel->hide();

  LabelWidth = WidestLabel();
  const int left = LabelWidth + LabelGap;
  const sRowColumns columns{left, std::max(SmallestControlWidth, width() - Margin - left)};
  int y = Margin;
  for (int index = 0; index < count; ++index) {
    if (index == excludedIndex) continue;
    cOperationParameter* parameter = Params.GetParam(unsigned(index));
    switch (parameter->GetType()) {
      case ptInteger:
      case ptReal: y += AddNumberRow(index, *parameter, columns, y) + RowGap; break;
      case ptBoolean: y += AddBooleanRow(index, *parameter, columns, y) + RowGap; break;
      case ptEnumerated: y += AddChoiceRow(index, *parameter, columns, y) + RowGap; break;
      // The program's own message since its first version, kept word for word ("unknown
      // parameter type"); plug-ins only declare the three types above.
      default: cUserDialogs::ShowMessage("Неизвестный тип параметра!"); break;
    }
  }
  for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) child->show();
  CaptionLabel->hide();
  PanelHeight = y;
  setMinimumHeight(PanelHeight);
}

void TParamsPanel::ShowEmpty()
{
  CaptionLabel->setText("There are no parameters");
  CaptionLabel->show();
  CaptionLabel->setGeometry(0, 0, width(), EmptyHeight);
  PanelHeight = EmptyHeight;
  setMinimumHeight(PanelHeight);
}

int TParamsPanel::WidestLabel() const
{
  const QFontMetrics metrics(font());
  int widest = 0;
  for (int index = 0; index < Params.GetParamsCount(); ++index) {
    const cOperationParameter* parameter = Params.GetParam(unsigned(index));
    if (index == ExcludedIndex || parameter->GetType() == ptBoolean) continue;
    widest = std::max(widest, metrics.horizontalAdvance(FromKernel(parameter->GetName()) + ":"));
  }
  return widest;
}

void TParamsPanel::PlaceRowLabel(QLabel* label, int y, int rowHeight) const
{
  const int labelHeight = label->sizeHint().height();
  label->setGeometry(Margin, y + (rowHeight - labelHeight) / 2, LabelWidth + LabelTail, labelHeight);
}

int TParamsPanel::AddNumberRow(int index, const cOperationParameter& parameter, const sRowColumns& columns, int y)
{
  const QString name = FromKernel(parameter.GetName());
  auto* label = new QLabel(name + ":", this);
  auto* edit = new TImprovedSpinEdit(this);
  edit->setProperty(IndexProperty, index);
  edit->SetAccessibleName(name);
  label->setBuddy(edit->Edit());
  if (parameter.GetType() == ptInteger) {
    int min = 0, max = 0;
    parameter.GetBounds(min, max);
    edit->SetPrecision(0);
    edit->SetMinValue(min);
    edit->SetMaxValue(max);
    edit->SetValue(parameter.GetInteger());
  } else {
    double min = 0, max = 0;
    uint8_t precision = 0;
    parameter.GetBounds(min, max, precision);
    edit->SetPrecision(precision);
    edit->SetMinValue(min);
    edit->SetMaxValue(max);
    edit->SetValue(parameter.GetReal());
  }
  const int editHeight = edit->sizeHint().height();
  const int rowHeight = std::max(label->sizeHint().height(), editHeight);
  PlaceRowLabel(label, y, rowHeight);
  edit->setGeometry(columns.Left, y + (rowHeight - editHeight) / 2, columns.ControlWidth, editHeight);
  connect(edit, &TImprovedSpinEdit::Change, this, [this, edit] { ControlChanged(edit); });
  Stretched << edit;
  return rowHeight;
}

int TParamsPanel::AddBooleanRow(int index, const cOperationParameter& parameter, const sRowColumns& columns, int y)
{
  auto* box = new QCheckBox(FromKernel(parameter.GetName()), this);
  box->setProperty(IndexProperty, index);
  box->setChecked(parameter.GetBoolean());
  const int rowHeight = box->sizeHint().height();
  box->setGeometry(columns.Left, y, columns.ControlWidth, rowHeight);
  connect(box, &QCheckBox::clicked, this, [this, box] { ControlChanged(box); });
  Stretched << box;
  return rowHeight;
}

int TParamsPanel::AddChoiceRow(int index, const cOperationParameter& parameter, const sRowColumns& columns, int y)
{
  const QString name = FromKernel(parameter.GetName());
  auto* label = new QLabel(name + ":", this);
  auto* group = new TImprovedRadioGroup(this);
  group->setProperty(IndexProperty, index);
  group->setAccessibleName(name);
  QStringList items;
  for (int item = 0; item < parameter.GetEnumStringCount(); ++item)
    items << FromKernel(parameter.GetEnumString(unsigned(item)));
  group->SetItems(items);
  group->SetItemIndex(parameter.GetEnumSelectedIndex());
  const int rowHeight = ChoiceHeight * parameter.GetEnumStringCount();
  group->setGeometry(columns.Left, y, columns.ControlWidth, rowHeight);
  PlaceRowLabel(label, y, rowHeight);
  connect(group, &TImprovedRadioGroup::Click, this, [this, group](int) { ControlChanged(group); });
  Stretched << group;
  return rowHeight;
}

void TParamsPanel::ApplyTo(cOperationParams& parameters) const
{
  parameters = Params;
}

void TParamsPanel::ControlChanged(QWidget* sender)
{
  const int index = sender->property(IndexProperty).toInt();
  cOperationParameter* theParameter = Params.GetParam(unsigned(index));
  if (auto* box = qobject_cast<QCheckBox*>(sender)) {
    theParameter->SetValue(box->isChecked());
  } else if (auto* edit = qobject_cast<TImprovedSpinEdit*>(sender)) {
    KV_ASSERT((theParameter->GetType() == ptReal) || (theParameter->GetType() == ptInteger),
              "(theParameter->GetType() == ptReal)||(theParameter->GetType() == ptInteger)");
    // Text being typed may lie outside the bounds until it is confirmed; the parameter only
    // ever receives a value within them.
    const double value = edit->CheckValue(edit->GetValue());
    if (edit->GetPrecision() == 0)
      theParameter->SetValue(int(std::trunc(value)));
    else
      theParameter->SetValue(value);
  } else if (auto* group = qobject_cast<TImprovedRadioGroup*>(sender)) {
    if (group->GetItemIndex() < 0) return;
    theParameter->SetValue(group->GetItemIndex());
  }
  if (OnChange) OnChange(this);
}

void TParamsPanel::resizeEvent(QResizeEvent* event)
{
  QFrame::resizeEvent(event);
  CaptionLabel->setGeometry(0, 0, width(), EmptyHeight);
  for (QWidget* control : Stretched)
    control->setGeometry(control->x(), control->y(), std::max(SmallestControlWidth, width() - Margin - control->x()),
                         control->height());
}
