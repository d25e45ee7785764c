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
#include <utility>

#include "TImprovedRadioGroup.h"
#include "TImprovedSpinEdit.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvNamedWidget.h"

TPreferencesForm* PreferencesForm = nullptr;

namespace {
// Quality windows run over the odd sizes 3 to 11 on each side: five choices per side.
constexpr int SmallestWindow = 3;
constexpr int LargestWindow = 11;
constexpr int WindowStep = 2;
constexpr int WindowSizesPerSide = (LargestWindow - SmallestWindow) / WindowStep + 1;
constexpr double PixelsPerMegapixel = 1e6;
constexpr double SmallestMegapixels = 0.1;
// cuGlobalParameters::TimeUnit: 1 is milliseconds, 0 seconds.
constexpr int TimeUnitMilliseconds = 1;
constexpr int TimeUnitSeconds = 0;

QWidget* Page(QStackedWidget* pages, const char* name)
{
  auto* page = new QWidget(pages);
  page->setObjectName(name);
  pages->addWidget(page);
  return page;
}

// A page that holds one group box filling it.
QGroupBox* GroupPage(QStackedWidget* pages, const char* name, const char* title)
{
  QWidget* page = Page(pages, name);
  auto* group = new QGroupBox(title, page);
  (new QVBoxLayout(page))->addWidget(group);
  return group;
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

  QTreeWidgetItem* measures = CreateTree();
  PreferencesPageControl = Named(new QStackedWidget(this), "PreferencesPageControl");
  CreateMeasurementsPage();
  CreateQualityWindowPage();
  CreateIqhvsPage();
  CreateSsimPage();
  CreateTimePage();
  CreateHistoryPage();
  CreateHistogramPage();
  CreatePictureFilesPage();
  CreateButtons();
  LayOut();

  PreferencesTreeView->setCurrentItem(measures);
  LoadValues();
}

QTreeWidgetItem* TPreferencesForm::CreateTree()
{
  PreferencesTreeView = Named(new QTreeWidget(this), "PreferencesTreeView", "Options");
  PreferencesTreeView->setHeaderHidden(true);
  PreferencesTreeView->setFixedWidth(179);
  auto* measures = new QTreeWidgetItem(PreferencesTreeView, {"Measurments"});
  for (const char* child : {"Image quality index (IQ)", "IQHVS", "SSIM", "Time"})
    new QTreeWidgetItem(measures, {child});
  new QTreeWidgetItem(PreferencesTreeView, {"History view"});
  new QTreeWidgetItem(PreferencesTreeView, {"Histogram view"});
  new QTreeWidgetItem(PreferencesTreeView, {"Picture files"});
  PreferencesTreeView->expandAll();
  return measures;
}

void TPreferencesForm::CreateMeasurementsPage()
{
  QWidget* measurements = Page(PreferencesPageControl, "MeasurmentsSheet");
  auto* title = new QLabel("Kvadra 2 Options", measurements);
  QFont big = title->font();
  big.setPointSize(12);
  title->setFont(big);
  auto* measurementsLayout = new QVBoxLayout(measurements);
  measurementsLayout->addWidget(title);
  measurementsLayout->addWidget(new QLabel("Please select an option on the left.", measurements));
  measurementsLayout->addStretch(1);
}

void TPreferencesForm::CreateQualityWindowPage()
{
  QWidget* iqSheet = Page(PreferencesPageControl, "IQSheet");
  IQ_RadioGroup = Named(new TImprovedRadioGroup(iqSheet), "IQ_RadioGroup");
  IQ_RadioGroup->SetCaption(" IQ window size [Width x Height]");
  QStringList windows;
  for (int width = SmallestWindow; width <= LargestWindow; width += WindowStep)
    for (int height = SmallestWindow; height <= LargestWindow; height += WindowStep)
      windows << QString("[%1 x %2]").arg(width).arg(height);
  IQ_RadioGroup->SetColumns(WindowSizesPerSide);
  IQ_RadioGroup->SetItems(windows);
  (new QVBoxLayout(iqSheet))->addWidget(IQ_RadioGroup);
}

void TPreferencesForm::CreateIqhvsPage()
{
  GroupPage(PreferencesPageControl, "IQHVSSheet", "IQHVS params");
}

void TPreferencesForm::CreateSsimPage()
{
  QGroupBox* ssimGroup = GroupPage(PreferencesPageControl, "SSIMSheet", "SSIM params");
  K1_Edit = Named(new QLineEdit(ssimGroup), "K1_Edit", "K1");
  K2_Edit = Named(new QLineEdit(ssimGroup), "K2_Edit", "K2");
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
}

void TPreferencesForm::CreateTimePage()
{
  QWidget* timeSheet = Page(PreferencesPageControl, "TimeSheet");
  TimeRG = Named(new TImprovedRadioGroup(timeSheet), "TimeRG");
  TimeRG->SetCaption(" Time measurment unit ");
  TimeRG->SetItems({"Milliseconds", "Seconds"});
  auto* timeLayout = new QVBoxLayout(timeSheet);
  timeLayout->addWidget(TimeRG);
  timeLayout->addStretch(1);
}

void TPreferencesForm::CreateHistoryPage()
{
  QGroupBox* columns = GroupPage(PreferencesPageControl, "HistorySheet", " Visible measurments in history view ");
  auto* columnsLayout = new QVBoxLayout(columns);
  auto box = [columns, columnsLayout](const char* name, const char* caption) {
    auto* checkBox = new QCheckBox(caption, columns);
    checkBox->setObjectName(name);
    columnsLayout->addWidget(checkBox);
    return checkBox;
  };
  PSNRCheckBox = box("PSNRCheckBox", "Peak signal-to-noise ratio (PSNR)");
  MSECheckBox = box("MSECheckBox", "Mean-square error (MSE)");
  IQCheckBox = box("IQCheckBox", "Image quality index (IQ)");
  IQHVSCheckBox = box("IQHVSCheckBox", "IQHVS");
  SSIMCheckBox = box("SSIMCheckBox", "SSIM");
  TimeCheckBox = box("TimeCheckBox", "Time");
}

void TPreferencesForm::CreateHistogramPage()
{
  QWidget* histogramSheet = Page(PreferencesPageControl, "HistogramSheet");
  auto* histogramLayout = new QVBoxLayout(histogramSheet);
  histogramLayout->addWidget(new QLabel("Histogram Properties", histogramSheet));
  auto* none = new QLabel("No properties available", histogramSheet);
  none->setEnabled(false);
  histogramLayout->addWidget(none);
  histogramLayout->addStretch(1);
}

void TPreferencesForm::CreatePictureFilesPage()
{
  QGroupBox* filesGroup = GroupPage(PreferencesPageControl, "PictureFilesSheet", " Largest picture a file may hold ");
  MaxPixelsEdit = Named(new TImprovedSpinEdit(filesGroup), "MaxPixelsEdit");
  MaxPixelsEdit->SetAccessibleName("Largest picture in megapixels");
  MaxPixelsEdit->SetPrecision(1);
  MaxPixelsEdit->SetMinValue(SmallestMegapixels);
  MaxPixelsEdit->SetMaxValue(double(cuGlobalParameters::MaxPixelsCeiling) / PixelsPerMegapixel);
  MaxPixelsEdit->SetUnitsOfMeasurements("megapixels");
  auto* filesLayout = new QVBoxLayout(filesGroup);
  filesLayout->addWidget(MaxPixelsEdit);
  auto* explain = new QLabel(
      "Pictures larger than this are refused before anything is read, so a damaged "
      "or hostile file cannot exhaust the memory.",
      filesGroup);
  explain->setWordWrap(true);
  filesLayout->addWidget(explain);
  filesLayout->addStretch(1);
}

void TPreferencesForm::CreateButtons()
{
  OKBtn = Named(new QPushButton("OK", this), "OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = Named(new QPushButton("Cancel", this), "CancelBtn");
  connect(OKBtn, &QPushButton::clicked, this, &TPreferencesForm::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(PreferencesTreeView, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { TreeClick(item); });
}

void TPreferencesForm::LayOut()
{
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
}

int TPreferencesForm::WindowIndex(int width, int height)
{
  // The odd size 2k + 1 is choice k - 1 on its side.
  auto choice = [](int size) { return (size - 1) / WindowStep - 1; };
  return choice(width) * WindowSizesPerSide + choice(height);
}

void TPreferencesForm::WindowFromIndex(int index, int& width, int& height)
{
  width = SmallestWindow + index / WindowSizesPerSide * WindowStep;
  height = SmallestWindow + index % WindowSizesPerSide * WindowStep;
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
  TimeRG->SetItemIndex(p.TimeUnit == TimeUnitMilliseconds ? 0 : 1);
  PSNRCheckBox->setChecked(p.ShowPSNR);
  MSECheckBox->setChecked(p.ShowMSE);
  IQCheckBox->setChecked(p.ShowIQ);
  TimeCheckBox->setChecked(p.ShowTime);
  IQHVSCheckBox->setChecked(p.ShowIQHVS);
  SSIMCheckBox->setChecked(p.ShowSSIM);
  K1_Edit->setText(General(p.K1));
  K2_Edit->setText(General(p.K2));
  MaxPixelsEdit->SetValue(double(p.GetMaxPixels()) / PixelsPerMegapixel);
}

void TPreferencesForm::TreeClick(QTreeWidgetItem* item)
{
  if (!item) return;
  // The tree's captions and the pages they show.
  static const std::pair<const char*, const char*> pages[] = {{"Histogram view", "HistogramSheet"},
                                                              {"History view", "HistorySheet"},
                                                              {"Measurments", "MeasurmentsSheet"},
                                                              {"Image quality index (IQ)", "IQSheet"},
                                                              {"IQHVS", "IQHVSSheet"},
                                                              {"SSIM", "SSIMSheet"},
                                                              {"Time", "TimeSheet"},
                                                              {"Picture files", "PictureFilesSheet"}};
  const QString text = item->text(0);
  const char* page = nullptr;
  for (const auto& [caption, name] : pages)
    if (text == caption) page = name;
  if (!page) return;
  if (QWidget* sheet = PreferencesPageControl->findChild<QWidget*>(page))
    PreferencesPageControl->setCurrentWidget(sheet);
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
  p.TimeUnit = TimeRG->GetItemIndex() == 1 ? TimeUnitSeconds : TimeUnitMilliseconds;
  p.ShowPSNR = PSNRCheckBox->isChecked();
  p.ShowMSE = MSECheckBox->isChecked();
  p.ShowIQ = IQCheckBox->isChecked();
  p.ShowTime = TimeCheckBox->isChecked();
  p.ShowIQHVS = IQHVSCheckBox->isChecked();
  p.ShowSSIM = SSIMCheckBox->isChecked();
  p.SetMaxPixels(uint64_t(std::llround(MaxPixelsEdit->CheckValue(MaxPixelsEdit->GetValue()) * PixelsPerMegapixel)));
  double k1 = 0, k2 = 0;
  if (!ParseReal(K1_Edit->text(), k1) || !ParseReal(K2_Edit->text(), k2)) {
    const QString message = "Error params input";
    if (ShowMessage)
      ShowMessage(message);
    else
      QMessageBox::warning(this, windowTitle(), message);
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
  store.setValue("TimeUnit", p.TimeUnit == TimeUnitMilliseconds ? "milliseconds" : "seconds");
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
    const int size = store.value(key).toInt(&ok);
    if (ok && size >= SmallestWindow && size <= LargestWindow && size % 2 == 1) value = size;
  };
  auto real = [&store](const char* key, double& value) {
    double parsed = 0;
    if (ParseReal(store.value(key).toString(), parsed)) value = parsed;
  };
  auto flag = [&store](const char* key, bool& value) {
    const QString text = store.value(key).toString().toLower();
    if (text == "true")
      value = true;
    else if (text == "false")
      value = false;
  };
  store.beginGroup("Measures");
  window("QualityWindowWidth", p.QualityWindowWidth);
  window("QualityWindowHeight", p.QualityWindowHeight);
  real("K1", p.K1);
  real("K2", p.K2);
  const QString unit = store.value("TimeUnit").toString();
  if (unit == "milliseconds")
    p.TimeUnit = TimeUnitMilliseconds;
  else if (unit == "seconds")
    p.TimeUnit = TimeUnitSeconds;
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
