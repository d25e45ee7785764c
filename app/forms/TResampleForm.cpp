#include "TResampleForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "kvFacade/cKvadraSystem.h"
#include "kvNamedWidget.h"

TResampleForm* ResampleForm = nullptr;

namespace {
// The chain link beside a pair of linked fields.
QPixmap ChainPicture()
{
  QPixmap pixmap(16, 40);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(90, 90, 100), 2));
  p.drawLine(2, 6, 8, 6);
  p.drawLine(2, 34, 8, 34);
  p.drawRoundedRect(QRectF(5, 10, 7, 10), 3, 3);
  p.drawRoundedRect(QRectF(5, 19, 7, 10), 3, 3);
  return pixmap;
}

QSpinBox* Field(QWidget* parent, const char* name, const QString& accessible, int value)
{
  auto* box = new QSpinBox(parent);
  box->setObjectName(name);
  box->setAccessibleName(accessible);
  // Wider than the limits so an out-of-range entry can be corrected with a message.
  box->setRange(0, 1000000);
  box->setValue(value);
  box->setKeyboardTracking(false);
  return box;
}
}  // namespace

TResampleForm::TResampleForm(QWidget* parent) : QDialog(parent, Qt::Tool)
{
  if (!ResampleForm) ResampleForm = this;
  setObjectName("ResampleForm");
  setWindowTitle("Resize");
  setModal(true);
  resize(292, 271);

  TypeBox = Named(new QComboBox(this), "TypeBox", "Method");
  TypeBox->addItems({"Nearest Neighbor", "Bilinear", "Bicubic"});

  // A pair of linked fields (width and height) with the chain picture beside them.
  auto pair = [this](const char* caption, const char* name, const QString& unit, int value, QSpinBox*& width,
                     QSpinBox*& height, QLabel*& chain, const char* widthName, const char* heightName,
                     const char* chainName) {
    auto* group = new QGroupBox(caption, this);
    group->setObjectName(name);
    width = Field(group, widthName, "Width in " + unit, value);
    height = Field(group, heightName, "Height in " + unit, value);
    chain = new QLabel(group);
    chain->setObjectName(chainName);
    chain->setPixmap(ChainPicture());
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel("Width:", group), 0, 0);
    grid->addWidget(width, 0, 1);
    grid->addWidget(new QLabel("Height:", group), 1, 0);
    grid->addWidget(height, 1, 1);
    grid->addWidget(chain, 0, 2, 2, 1);
    return group;
  };
  QGroupBox* pixels = pair("Pixel size", "ResampleGroupBox", "pixels", 512, WidthPxEdit, HeightPxEdit, Image1,
                           "WidthPxEdit", "HeightPxEdit", "Image1");
  QGroupBox* percent = pair("Percent", "PercentBox", "percent", 100, WidthPcnEdit, HeightPcnEdit, Image2,
                            "WidthPcnEdit", "HeightPcnEdit", "Image2");

  ConstrainBox = Named(new QCheckBox("Constrain Properties", this), "ConstrainBox");
  ConstrainBox->setChecked(true);
  OKBtn = Named(new QPushButton("OK", this), "OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = Named(new QPushButton("Cancel", this), "CancelBtn");

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TypeBox);
  layout->addWidget(pixels);
  layout->addWidget(percent);
  layout->addWidget(ConstrainBox);
  layout->addStretch(1);
  layout->addLayout(buttons);

  for (QSpinBox* edit : {WidthPxEdit, HeightPxEdit, WidthPcnEdit, HeightPcnEdit})
    connect(edit, &QSpinBox::valueChanged, this, [this, edit] { Changed(edit); });
  connect(ConstrainBox, &QCheckBox::clicked, this, &TResampleForm::ConstrainBoxClick);
  connect(OKBtn, &QPushButton::clicked, this, &TResampleForm::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TResampleForm::Setup(int width, int height)
{
  State.SetConstrained(ConstrainBox->isChecked());
  State.Setup(unsigned(std::max(0, width)), unsigned(std::max(0, height)));
  ShowValues();
}

void TResampleForm::showEvent(QShowEvent* event)
{
  QDialog::showEvent(event);
  State.Reset();
  ShowValues();
  // No operation is selected until OK, so a cancelled dialog runs nothing.
  if (KvadraSystem) KvadraSystem->SelectOperation(0);
}

void TResampleForm::ShowValues()
{
  Updating = true;
  WidthPxEdit->setValue(State.NewWidth);
  HeightPxEdit->setValue(State.NewHeight);
  WidthPcnEdit->setValue(int(std::floor(State.WidthPercent + 0.5)));
  HeightPcnEdit->setValue(int(std::floor(State.HeightPercent + 0.5)));
  Updating = false;
}

void TResampleForm::Tell(const std::string& message)
{
  if (message.empty()) return;
  const QString text = QString::fromStdString(message);
  if (ShowMessage)
    ShowMessage(text);
  else
    QMessageBox::information(this, windowTitle(), text);
}

void TResampleForm::Changed(QSpinBox* edit)
{
  if (Updating) return;
  const double value = edit->value();
  std::string message;
  if (edit == WidthPxEdit)
    message = State.WidthPxChanged(value);
  else if (edit == HeightPxEdit)
    message = State.HeightPxChanged(value);
  else if (edit == WidthPcnEdit)
    message = State.WidthPercentChanged(value);
  else
    message = State.HeightPercentChanged(value);
  ShowValues();
  Tell(message);
}

void TResampleForm::ConstrainBoxClick()
{
  const bool on = ConstrainBox->isChecked();
  Image1->setVisible(on);
  Image2->setVisible(on);
  State.SetConstrained(on);
  if (on) ShowValues();
}

void TResampleForm::OKBtnClick()
{
  KvadraSystem->SelectOperation(1);
  cOperationParams* parameters = KvadraSystem->GetOperationParams(1);
  if (State.NewWidth != 0 && State.NewHeight != 0) {
    parameters->GetParam(0)->SetValue(State.NewWidth);
    parameters->GetParam(1)->SetValue(State.NewHeight);
    parameters->GetParam(2)->SetValue(TypeBox->currentIndex());
  }
  accept();
}
