#include "TImprovedRadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QPainter>
#include <QRadioButton>

#include <algorithm>

namespace {
constexpr int kEdgeRoom = 6;  // room between the drawn edge and the buttons

QString WithoutAccelerator(QString text)
{
  text.replace(QLatin1String("&&"), QLatin1String("\x01"));
  text.remove(QLatin1Char('&'));
  text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
  return text;
}
}  // namespace

TImprovedRadioGroup::TImprovedRadioGroup(QWidget* parent) : QWidget(parent)
{
  FGroup = new QButtonGroup(this);
  FGroup->setExclusive(true);
  FGrid = new QGridLayout(this);
  FGrid->setHorizontalSpacing(12);
  FGrid->setVerticalSpacing(2);
  connect(FGroup, &QButtonGroup::idClicked, this, [this](int id) {
    const bool changed = id != FItemIndex;
    FItemIndex = id;
    emit Click(id);
    if (changed) emit ItemIndexChanged(id);
  });
  UpdateMargins();
}

void TImprovedRadioGroup::SetCaption(const QString& caption)
{
  FCaption = caption;
  setAccessibleName(WithoutAccelerator(caption));
  UpdateMargins();
  update();
}

void TImprovedRadioGroup::SetItems(const QStringList& items)
{
  FItems = items;
  Rebuild();
}

void TImprovedRadioGroup::SetColumns(int columns)
{
  FColumns = std::max(1, columns);
  Rebuild();
}

void TImprovedRadioGroup::SetItemIndex(int index)
{
  if (index < -1 || index >= FButtons.size()) index = -1;
  const bool changed = index != FItemIndex;
  FItemIndex = index;
  if (index >= 0) {
    FButtons[index]->setChecked(true);
  } else {
    // An exclusive group will not let its last checked button go.
    FGroup->setExclusive(false);
    for (QRadioButton* b : FButtons) b->setChecked(false);
    FGroup->setExclusive(true);
  }
  if (changed) emit ItemIndexChanged(FItemIndex);
}

void TImprovedRadioGroup::SetBound(RGBounds bound)
{
  FBound = bound;
  UpdateMargins();
  update();
}

void TImprovedRadioGroup::SetCtl3D(bool on)
{
  FCtl3D = on;
  update();
}

QRadioButton* TImprovedRadioGroup::Button(int index) const
{
  return index >= 0 && index < FButtons.size() ? FButtons[index] : nullptr;
}

void TImprovedRadioGroup::Rebuild()
{
  for (QRadioButton* b : FButtons) {
    FGroup->removeButton(b);
    delete b;
  }
  FButtons.clear();
  const int n = static_cast<int>(FItems.size());
  const int rows = std::max(1, (n + FColumns - 1) / FColumns);
  for (int i = 0; i < n; ++i) {
    auto* b = new QRadioButton(FItems[i], this);
    b->setAccessibleName(WithoutAccelerator(FItems[i]));
    FGroup->addButton(b, i);
    FGrid->addWidget(b, i % rows, i / rows);
    FButtons.append(b);
  }
  if (FItemIndex >= n) FItemIndex = -1;
  if (FItemIndex >= 0) FButtons[FItemIndex]->setChecked(true);
}

void TImprovedRadioGroup::UpdateMargins()
{
  const int captionRoom = FCaption.isEmpty() ? 0 : fontMetrics().height() + 2;
  QMargins m(4, 4 + captionRoom, 4, 4);
  switch (FBound) {
    case rgLeft: m.setLeft(kEdgeRoom + 2); break;
    case rgTop: m.setTop(m.top() + kEdgeRoom); break;
    case rgRight: m.setRight(kEdgeRoom + 2); break;
    case rgBottom: m.setBottom(kEdgeRoom + 2); break;
  }
  FGrid->setContentsMargins(m);
}

void TImprovedRadioGroup::paintEvent(QPaintEvent*)
{
  QPainter p(this);
  const int captionH = FCaption.isEmpty() ? 0 : fontMetrics().height();
  const int l = 0, t = captionH / 2, r = width() - 2, b = height() - 2;
  const QColor shadow = palette().color(QPalette::Dark);
  const QColor light = palette().color(QPalette::Light);
  // The shadow line, then the highlight one pixel further right or down for the 3-D look.
  auto line = [&](int x1, int y1, int x2, int y2) {
    p.setPen(FCtl3D ? shadow : palette().color(QPalette::WindowText));
    p.drawLine(x1, y1, x2, y2);
    if (!FCtl3D) return;
    p.setPen(light);
    if (x1 == x2)
      p.drawLine(x1 + 1, y1, x2 + 1, y2);
    else
      p.drawLine(x1, y1 + 1, x2, y2 + 1);
  };
  switch (FBound) {
    case rgLeft: line(l, t, l, b); break;
    case rgTop: line(l, t, r, t); break;
    case rgRight: line(r, t, r, b); break;
    case rgBottom: line(l, b, r, b); break;
  }
  if (!FCaption.isEmpty()) {
    const QRect caption(8, 0, width() - 16, captionH);
    p.fillRect(QRect(6, 0, fontMetrics().horizontalAdvance(WithoutAccelerator(FCaption)) + 4, captionH),
               palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, FCaption);
  }
}
