#include "TParamsPanel.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <cmath>

#include "TImprovedRadioGroup.h"
#include "kvKernelText.h"
#include "TImprovedSpinEdit.h"
#include "cUserDialogs.h"
#include "kvDiagnostics.h"

#define UNIT "lib_include\\vclParamsPanel"

namespace {
constexpr int Margin = 10;
constexpr int RowGap = 10;
constexpr int ChoiceHeight = 25;
constexpr int EmptyHeight = 20;
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
    CaptionLabel->setText("There are no parameters");
    CaptionLabel->show();
    CaptionLabel->setGeometry(0, 0, width(), EmptyHeight);
    PanelHeight = EmptyHeight;
    setMinimumHeight(PanelHeight);
    return;
  }
  CaptionLabel->setText(QString());
  CaptionLabel->hide();

  const QFontMetrics metrics(font());
  LabelWidth = 0;
  for (int i = 0; i < count; ++i) {
    const cOperationParameter* p = Params.GetParam(unsigned(i));
    if (i == excludedIndex || p->GetType() == ptBoolean) continue;
    LabelWidth = std::max(LabelWidth, metrics.horizontalAdvance(FromKernel(p->GetName()) + ":"));
  }
  const int left = LabelWidth + 20;
  const int controlWidth = std::max(40, width() - Margin - left);
  int y = Margin;
  for (int i = 0; i < count; ++i) {
    if (i == excludedIndex) continue;
    cOperationParameter* p = Params.GetParam(unsigned(i));
    const QString name = FromKernel(p->GetName());
    switch (p->GetType()) {
    case ptInteger:
    case ptReal: {
      auto* label = new QLabel(name + ":", this);
      auto* edit = new TImprovedSpinEdit(this);
      edit->setProperty(IndexProperty, i);
      edit->SetAccessibleName(name);
      label->setBuddy(edit->Edit());
      if (p->GetType() == ptInteger) {
        int min = 0, max = 0;
        p->GetBounds(min, max);
        edit->SetPrecision(0);
        edit->SetMinValue(min);
        edit->SetMaxValue(max);
        edit->SetValue(p->GetInteger());
      } else {
        double min = 0, max = 0;
        uint8_t precision = 0;
        p->GetBounds(min, max, precision);
        edit->SetPrecision(precision);
        edit->SetMinValue(min);
        edit->SetMaxValue(max);
        edit->SetValue(p->GetReal());
      }
      const int labelHeight = label->sizeHint().height();
      const int editHeight = edit->sizeHint().height();
      const int h = std::max(labelHeight, editHeight);
      label->setGeometry(Margin, y + (h - labelHeight) / 2, LabelWidth + 5, labelHeight);
      edit->setGeometry(left, y + (h - editHeight) / 2, controlWidth, editHeight);
      connect(edit, &TImprovedSpinEdit::Change, this, [this, edit] { ControlChanged(edit); });
      Stretched << edit;
      y += h + RowGap;
      break;
    }
    case ptBoolean: {
      auto* box = new QCheckBox(name, this);
      box->setProperty(IndexProperty, i);
      box->setChecked(p->GetBoolean());
      const int h = box->sizeHint().height();
      box->setGeometry(left, y, controlWidth, h);
      connect(box, &QCheckBox::clicked, this, [this, box] { ControlChanged(box); });
      Stretched << box;
      y += h + RowGap;
      break;
    }
    case ptEnumerated: {
      auto* label = new QLabel(name + ":", this);
      auto* group = new TImprovedRadioGroup(this);
      group->setProperty(IndexProperty, i);
      group->setAccessibleName(name);
      QStringList items;
      for (int k = 0; k < p->GetEnumStringCount(); ++k) items << FromKernel(p->GetEnumString(unsigned(k)));
      group->SetItems(items);
      group->SetItemIndex(p->GetEnumSelectedIndex());
      const int h = ChoiceHeight * p->GetEnumStringCount();
      group->setGeometry(left, y, controlWidth, h);
      const int labelHeight = label->sizeHint().height();
      label->setGeometry(Margin, y + (h - labelHeight) / 2, LabelWidth + 5, labelHeight);
      connect(group, &TImprovedRadioGroup::Click, this, [this, group](int) { ControlChanged(group); });
      Stretched << group;
      y += h + RowGap;
      break;
    }
    default:
      cUserDialogs::ShowMessage("Неизвестный тип параметра!");
      break;
    }
  }
  for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) child->show();
  CaptionLabel->hide();
  PanelHeight = y;
  setMinimumHeight(PanelHeight);
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
    KV_ASSERT_TEXT((theParameter->GetType() == ptReal) || (theParameter->GetType() == ptInteger),
                   "(theParameter->GetType() == ptReal)||(theParameter->GetType() == ptInteger)", UNIT);
    // Text being typed may lie outside the bounds until it is confirmed; the parameter only
    // ever receives a value within them.
    const double value = edit->CheckValue(edit->GetValue());
    if (edit->GetPrecision() == 0) theParameter->SetValue(int(std::trunc(value)));
    else theParameter->SetValue(value);
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
  for (QWidget* w : Stretched) w->setGeometry(w->x(), w->y(), std::max(40, width() - Margin - w->x()), w->height());
}
