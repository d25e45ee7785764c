#include "TPreferencesForm.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

#include "TImprovedRadioGroup.h"
#include "TImprovedSpinEdit.h"
#include "cuGlobalParameters.h"

TPreferencesForm* PreferencesForm = nullptr;

namespace {
QWidget* Page(QStackedWidget* pages, const char* name)
{
  auto* page = new QWidget(pages);
  page->setObjectName(name);
  pages->addWidget(page);
  return page;
}

// The general float-to-text form, always with '.'.
QString General(double value)
{
  return QString::number(value, 'g', 15);
}

bool ParseReal(const QString& text, double& value)
{
  bool ok = false;
  value = QLocale::c().toDouble(text.trimmed(), &ok);
  return ok && std::isfinite(value);
}
}  // namespace

TPreferencesForm::TPreferencesForm(QWidget* parent) : QDialog(parent)
{
  if (!PreferencesForm) PreferencesForm = this;
  setObjectName("PreferencesForm");
  setWindowTitle("Preferences...");
  setModal(true);
  resize(541, 315);

  PreferencesTreeView = new QTreeWidget(this);
  PreferencesTreeView->setObjectName("PreferencesTreeView");
  PreferencesTreeView->setAccessibleName("Options");
  PreferencesTreeView->setHeaderHidden(true);
  PreferencesTreeView->setFixedWidth(179);
  auto* measures = new QTreeWidgetItem(PreferencesTreeView, {"Measurments"});
  for (const char* child : {"Image quality index (IQ)", "IQHVS", "SSIM", "Time"}) new QTreeWidgetItem(measures, {child});
  new QTreeWidgetItem(PreferencesTreeView, {"History view"});
  new QTreeWidgetItem(PreferencesTreeView, {"Histogram view"});
  new QTreeWidgetItem(PreferencesTreeView, {"Picture files"});
  PreferencesTreeView->expandAll();

  PreferencesPageControl = new QStackedWidget(this);
  PreferencesPageControl->setObjectName("PreferencesPageControl");

  QWidget* measurements = Page(PreferencesPageControl, "MeasurmentsSheet");
  auto* title = new QLabel("Kvadra 2 Options", measurements);
  QFont big = title->font();
  big.setPointSize(12);
  title->setFont(big);
  auto* measurementsLayout = new QVBoxLayout(measurements);
  measurementsLayout->addWidget(title);
  measurementsLayout->addWidget(new QLabel("Please select an option on the left.", measurements));
  measurementsLayout->addStretch(1);

  QWidget* iqSheet = Page(PreferencesPageControl, "IQSheet");
  IQ_RadioGroup = new TImprovedRadioGroup(iqSheet);
  IQ_RadioGroup->setObjectName("IQ_RadioGroup");
  IQ_RadioGroup->SetCaption(" IQ window size [Width x Height]");
  QStringList windows;
  for (int w = 3; w <= 11; w += 2)
    for (int h = 3; h <= 11; h += 2) windows << QString("[%1 x %2]").arg(w).arg(h);
  IQ_RadioGroup->SetColumns(5);
  IQ_RadioGroup->SetItems(windows);
  (new QVBoxLayout(iqSheet))->addWidget(IQ_RadioGroup);

  QWidget* iqhvsSheet = Page(PreferencesPageControl, "IQHVSSheet");
  (new QVBoxLayout(iqhvsSheet))->addWidget(new QGroupBox("IQHVS params", iqhvsSheet));

  QWidget* ssimSheet = Page(PreferencesPageControl, "SSIMSheet");
  auto* ssimGroup = new QGroupBox("SSIM params", ssimSheet);
  K1_Edit = new QLineEdit(ssimGroup);
  K1_Edit->setObjectName("K1_Edit");
  K1_Edit->setAccessibleName("K1");
  K2_Edit = new QLineEdit(ssimGroup);
  K2_Edit->setObjectName("K2_Edit");
  K2_Edit->setAccessibleName("K2");
  auto* ssimLayout = new QVBoxLayout(ssimGroup);
  for (auto [label, edit] : {std::pair{"K1", K1_Edit}, std::pair{"K2", K2_Edit}}) {
    auto* row = new QHBoxLayout;
    auto* caption = new QLabel(label, ssimGroup);
    caption->setBuddy(edit);
    row->addWidget(caption);
    row->addWidget(edit, 1);
    ssimLayout->addLayout(row);
  }
  ssimLayout->addStretch(1);
  (new QVBoxLayout(ssimSheet))->addWidget(ssimGroup);

  QWidget* timeSheet = Page(PreferencesPageControl, "TimeSheet");
  TimeRG = new TImprovedRadioGroup(timeSheet);
  TimeRG->setObjectName("TimeRG");
  TimeRG->SetCaption(" Time measurment unit ");
  TimeRG->SetItems({"Milliseconds", "Seconds"});
  auto* timeLayout = new QVBoxLayout(timeSheet);
  timeLayout->addWidget(TimeRG);
  timeLayout->addStretch(1);

  QWidget* historySheet = Page(PreferencesPageControl, "HistorySheet");
  auto* columns = new QGroupBox(" Visible measurments in history view ", historySheet);
  auto* columnsLayout = new QVBoxLayout(columns);
  auto box = [columns, columnsLayout](const char* name, const char* caption) {
    auto* b = new QCheckBox(caption, columns);
    b->setObjectName(name);
    columnsLayout->addWidget(b);
    return b;
  };
  PSNRCheckBox = box("PSNRCheckBox", "Peak signal-to-noise ratio (PSNR)");
  MSECheckBox = box("MSECheckBox", "Mean-square error (MSE)");
  IQCheckBox = box("IQCheckBox", "Image quality index (IQ)");
  IQHVSCheckBox = box("IQHVSCheckBox", "IQHVS");
  SSIMCheckBox = box("SSIMCheckBox", "SSIM");
  TimeCheckBox = box("TimeCheckBox", "Time");
  (new QVBoxLayout(historySheet))->addWidget(columns);

  QWidget* histogramSheet = Page(PreferencesPageControl, "HistogramSheet");
  auto* histogramLayout = new QVBoxLayout(histogramSheet);
  histogramLayout->addWidget(new QLabel("Histogram Properties", histogramSheet));
  auto* none = new QLabel("No properties available", histogramSheet);
  none->setEnabled(false);
  histogramLayout->addWidget(none);
  histogramLayout->addStretch(1);

  QWidget* filesSheet = Page(PreferencesPageControl, "PictureFilesSheet");
  auto* filesGroup = new QGroupBox(" Largest picture a file may hold ", filesSheet);
  MaxPixelsEdit = new TImprovedSpinEdit(filesGroup);
  MaxPixelsEdit->setObjectName("MaxPixelsEdit");
  MaxPixelsEdit->SetAccessibleName("Largest picture in megapixels");
  MaxPixelsEdit->SetPrecision(1);
  MaxPixelsEdit->SetMinValue(0.1);
  MaxPixelsEdit->SetMaxValue(double(cuGlobalParameters::MaxPixelsCeiling) / 1e6);
  MaxPixelsEdit->SetUnitsOfMeasurements("megapixels");
  auto* filesLayout = new QVBoxLayout(filesGroup);
  filesLayout->addWidget(MaxPixelsEdit);
  auto* explain = new QLabel("Pictures larger than this are refused before anything is read, so a damaged "
                             "or hostile file cannot exhaust the memory.",
                             filesGroup);
  explain->setWordWrap(true);
  filesLayout->addWidget(explain);
  filesLayout->addStretch(1);
  (new QVBoxLayout(filesSheet))->addWidget(filesGroup);

  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  connect(OKBtn, &QPushButton::clicked, this, &TPreferencesForm::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(PreferencesTreeView, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { TreeClick(item); });

  auto* body = new QHBoxLayout;
  body->addWidget(PreferencesTreeView);
  body->addWidget(PreferencesPageControl, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body, 1);
  layout->addLayout(buttons);

  PreferencesTreeView->setCurrentItem(measures);
  LoadValues();
}

int TPreferencesForm::WindowIndex(int width, int height)
{
  return ((width - 1) / 2 - 1) * 5 + ((height - 1) / 2 - 1);
}

void TPreferencesForm::WindowFromIndex(int index, int& width, int& height)
{
  width = (index / 5 + 1) * 2 + 1;
  height = (index % 5 + 1) * 2 + 1;
}

void TPreferencesForm::showEvent(QShowEvent* event)
{
  QDialog::showEvent(event);
  PreferencesTreeView->setCurrentItem(PreferencesTreeView->topLevelItem(0));
  PreferencesTreeView->setFocus();
  LoadValues();
}

void TPreferencesForm::LoadValues()
{
  const cuGlobalParameters& p = *GlobalParams;
  IQ_RadioGroup->SetItemIndex(WindowIndex(p.QualityWindowWidth, p.QualityWindowHeight));
  TimeRG->SetItemIndex(p.TimeUnit == 1 ? 0 : 1);
  PSNRCheckBox->setChecked(p.ShowPSNR);
  MSECheckBox->setChecked(p.ShowMSE);
  IQCheckBox->setChecked(p.ShowIQ);
  TimeCheckBox->setChecked(p.ShowTime);
  IQHVSCheckBox->setChecked(p.ShowIQHVS);
  SSIMCheckBox->setChecked(p.ShowSSIM);
  K1_Edit->setText(General(p.K1));
  K2_Edit->setText(General(p.K2));
  MaxPixelsEdit->SetValue(double(p.GetMaxPixels()) / 1e6);
}

void TPreferencesForm::TreeClick(QTreeWidgetItem* item)
{
  if (!item) return;
  const QString text = item->text(0);
  const char* page = nullptr;
  if (text == "Histogram view") page = "HistogramSheet";
  else if (text == "History view") page = "HistorySheet";
  else if (text == "Measurments") page = "MeasurmentsSheet";
  else if (text == "Image quality index (IQ)") page = "IQSheet";
  else if (text == "IQHVS") page = "IQHVSSheet";
  else if (text == "SSIM") page = "SSIMSheet";
  else if (text == "Time") page = "TimeSheet";
  else if (text == "Picture files") page = "PictureFilesSheet";
  if (!page) return;
  if (QWidget* sheet = PreferencesPageControl->findChild<QWidget*>(page)) PreferencesPageControl->setCurrentWidget(sheet);
}

void TPreferencesForm::OKBtnClick()
{
  cuGlobalParameters& p = *GlobalParams;
  int width = 0, height = 0;
  WindowFromIndex(std::max(0, IQ_RadioGroup->GetItemIndex()), width, height);
  if (width != p.QualityWindowWidth || height != p.QualityWindowHeight) {
    p.QualityWindowWidth = width;
    p.QualityWindowHeight = height;
    p.CriteriaSettingsChanged = true;
  }
  p.TimeUnit = TimeRG->GetItemIndex() == 1 ? 0 : 1;
  p.ShowPSNR = PSNRCheckBox->isChecked();
  p.ShowMSE = MSECheckBox->isChecked();
  p.ShowIQ = IQCheckBox->isChecked();
  p.ShowTime = TimeCheckBox->isChecked();
  p.ShowIQHVS = IQHVSCheckBox->isChecked();
  p.ShowSSIM = SSIMCheckBox->isChecked();
  p.SetMaxPixels(uint64_t(std::llround(MaxPixelsEdit->CheckValue(MaxPixelsEdit->GetValue()) * 1e6)));
  double k1 = 0, k2 = 0;
  if (!ParseReal(K1_Edit->text(), k1) || !ParseReal(K2_Edit->text(), k2)) {
    const QString message = "Error params input";
    if (ShowMessage) ShowMessage(message);
    else QMessageBox::warning(this, windowTitle(), message);
    LoadValues();
    p.FullUpdate();
    return;
  }
  if (k1 != p.K1 || k2 != p.K2) p.CriteriaSettingsChanged = true;
  p.K1 = k1;
  p.K2 = k2;
  p.FullUpdate();
  if (Store) SaveSettings(*Store, p);
  accept();
}

void TPreferencesForm::SaveSettings(QSettings& store, const cuGlobalParameters& p)
{
  store.beginGroup("Measures");
  store.setValue("QualityWindowWidth", p.QualityWindowWidth);
  store.setValue("QualityWindowHeight", p.QualityWindowHeight);
  store.setValue("K1", General(p.K1));
  store.setValue("K2", General(p.K2));
  store.setValue("TimeUnit", p.TimeUnit == 1 ? "milliseconds" : "seconds");
  store.endGroup();
  store.beginGroup("History");
  store.setValue("ShowPSNR", p.ShowPSNR);
  store.setValue("ShowMSE", p.ShowMSE);
  store.setValue("ShowIQ", p.ShowIQ);
  store.setValue("ShowIQHVS", p.ShowIQHVS);
  store.setValue("ShowSSIM", p.ShowSSIM);
  store.setValue("ShowTime", p.ShowTime);
  store.endGroup();
  store.beginGroup("Files");
  store.setValue("MaxPixels", QString::number(p.GetMaxPixels()));
  store.endGroup();
  store.sync();
}

void TPreferencesForm::LoadSettings(QSettings& store, cuGlobalParameters& p)
{
  auto window = [&store](const char* key, int& value) {
    bool ok = false;
    const int v = store.value(key).toInt(&ok);
    if (ok && v >= 3 && v <= 11 && v % 2 == 1) value = v;
  };
  auto real = [&store](const char* key, double& value) {
    double v = 0;
    if (ParseReal(store.value(key).toString(), v)) value = v;
  };
  auto flag = [&store](const char* key, bool& value) {
    const QString text = store.value(key).toString().toLower();
    if (text == "true") value = true;
    else if (text == "false") value = false;
  };
  store.beginGroup("Measures");
  window("QualityWindowWidth", p.QualityWindowWidth);
  window("QualityWindowHeight", p.QualityWindowHeight);
  real("K1", p.K1);
  real("K2", p.K2);
  const QString unit = store.value("TimeUnit").toString();
  if (unit == "milliseconds") p.TimeUnit = 1;
  else if (unit == "seconds") p.TimeUnit = 0;
  store.endGroup();
  store.beginGroup("History");
  flag("ShowPSNR", p.ShowPSNR);
  flag("ShowMSE", p.ShowMSE);
  flag("ShowIQ", p.ShowIQ);
  flag("ShowIQHVS", p.ShowIQHVS);
  flag("ShowSSIM", p.ShowSSIM);
  flag("ShowTime", p.ShowTime);
  store.endGroup();
  store.beginGroup("Files");
  bool ok = false;
  const qulonglong pixels = store.value("MaxPixels").toString().toULongLong(&ok);
  if (ok && pixels > 0 && pixels <= cuGlobalParameters::MaxPixelsCeiling) p.SetMaxPixels(pixels);
  store.endGroup();
}
