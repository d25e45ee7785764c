#include "TCategoryButtons.h"

#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const char* const DataProperty = "kvData";
}  // namespace

TCategoryButtons::TCategoryButtons(QWidget* parent) : QScrollArea(parent)
{
  setWidgetResizable(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  FContent = new QWidget(this);
  FContent->setObjectName("CategoryContent");
  FColumn = new QVBoxLayout(FContent);
  FColumn->setContentsMargins(2, 2, 2, 2);
  FColumn->setSpacing(2);
  FColumn->addStretch(1);
  setWidget(FContent);
}

const TCategoryButtons::sCategory* TCategoryButtons::Find(const QString& caption) const
{
  for (const sCategory& c : FCategoryList)
    if (c.Caption == caption) return &c;
  return nullptr;
}

QPushButton* TCategoryButtons::AddButton(const QString& category, const QString& caption, int data)
{
  const sCategory* found = Find(category);
  if (!found) {
    sCategory c;
    c.Caption = category;
    c.Header = new QToolButton(FContent);
    c.Header->setObjectName("Category_" + category);
    c.Header->setText(category);
    c.Header->setCheckable(true);
    c.Header->setChecked(true);  // checked = expanded
    c.Header->setArrowType(Qt::DownArrow);
    c.Header->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    c.Header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    c.Header->setStyleSheet(
        "QToolButton { font-weight: bold; border: 1px solid rgb(172,168,153); padding: 3px; text-align: left;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgb(255,255,255), stop:1 rgb(202,200,190)); }");
    c.Body = new QWidget(FContent);
    c.Buttons = new QVBoxLayout(c.Body);
    c.Buttons->setContentsMargins(0, 0, 0, 0);
    c.Buttons->setSpacing(1);
    QToolButton* header = c.Header;
    QWidget* body = c.Body;
    connect(header, &QToolButton::toggled, this, [header, body](bool expanded) {
      header->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
      body->setVisible(expanded);
    });
    // Before the stretch that keeps the categories at the top.
    FColumn->insertWidget(FColumn->count() - 1, c.Header);
    FColumn->insertWidget(FColumn->count() - 1, c.Body);
    FCategoryList.append(c);
    found = &FCategoryList.last();
  }
  auto* button = new QPushButton(caption, found->Body);
  button->setObjectName("Item_" + QString::number(data));
  button->setProperty(DataProperty, data);
  button->setFlat(true);
  button->setAutoFillBackground(true);
  button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  Paint(button);
  connect(button, &QPushButton::clicked, this, [this, data] { emit ButtonClicked(data); });
  found->Buttons->addWidget(button);
  FButtonList.append(button);
  return button;
}

void TCategoryButtons::Clear()
{
  for (const sCategory& c : FCategoryList) {
    delete c.Header;
    delete c.Body;
  }
  FCategoryList.clear();
  FButtonList.clear();
  FSelected = -1;
}

QStringList TCategoryButtons::Categories() const
{
  QStringList list;
  for (const sCategory& c : FCategoryList) list << c.Caption;
  return list;
}

QToolButton* TCategoryButtons::CategoryHeader(const QString& category) const
{
  const sCategory* c = Find(category);
  return c ? c->Header : nullptr;
}

void TCategoryButtons::SetCollapsed(const QString& category, bool collapsed)
{
  if (const sCategory* c = Find(category)) c->Header->setChecked(!collapsed);
}

bool TCategoryButtons::IsCollapsed(const QString& category) const
{
  const sCategory* c = Find(category);
  return c && !c->Header->isChecked();
}

QPushButton* TCategoryButtons::FindButton(int data) const
{
  for (QPushButton* b : FButtonList)
    if (b->property(DataProperty).toInt() == data) return b;
  return nullptr;
}

void TCategoryButtons::SetSelected(int data)
{
  FSelected = data;
  for (QPushButton* b : FButtonList) Paint(b);
}

void TCategoryButtons::SetRegularColor(const QColor& colour)
{
  FRegularColor = colour;
  for (QPushButton* b : FButtonList) Paint(b);
}

void TCategoryButtons::SetSelectedColor(const QColor& colour)
{
  FSelectedColor = colour;
  for (QPushButton* b : FButtonList) Paint(b);
}

void TCategoryButtons::Paint(QPushButton* button) const
{
  const bool chosen = button->property(DataProperty).toInt() == FSelected && FSelected != -1;
  const QColor c = chosen ? FSelectedColor : FRegularColor;
  button->setStyleSheet(QString("QPushButton { background-color: rgb(%1,%2,%3); border: none; padding: 3px 12px;"
                                " text-align: left; %4 } QPushButton:focus { border: 1px dotted black; }")
                            .arg(c.red())
                            .arg(c.green())
                            .arg(c.blue())
                            .arg(chosen ? "font-weight: bold;" : ""));
}
