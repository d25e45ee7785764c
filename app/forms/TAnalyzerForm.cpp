#include "TAnalyzerForm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStackedWidget>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "TCategoryButtons.h"
#include "TImprovedSpinEdit.h"
#include "TParamsPanel.h"
#include "cAnalyzerResults.h"
#include "kvFacade/cKvadraSystem.h"
#include "kvRuntime/kvDiagnostics.h"
#include "kvImages/cImage.h"
#include "kvKernelText.h"
#include "kvMessages/cUserDialogs.h"
#include "kvNamedWidget.h"
#include "kvOperations/cRandomGenerator.h"

KV_UNIT("kvForms\\guiAnalyzerForm");

TAnalyzerForm* AnalyzerForm = nullptr;
std::optional<uint64_t> TAnalyzerForm::BaseSeed;

namespace {
constexpr int ClientWidth = 636;
constexpr int ClientHeight = 389;
constexpr int PageHeight = 349;
// The category buttons of the noise and filter pages share a place; the noises' column is wider.
constexpr int SelectorLeft = 13;
constexpr int SelectorTop = 16;
constexpr int SelectorHeight = 273;
constexpr int SelectorWidthNoises = 301;
constexpr int SelectorWidthFilters = 244;
const char* const ParamIndexProperty = "kvParamIndex";
const char* const SizeKey = "Windows/AnalyzerSize";

std::string ToKernel(const QString& text)
{
  return text.toLocal8Bit().toStdString();
}

// Fixed notation with two decimals, or with the decimals papers give a criterion (SSIM: 4).
QString CellText(double value, int decimals = 2)
{
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  return QString::number(value, 'f', decimals);
}

// A parameter's value as 'kvadra' reads it in --set and --restore.
std::string ParameterText(const cOperationParameter& p)
{
  switch (p.GetType()) {
    case ptInteger: return std::to_string(p.GetRawValue());
    case ptReal: return QString::number(p.GetReal(), 'f', p.GetPrecision()).toStdString();
    case ptBoolean: return p.GetRawValue() ? "true" : "false";
    case ptEnumerated: {
      const int raw = p.GetRawValue();
      return raw >= 0 && raw < p.GetEnumStringCount() ? p.GetEnumString(unsigned(raw)) : std::to_string(raw);
    }
  }
  return "";
}
}  // namespace

TAnalyzerForm::TAnalyzerForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
  if (!AnalyzerForm) AnalyzerForm = this;
  setObjectName("AnalyzerForm");
  setWindowTitle("Analyzer");
  setModal(false);
  setFont(QFont("Tahoma", 8));
  // The pages are laid out for the design size; a larger window gives the chart the room.
  setMinimumSize(ClientWidth, ClientHeight);
  resize(ClientWidth, ClientHeight);
  setSizeGripEnabled(true);

  PageControl = Named(new QStackedWidget(this), "PageControl");
  PageControl->setGeometry(0, 0, ClientWidth, PageHeight);
  CreateCorruptionPage();
  CreateRunningPage();
  CreateRestorationPage();
  CreateCriterionPage();
  CreateResultsPage();

  NextButton = Named(new QPushButton("Next", this), "NextButton");
  NextButton->setGeometry(552, 355, 75, 25);
  NextButton->setEnabled(false);
  NextButton->setDefault(true);
  BackButton = Named(new QPushButton("Back", this), "BackButton");
  BackButton->setGeometry(475, 355, 71, 25);
  BackButton->setEnabled(false);
  connect(NextButton, &QPushButton::clicked, this, &TAnalyzerForm::NextButtonClick);
  connect(BackButton, &QPushButton::clicked, this, &TAnalyzerForm::BackButtonClick);

  ShowPage(CorruptionTabSheet);
}

TAnalyzerForm::~TAnalyzerForm()
{
  if (AnalyzerForm == this) AnalyzerForm = nullptr;
}

QWidget* TAnalyzerForm::NewPage(const QString& name)
{
  auto* page = new QWidget(PageControl);
  page->setObjectName(name);
  PageControl->addWidget(page);
  return page;
}

TCategoryButtons* TAnalyzerForm::NewSelector(QWidget* page, const QString& name, const QString& accessibleName,
                                             int width)
{
  auto* selector = new TCategoryButtons(page);
  selector->setObjectName(name);
  selector->setAccessibleName(accessibleName);
  selector->setGeometry(SelectorLeft, SelectorTop, width, SelectorHeight);
  return selector;
}

void TAnalyzerForm::CreateCorruptionPage()
{
  CorruptionTabSheet = NewPage("CorruptionTabSheet");
  CorruptionSelector = NewSelector(CorruptionTabSheet, "CorruptionSelector", "Noises", SelectorWidthNoises);
  connect(CorruptionSelector, &TCategoryButtons::ButtonClicked, this, &TAnalyzerForm::CorruptionButtonClick);

  CorruptionDetailsBox = Named(new QGroupBox(" Select running parameter ", CorruptionTabSheet), "CorruptionDetailsBox");
  CorruptionDetailsBox->setGeometry(322, 10, 301, 279);
  auto* layout = new QVBoxLayout(CorruptionDetailsBox);
  CorruptionNameLabel = Named(new QLabel(CorruptionDetailsBox), "CorruptionNameLabel");
  QFont bold = font();
  bold.setBold(true);
  bold.setPointSize(10);
  CorruptionNameLabel->setFont(bold);
  CorruptionNameLabel->setAlignment(Qt::AlignCenter);
  layout->addWidget(CorruptionNameLabel);
  SelectRunningParamPanel = Named(new QWidget(CorruptionDetailsBox), "SelectRunningParamPanel");
  auto* radios = new QVBoxLayout(SelectRunningParamPanel);
  radios->setContentsMargins(40, 10, 20, 10);
  radios->setSpacing(20);
  radios->addStretch(1);
  layout->addWidget(SelectRunningParamPanel, 1);

  // Any history picture may be the experiment's; the current one unless the user picks another.
  auto* caption = Named(new QLabel("Experiment on:", CorruptionTabSheet), "ExperimentImageLabel");
  caption->setGeometry(SelectorLeft, 304, 90, 22);
  ExperimentImageBox = Named(new QComboBox(CorruptionTabSheet), "ExperimentImageBox", "Experiment on");
  ExperimentImageBox->setGeometry(SelectorLeft + 92, 303, 623 - SelectorLeft - 92, 24);
  ExperimentImageBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  caption->setBuddy(ExperimentImageBox);
  connect(ExperimentImageBox, &QComboBox::activated, this, [this] { ExperimentImageChosen = true; });
}

void TAnalyzerForm::RefreshExperimentImages()
{
  // While an experiment runs its pictures join the history; the choice made stays as it was.
  if (ExperimentRunning || !KvadraSystem) return;
  const int count = KvadraSystem->SavedImageCount();
  const int previous = ExperimentImageBox->currentData().isValid() ? ExperimentImageBox->currentData().toInt() : -1;
  const int current = KvadraSystem->GetCurrentImageID();
  const QSignalBlocker quiet(ExperimentImageBox);
  ExperimentImageBox->clear();
  for (int id = 0; id < count; ++id) {
    const cImage* image = KvadraSystem->GetImage(id);
    const QString text = QString("%1 (%2 x %3, %4)")
                             .arg(FromKernel(image->GetTitle()))
                             .arg(image->GetWidth())
                             .arg(image->GetHeight())
                             .arg(image->GetChannelsCount() == 1 ? "grey" : "colour");
    ExperimentImageBox->addItem(text, id);
    ExperimentImageBox->setItemData(id, text, Qt::ToolTipRole);
  }
  const int chosen = previous >= 0 && previous < count && ExperimentImageChosen ? previous : current;
  ExperimentImageBox->setCurrentIndex(ExperimentImageBox->findData(chosen));
}

int TAnalyzerForm::ExperimentImageID() const
{
  const QVariant id = ExperimentImageBox->currentData();
  return id.isValid() ? id.toInt() : -1;
}

void TAnalyzerForm::CreateRunningPage()
{
  RunningTabSheet = NewPage("RunningTabSheet");
  CorruptionNameLabel2 = Named(new QLabel(RunningTabSheet), "CorruptionNameLabel2");
  QFont bold = font();
  bold.setBold(true);
  CorruptionNameLabel2->setFont(bold);
  CorruptionNameLabel2->setAlignment(Qt::AlignCenter);
  CorruptionNameLabel2->setGeometry(0, 6, ClientWidth, 20);

  RunningGroupBox = Named(new QGroupBox(" Running parameter details ", RunningTabSheet), "RunningGroupBox");
  RunningGroupBox->setGeometry(13, 32, 295, 257);
  RunningParamDetailsPanel = Named(new QWidget(RunningGroupBox), "RunningParamDetailsPanel");
  RunningParamDetailsPanel->setGeometry(2, 18, 291, 237);
  int y = 10;
  TImprovedSpinEdit** edits[] = {&MinEdit, &MaxEdit, &StepsEdit};
  const char* captions[] = {"Min value:", "Max value:", "Steps count:"};
  const char* names[] = {"MinEdit", "MaxEdit", "StepsEdit"};
  for (int row = 0; row < 3; ++row) {
    auto* label = new QLabel(captions[row], RunningParamDetailsPanel);
    const int labelHeight = label->sizeHint().height();
    label->setGeometry(10, y, RunningParamDetailsPanel->width() - 20, labelHeight);
    y += labelHeight + 10;
    auto* edit = new TImprovedSpinEdit(RunningParamDetailsPanel);
    edit->setObjectName(names[row]);
    edit->SetAccessibleName(QString(captions[row]).chopped(1));
    label->setBuddy(edit->Edit());
    edit->setGeometry(20, y, RunningParamDetailsPanel->width() - 40, edit->sizeHint().height());
    y += labelHeight + 20;
    *edits[row] = edit;
  }
  StepsEdit->SetMinValue(3);
  StepsEdit->SetMaxValue(50);
  StepsEdit->SetPrecision(0);
  StepsEdit->SetValue(10);

  StaticGroupBox = Named(new QGroupBox(" Static parameters ", RunningTabSheet), "StaticGroupBox");
  StaticGroupBox->setGeometry(322, 32, 301, 310);
  auto* layout = new QVBoxLayout(StaticGroupBox);
  layout->setContentsMargins(2, 2, 2, 2);
  StaticParamsPanel = Named(new TParamsPanel(StaticGroupBox), "StaticParamsPanel");
  StaticParamsPanel->setFrameStyle(QFrame::NoFrame);
  layout->addWidget(StaticParamsPanel, 1);
  // The corruption runs with these values: edits go to the operation's parameters at once.
  StaticParamsPanel->OnChange = [this](TParamsPanel*) { StaticChange(); };
}

void TAnalyzerForm::CreateRestorationPage()
{
  RestorationTabSheet = NewPage("RestorationTabSheet");
  RestorationSelector = NewSelector(RestorationTabSheet, "RestorationSelector", "Filters", SelectorWidthFilters);
  connect(RestorationSelector, &TCategoryButtons::ButtonClicked, this, &TAnalyzerForm::RestorationButtonClick);

  RestorationListBox = Named(new QListWidget(RestorationTabSheet), "RestorationListBox", "Restorations");
  RestorationListBox->setGeometry(263, 16, 338, 89);
  connect(RestorationListBox, &QListWidget::currentRowChanged, this, [this](int) { RestorationListBoxClick(); });

  auto* frame = new QFrame(RestorationTabSheet);
  frame->setObjectName("BasePanel");
  frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  frame->setGeometry(263, 111, 338, 178);
  BasePanel = frame;
  auto* layout = new QVBoxLayout(BasePanel);
  layout->setContentsMargins(2, 2, 2, 2);
  RestorationParamsPanel = Named(new TParamsPanel(BasePanel), "RestorationParamsPanel");
  RestorationParamsPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  layout->addWidget(RestorationParamsPanel, 1);
  RestorationParamsPanel->OnChange = [this](TParamsPanel*) { RestorationChange(); };
}

void TAnalyzerForm::CreateCriterionPage()
{
  CriterionTabSheet = NewPage("CriterionTabSheet");
  CriteriaGroup = Named(new QGroupBox(" Select estimation ", CriterionTabSheet), "CriteriaGroup");
  CriteriaGroup->setGeometry(13, 16, 240, 200);
  auto* layout = new QVBoxLayout(CriteriaGroup);
  CriteriaButtons = new QButtonGroup(this);
  // Several criteria: every restored picture is measured once for all that are ticked.
  CriteriaButtons->setExclusive(false);
  const QStringList items = {"MSE", "PSNR", "IQ", "Time", "IQHVS", "SSIM"};
  for (int i = 0; i < items.size(); ++i) {
    auto* box = new QCheckBox(items[i], CriteriaGroup);
    box->setObjectName("Criterion_" + items[i]);
    CriteriaButtons->addButton(box, i);
    layout->addWidget(box);
  }
  layout->addStretch(1);
  CriteriaButtons->button(1)->setChecked(true);
  // An experiment needs a criterion to measure.
  connect(CriteriaButtons, &QButtonGroup::buttonToggled, this, [this] {
    if (PageControl->currentWidget() == CriterionTabSheet) NextButton->setEnabled(!CriterionNames().isEmpty());
  });
}

void TAnalyzerForm::CreateResultsPage()
{
  ResultsTabSheet = NewPage("ResultsTabSheet");
  ResultsPageControl = Named(new QTabWidget(ResultsTabSheet), "ResultsPageControl");
  ResultsPageControl->setTabPosition(QTabWidget::East);
  auto* chartPage = new QWidget();
  chartPage->setObjectName("ChartPage");
  auto* chartLayout = new QVBoxLayout(chartPage);
  chartLayout->setContentsMargins(0, 0, 0, 0);
  ChartCriterionBox = Named(new QComboBox(chartPage), "ChartCriterionBox", "Chart criterion");
  chartLayout->addWidget(ChartCriterionBox);
  chartLayout->addWidget(CreateResultsChart(), 1);
  connect(ChartCriterionBox, &QComboBox::currentIndexChanged, this, [this] { FillChart(); });
  ResultsPageControl->addTab(chartPage, "Chart");
  ResultsPageControl->addTab(CreateResultsTable(), "Table");
  auto* layout = new QVBoxLayout(ResultsTabSheet);
  layout->setContentsMargins(0, 0, 0, 2);
  layout->setSpacing(2);
  layout->addWidget(ResultsPageControl, 1);
  CreateResultsButtons();
  layout->addWidget(ResultsTabSheet->findChild<QWidget*>("ResultsButtons"));
  SetResultButtons();
}

QWidget* TAnalyzerForm::CreateResultsChart()
{
  Chart = new QChart();
  Chart->setTitle("Experiment Results");
  QRadialGradient gradient(QPointF(0.5, 0.5), 0.75);
  gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
  gradient.setColorAt(0.0, QColor(255, 255, 191));
  gradient.setColorAt(1.0, Qt::white);
  Chart->setBackgroundBrush(gradient);
  // The chart's own legend cuts long restoration names; the label under it wraps them.
  Chart->legend()->setVisible(false);
  AxisX = new QValueAxis(Chart);
  AxisX->setLabelFormat("%g");
  AxisY = new QValueAxis(Chart);
  AxisY->setLabelFormat("%g");
  Chart->addAxis(AxisX, Qt::AlignBottom);
  Chart->addAxis(AxisY, Qt::AlignLeft);
  ResultsChart = Named(new QChartView(Chart), "ResultsChart", "Chart");
  ResultsChart->setRenderHint(QPainter::Antialiasing);
  // Hovering a line reports its values only while the view follows the mouse.
  ResultsChart->setMouseTracking(true);
  ResultsChart->viewport()->setMouseTracking(true);
  ResultsChart->viewport()->installEventFilter(this);
  ChartArea = new QWidget();
  ChartArea->setObjectName("ChartArea");
  ChartArea->setAutoFillBackground(true);
  ChartArea->setBackgroundRole(QPalette::Base);
  auto* layout = new QVBoxLayout(ChartArea);
  layout->setContentsMargins(0, 0, 0, 4);
  layout->setSpacing(0);
  layout->addWidget(ResultsChart, 1);
  LegendLabel = Named(new QLabel(ChartArea), "LegendLabel", "Legend");
  LegendLabel->setWordWrap(true);
  LegendLabel->setTextFormat(Qt::RichText);
  LegendLabel->setAlignment(Qt::AlignCenter);
  LegendLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(LegendLabel);
  return ChartArea;
}

void TAnalyzerForm::RemoveSeries()
{
  // The chart gives up a removed series without deleting it.
  for (QLineSeries* s : ChartSeries()) {
    Chart->removeSeries(s);
    delete s;
  }
}

void TAnalyzerForm::UpdateLegend()
{
  QStringList entries;
  for (QLineSeries* s : ChartSeries())
    entries << QString("<span style=\"color:%1\">&#9632;</span>&nbsp;%2")
                   .arg(s->pen().color().name(), s->name().toHtmlEscaped());
  LegendLabel->setText(entries.join(" &nbsp;&nbsp; "));
}

void TAnalyzerForm::ShowPointValues(QLineSeries* series, const QPointF& at, bool state)
{
  HoverText.clear();
  if (!state) {
    QToolTip::hideText();
    return;
  }
  // The signal gives a place on the line: name the measured point nearest to it.
  const QList<QPointF> points = series->points();
  if (points.isEmpty()) return;
  const QPointF pixel = Chart->mapToPosition(at, series);
  QPointF nearest = points.first();
  double best = std::numeric_limits<double>::max();
  for (const QPointF& p : points) {
    const QPointF d = Chart->mapToPosition(p, series) - pixel;
    const double distance = QPointF::dotProduct(d, d);
    if (distance < best) {
      best = distance;
      nearest = p;
    }
  }
  HoverText = PointText(series, nearest);
  QToolTip::showText(QCursor::pos(), HoverText, ResultsChart);
}

bool TAnalyzerForm::eventFilter(QObject* watched, QEvent* event)
{
  // The chart's scene answers the tooltip request itself and, having no tooltip of its own,
  // would hide the point's values; while a point is hovered they are the answer.
  if (watched == ResultsChart->viewport() && event->type() == QEvent::ToolTip && !HoverText.isEmpty()) {
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), HoverText, ResultsChart);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

QString TAnalyzerForm::PointText(const QLineSeries* series, const QPointF& point) const
{
  return series->name() + "\n" + AxisX->titleText() + " = " + CellText(point.x()) + "\n" + AxisY->titleText() + " = " +
         CellText(point.y());
}

QWidget* TAnalyzerForm::CreateResultsTable()
{
  auto* tablePage = new QWidget();
  tablePage->setObjectName("TablePage");
  auto* tableLayout = new QVBoxLayout(tablePage);
  tableLayout->setContentsMargins(4, 4, 4, 4);
  TitleLabel = Named(new QLabel(tablePage), "TitleLabel");
  tableLayout->addWidget(TitleLabel);
  ResultsGrid = Named(new QTableWidget(tablePage), "ResultsGrid", "Results");
  ResultsGrid->horizontalHeader()->setDefaultSectionSize(128);
  ResultsGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  ResultsGrid->verticalHeader()->setDefaultSectionSize(16);
  ResultsGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  ResultsGrid->verticalHeader()->hide();
  ResultsGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ResultsGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
  ResultsGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
  tableLayout->addWidget(ResultsGrid, 1);
  return tablePage;
}

void TAnalyzerForm::CreateResultsButtons()
{
  auto* strip = new QWidget(ResultsTabSheet);
  strip->setObjectName("ResultsButtons");
  strip->setFixedHeight(30);
  auto* row = new QHBoxLayout(strip);
  row->setContentsMargins(8, 2, 8, 2);
  StatusLabel = Named(new QLabel(strip), "StatusLabel");
  row->addWidget(StatusLabel, 1);
  StopButton = Named(new QPushButton("Stop", strip), "StopButton");
  SaveChartButton = Named(new QPushButton("Save chart...", strip), "SaveChartButton");
  SaveTableButton = Named(new QPushButton("Save table...", strip), "SaveTableButton");
  CopyButton = Named(new QPushButton("Copy", strip), "CopyButton");
  CopyCommandButton = Named(new QPushButton("Copy as command", strip), "CopyCommandButton");
  for (QPushButton* button : {StopButton, SaveChartButton, SaveTableButton, CopyButton, CopyCommandButton}) {
    button->setAutoDefault(false);
    row->addWidget(button);
  }
  connect(StopButton, &QPushButton::clicked, this, &TAnalyzerForm::StopExperiment);
  connect(SaveChartButton, &QPushButton::clicked, this, [this] {
    QString filter;
    QString file = QFileDialog::getSaveFileName(this, "Save chart", QString(),
                                                "PNG picture (*.png);;SVG drawing (*.svg)", &filter);
    if (file.isEmpty()) return;
    if (QFileInfo(file).suffix().isEmpty()) file += filter.startsWith("SVG") ? ".svg" : ".png";
    SaveChart(file);
  });
  connect(SaveTableButton, &QPushButton::clicked, this, [this] {
    QString filter;
    QString file = QFileDialog::getSaveFileName(
        this, "Save table", QString(), "CSV table (*.csv);;Markdown table (*.md);;LaTeX table (*.tex)", &filter);
    if (file.isEmpty()) return;
    if (QFileInfo(file).suffix().isEmpty())
      file += filter.startsWith("Markdown") ? ".md" : filter.startsWith("LaTeX") ? ".tex" : ".csv";
    SaveTable(file);
  });
  connect(CopyButton, &QPushButton::clicked, this, &TAnalyzerForm::CopyTable);
  connect(CopyCommandButton, &QPushButton::clicked, this, &TAnalyzerForm::CopyCommand);
}

QList<QLineSeries*> TAnalyzerForm::ChartSeries() const
{
  QList<QLineSeries*> list;
  for (QAbstractSeries* s : Chart->series())
    if (auto* line = qobject_cast<QLineSeries*>(s)) list << line;
  return list;
}

QString TAnalyzerForm::CriterionName() const
{
  const QStringList names = CriterionNames();
  return names.isEmpty() ? QString("PSNR") : names.first();
}

QStringList TAnalyzerForm::CriterionNames() const
{
  QStringList names;
  for (QAbstractButton* button : CriteriaButtons->buttons())
    if (button->isChecked()) names << button->text();
  return names;
}

void TAnalyzerForm::AddOperation(unsigned uid)
{
  std::string group, name, type;
  KvadraSystem->GetOperationGroupAndName(uid, group, name, type);
  TCategoryButtons* selector = nullptr;
  if (type == "otFilter")
    selector = RestorationSelector;
  else if (type == "otNoise")
    selector = CorruptionSelector;
  if (!selector) return;
  QPushButton* button = selector->AddButton(FromKernel(group), FromKernel(name), int(uid));
  button->setAccessibleDescription(FromKernel(group));
}

void TAnalyzerForm::ShowPage(QWidget* page)
{
  PageControl->setCurrentWidget(page);
  if (page == CorruptionTabSheet)
    CorruptionPageShown();
  else if (page == RunningTabSheet)
    RunningPageShown();
  else
    BackButton->setEnabled(page != ResultsTabSheet);
}

void TAnalyzerForm::showEvent(QShowEvent* event)
{
  QDialog::showEvent(event);
  if (ExperimentRunning) return;
  if (QWidget* owner = parentWidget()) {
    const QRect area = owner->window()->frameGeometry();
    move(area.center() - rect().center());
  }
  KvadraSystem->EnterAnalyzerMode();
  KvadraSystem->AnalyzerClear();
  ExperimentImageChosen = false;
  RefreshExperimentImages();
  // The analyzer forgot the restorations: so do the list and the selector's highlight.
  RefillRestorationList();
  RestorationSelector->SetSelected(-1);
  ShowPage(CorruptionTabSheet);
  NextButton->setText("Next");
}

void TAnalyzerForm::CorruptionPageShown()
{
  NextButton->setEnabled(CorruptionOperationIndex != -1 && RunningParamIndex != -1);
  BackButton->hide();
}

void TAnalyzerForm::CorruptionButtonClick(int uid)
{
  QLayout* radios = SelectRunningParamPanel->layout();
  for (QRadioButton* r : SelectRunningParamPanel->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly))
    delete r;
  CorruptionOperationIndex = uid;
  CorruptionSelector->SetSelected(uid);
  // The running parameter belonged to the previous noise: a noise without a numeric parameter
  // must not go on with it.
  RunningParamIndex = -1;
  NextButton->setEnabled(false);
  const cOperationParams* params = KvadraSystem->GetOperationParams(unsigned(uid));
  CorruptionNameLabel->setText(FromKernel(params->GetName()));
  QRadioButton* first = nullptr;
  int position = 0;
  for (int i = 0; i < params->GetParamsCount(); ++i) {
    const cOperationParameter* p = params->GetParam(unsigned(i));
    if (p->GetType() != ptInteger && p->GetType() != ptReal) continue;
    auto* radio = new QRadioButton(FromKernel(p->GetName()), SelectRunningParamPanel);
    radio->setProperty(ParamIndexProperty, i);
    // Toggled, not clicked: assistive technologies and arrow keys check a radio button
    // without clicking it.
    connect(radio, &QRadioButton::toggled, this, [this, radio](bool checked) {
      if (checked) RunningParamClick(radio);
    });
    static_cast<QVBoxLayout*>(radios)->insertWidget(position++, radio);
    radio->show();
    if (!first) first = radio;
  }
  if (first) first->setChecked(true);
}

void TAnalyzerForm::RunningParamClick(QRadioButton* sender)
{
  KV_ASSERT(sender != nullptr, "Sender->ClassNameIs(\"TRadioButton\")");
  KV_ASSERT(PageControl->currentWidget() == CorruptionTabSheet, "PageControl->ActivePage == CorruptionTabSheet");
  RunningParamIndex = sender->property(ParamIndexProperty).toInt();
  NextButton->setEnabled(true);
}

void TAnalyzerForm::RunningPageShown()
{
  BackButton->show();
  BackButton->setEnabled(true);
  KV_ASSERT(CorruptionOperationIndex != -1, "CorruptionOperationIndex != -1");
  std::string group, name, type;
  KvadraSystem->GetOperationGroupAndName(unsigned(CorruptionOperationIndex), group, name, type);
  CorruptionNameLabel2->setText(FromKernel(group) + " :: " + FromKernel(name));
  const cOperationParams* params = KvadraSystem->GetOperationParams(unsigned(CorruptionOperationIndex));
  const cOperationParameter* running = params->GetParam(unsigned(RunningParamIndex));
  RunningGroupBox->setTitle(" " + FromKernel(running->GetName()) + ": ");
  double low = 0, high = 0;
  uint8_t precision = 0;
  running->GetBounds(low, high, precision);
  for (TImprovedSpinEdit* edit : {MinEdit, MaxEdit}) {
    edit->SetPrecision(precision);
    edit->SetMinValue(low);
    edit->SetMaxValue(high);
  }
  MinEdit->SetValue(low);
  MaxEdit->SetValue(high);
  StepsEdit->SetValue(10);
  StaticParamsPanel->Build(*params, RunningParamIndex);
}

void TAnalyzerForm::StaticChange()
{
  if (CorruptionOperationIndex == -1) return;
  StaticParamsPanel->ApplyTo(*KvadraSystem->GetOperationParams(unsigned(CorruptionOperationIndex)));
}

void TAnalyzerForm::RestorationButtonClick(int uid)
{
  RestorationSelector->SetSelected(uid);
  KvadraSystem->AnalyzerAddRestoration(unsigned(uid));
  RefillRestorationList();
  NextButton->setEnabled(true);
}

void TAnalyzerForm::RefillRestorationList()
{
  const int previous = RestorationListBox->currentRow();
  const QSignalBlocker quiet(RestorationListBox);
  RestorationListBox->clear();
  const int count = KvadraSystem->AnalyzerGetRestorationCount();
  for (int i = 0; i < count; ++i)
    RestorationListBox->addItem(FromKernel(KvadraSystem->AnalyzerGetRestorationNameAt(i)));
  if (previous >= 0 && previous < count) {
    RestorationListBox->setCurrentRow(previous);
  } else {
    RestorationOperationIndex = -1;
    RestorationParamsPanel->Build(cOperationParams(), -1);
  }
}

void TAnalyzerForm::RestorationListBoxClick()
{
  const int index = RestorationListBox->currentRow();
  if (index < 0) return;
  RestorationOperationIndex = int(KvadraSystem->AnalyzerSelectRestorationParams(index));
  RestorationParamsPanel->Build(*KvadraSystem->GetOperationParams(unsigned(RestorationOperationIndex)), -1);
}

void TAnalyzerForm::RestorationChange()
{
  const int index = RestorationListBox->currentRow();
  if (index < 0 || RestorationOperationIndex == -1) return;
  RestorationParamsPanel->ApplyTo(*KvadraSystem->GetOperationParams(unsigned(RestorationOperationIndex)));
  KvadraSystem->AnalyzerUpdateParams(index);
  RestorationListBox->item(index)->setText(FromKernel(KvadraSystem->AnalyzerGetRestorationNameAt(index)));
}

void TAnalyzerForm::NextButtonClick()
{
  QWidget* page = PageControl->currentWidget();
  if (page == CorruptionTabSheet) {
    ShowPage(RunningTabSheet);
  } else if (page == RunningTabSheet) {
    const double minimum = MinEdit->CheckValue(MinEdit->GetValue());
    const double maximum = MaxEdit->CheckValue(MaxEdit->GetValue());
    if (minimum > maximum) {
      cUserDialogs::ShowMessage("Min value must not be greater than Max value.");
      return;
    }
    sCorruptionSeriesInfo info;
    info.OperationUID = unsigned(CorruptionOperationIndex);
    info.ParameterIndex = unsigned(RunningParamIndex);
    info.Minimum = minimum;
    info.Maximum = maximum;
    info.Steps = unsigned(std::trunc(StepsEdit->CheckValue(StepsEdit->GetValue())));
    KvadraSystem->AnalyzerAddCorruptionSeries(info);
    ShowPage(RestorationTabSheet);
    // Restorations added before a step back still count.
    NextButton->setEnabled(KvadraSystem->AnalyzerGetRestorationCount() > 0);
  } else if (page == RestorationTabSheet) {
    NextButton->setText("Start!");
    ShowPage(CriterionTabSheet);
  } else if (page == CriterionTabSheet) {
    NextButton->setText("Exit");
    ShowPage(ResultsTabSheet);
    StartExperiment();
  } else if (page == ResultsTabSheet) {
    close();
  }
}

void TAnalyzerForm::BackButtonClick()
{
  QWidget* page = PageControl->currentWidget();
  KV_ASSERT(page != CorruptionTabSheet, "PageControl->ActivePage != CorruptionTabSheet");
  if (page == RunningTabSheet) {
    ShowPage(CorruptionTabSheet);
  } else if (page == RestorationTabSheet) {
    ShowPage(RunningTabSheet);
  } else if (page == CriterionTabSheet) {
    NextButton->setText("Next");
    ShowPage(RestorationTabSheet);
    NextButton->setEnabled(KvadraSystem->AnalyzerGetRestorationCount() > 0);
  }
}

void TAnalyzerForm::RunOffGuiThread(const std::function<void()>& work)
{
  QEventLoop loop;
  std::atomic<bool> done{false};
  std::exception_ptr error;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      error = std::current_exception();
    }
    done.store(true);
    // By name: the queued call carries no data of ours from this thread to the GUI thread.
    QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
  });
  if (!done.load()) loop.exec();
  // The loop also ends when the application quits: the experiment must not go on after this
  // operation, and the operation has to finish before its pictures can be touched.
  if (!done.load() && KvadraSystem) KvadraSystem->AnalyzerCancel();
  worker.join();
  if (error) std::rethrow_exception(error);
}

void TAnalyzerForm::StartExperiment()
{
  ExperimentRunning = true;
  CloseWhenStopped = false;
  RemoveSeries();
  UpdateLegend();
  ResultsGrid->clear();
  ResultsGrid->setRowCount(0);
  ResultsGrid->setColumnCount(0);
  TitleLabel->clear();
  StatusLabel->setText("Experiment running...");
  NextButton->setEnabled(false);
  BackButton->setEnabled(false);
  SetResultButtons();
  // The picture chosen on the first page is the one the analyzer copies; a choice the history
  // no longer holds leaves the current picture.
  const int picture = ExperimentImageID();
  if (picture >= 0 && picture < KvadraSystem->SavedImageCount() && picture != KvadraSystem->GetCurrentImageID())
    KvadraSystem->SetCurrentImageID(picture);
  const int ranOn = KvadraSystem->GetCurrentImageID();
  if (OnExperimentRunning) OnExperimentRunning(true);

  std::vector<std::string> criteria;
  for (const QString& name : CriterionNames()) criteria.push_back(ToKernel(name));
  if (criteria.empty()) criteria.push_back("PSNR");
  KvadraSystem->AnalyzerSetCriteria(criteria);
  if (BaseSeed) cRandomGenerator::SetSeed(*BaseSeed);
  ExperimentSourceID = KvadraSystem->GetCurrentImageID();
  KvadraSystem->AnalyzerSetRunner(&TAnalyzerForm::RunOffGuiThread);
  KvadraSystem->AnalyzerExecute();
  KvadraSystem->AnalyzerSetRunner(nullptr);

  ExperimentRunning = false;
  // The experiment's pictures stay in the history, but the picture it ran on is current again:
  // the viewer, Save image and a repeated experiment all use the picture the user chose.
  if (ranOn >= 0 && ranOn < KvadraSystem->SavedImageCount() && ranOn != KvadraSystem->GetCurrentImageID())
    KvadraSystem->SetCurrentImageID(ranOn);
  RefreshExperimentImages();
  // A stopped experiment has cut its series to the points made.
  PointReady();
  const std::string failure = KvadraSystem->AnalyzerGetFailure();
  if (!failure.empty())
    StatusLabel->setText("Experiment ended: " + FromKernel(failure));
  else if (KvadraSystem->AnalyzerWasCancelled())
    StatusLabel->setText("Experiment stopped; the points made are kept.");
  else
    StatusLabel->setText("Experiment finished.");
  NextButton->setEnabled(true);
  SetResultButtons();
  if (OnExperimentRunning) OnExperimentRunning(false);
  if (CloseWhenStopped) close();
}

void TAnalyzerForm::StopExperiment()
{
  if (!ExperimentRunning) return;
  KvadraSystem->AnalyzerCancel();
  StatusLabel->setText("Stopping after the running operation...");
  StopButton->setEnabled(false);
}

void TAnalyzerForm::SetResultButtons()
{
  const bool haveSeries = !ExperimentRunning && KvadraSystem && KvadraSystem->AnalyzerGetSeriesCount() > 0;
  StopButton->setEnabled(ExperimentRunning);
  SaveChartButton->setEnabled(haveSeries);
  SaveTableButton->setEnabled(haveSeries);
  CopyButton->setEnabled(haveSeries);
  CopyCommandButton->setEnabled(!ExperimentRunning && KvadraSystem && KvadraSystem->AnalyzerGetRestorationCount() > 0);
}

void TAnalyzerForm::SeriesReady()
{
  RemoveSeries();
  const int n = KvadraSystem->AnalyzerGetSeriesCount();
  QStringList criteria;
  for (const std::string& c : KvadraSystem->AnalyzerGetCriteria()) criteria << FromKernel(c);
  ResultsGrid->clear();
  ResultsGrid->setColumnCount(n * int(criteria.size()) + 1);
  ResultsGrid->setRowCount(0);
  {
    const QSignalBlocker quiet(ChartCriterionBox);
    ChartCriterionBox->clear();
    ChartCriterionBox->addItems(criteria);
    ChartCriterionBox->setVisible(criteria.size() > 1);
  }
  const QString bottom = FromKernel(KvadraSystem->AnalyzerGetBottomTitle());
  const QString left = criteria.join(", ");
  const QString title = FromKernel(KvadraSystem->AnalyzerGetExperimentTitle());
  QStringList header{bottom};
  // The columns grouped by criterion: every series under each.
  for (const QString& criterion : criteria)
    for (int i = 0; i < n; ++i) {
      const QString name = FromKernel(KvadraSystem->AnalyzerGetSeriesName(i));
      header << (criteria.size() > 1 ? criterion + ": " + name : name);
    }
  for (int i = 0; i < n; ++i) {
    const QString name = FromKernel(KvadraSystem->AnalyzerGetSeriesName(i));
    auto* series = new QLineSeries(Chart);
    series->setName(name);
    Chart->addSeries(series);
    // The theme gives each series its colour when it is added; the width is ours.
    QPen pen = series->pen();
    pen.setWidth(2);
    series->setPen(pen);
    series->attachAxis(AxisX);
    series->attachAxis(AxisY);
    series->setPointsVisible(true);
    connect(series, &QLineSeries::hovered, this,
            [this, series](const QPointF& at, bool state) { ShowPointValues(series, at, state); });
  }
  UpdateLegend();
  ResultsGrid->setHorizontalHeaderLabels(header);
  // Long names with their criterion in front: every column wide enough to read its heading.
  if (criteria.size() > 1) ResultsGrid->resizeColumnsToContents();
  Chart->setTitle(title);
  TitleLabel->setText(title + " " + left);
  AxisX->setTitleText(bottom);
  AxisY->setTitleText(criteria.isEmpty() ? QString() : criteria.first());
  FitAxes();
  ResultsGrid->viewport()->update();
  ResultsChart->viewport()->update();
}

void TAnalyzerForm::PointReady()
{
  const QList<QLineSeries*> series = ChartSeries();
  const int n = std::min<int>(KvadraSystem->AnalyzerGetSeriesCount(), int(series.size()));
  int rows = 0;
  for (int i = 0; i < n; ++i) rows = std::max(rows, KvadraSystem->AnalyzerGetPointsMade(i));
  ResultsGrid->setRowCount(rows);
  for (int k = 0; k < rows; ++k) {
    auto* cell = new QTableWidgetItem(CellText(KvadraSystem->AnalyzerGetSweepValueAt(k)));
    cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ResultsGrid->setItem(k, 0, cell);
  }
  const std::vector<std::string> names = KvadraSystem->AnalyzerGetCriteria();
  const int criteria = int(names.size());
  for (int c = 0; c < criteria; ++c)
    for (int i = 0; i < n; ++i) {
      const int decimals = cPaperTable::Decimals(names[size_t(c)]);
      // Only the points made so far: the ones still to come are placeholders.
      const int made = KvadraSystem->AnalyzerGetPointsMade(i);
      const int column = 1 + c * n + i;
      for (int j = 0; j < rows; ++j) {
        if (j >= made) {
          ResultsGrid->setItem(j, column, new QTableWidgetItem(QString()));
          continue;
        }
        const double y = KvadraSystem->AnalyzerGetCriterionValueAt(unsigned(i), unsigned(j), unsigned(c));
        auto* cell = new QTableWidgetItem(CellText(y, decimals));
        cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        ResultsGrid->setItem(j, column, cell);
      }
    }
  FillChart();
  ResultsGrid->viewport()->update();
}

void TAnalyzerForm::FillChart()
{
  const QList<QLineSeries*> series = ChartSeries();
  const int n = std::min<int>(KvadraSystem->AnalyzerGetSeriesCount(), int(series.size()));
  const std::vector<std::string> criteria = KvadraSystem->AnalyzerGetCriteria();
  const int c = std::clamp(ChartCriterionBox->currentIndex(), 0, std::max(0, int(criteria.size()) - 1));
  if (!criteria.empty()) AxisY->setTitleText(FromKernel(criteria[size_t(c)]));
  for (int i = 0; i < n; ++i) {
    const int made = KvadraSystem->AnalyzerGetPointsMade(i);
    QList<QPointF> points;
    for (int j = 0; j < made && unsigned(c) < criteria.size(); ++j) {
      double x = 0, y = 0;
      KvadraSystem->AnalyzerGetResultAt(unsigned(i), unsigned(j), x, y);
      y = KvadraSystem->AnalyzerGetCriterionValueAt(unsigned(i), unsigned(j), unsigned(c));
      // Infinite values (identical pictures) are tabulated but leave a gap in the curve.
      if (std::isfinite(y)) points << QPointF(x, y);
    }
    series[i]->replace(points);
  }
  FitAxes();
  ResultsChart->viewport()->update();
}

void TAnalyzerForm::FitAxes()
{
  double xLow = 0, xHigh = 0, yLow = 0, yHigh = 0;
  bool any = false;
  for (QLineSeries* s : ChartSeries())
    for (const QPointF& p : s->points()) {
      if (!any) {
        xLow = xHigh = p.x();
        yLow = yHigh = p.y();
        any = true;
      }
      xLow = std::min(xLow, p.x());
      xHigh = std::max(xHigh, p.x());
      yLow = std::min(yLow, p.y());
      yHigh = std::max(yHigh, p.y());
    }
  if (!any) {
    AxisX->setRange(0, 1);
    AxisY->setRange(0, 1);
    return;
  }
  if (xHigh == xLow) xHigh = xLow + 1;
  const double margin = yHigh > yLow ? (yHigh - yLow) * 0.05 : std::max(1e-3, std::fabs(yHigh) * 0.05);
  AxisX->setRange(xLow, xHigh);
  AxisY->setRange(yLow - margin, yHigh + margin);
  AxisX->applyNiceNumbers();
  AxisY->applyNiceNumbers();
}

bool TAnalyzerForm::SaveChart(const QString& fileName)
{
  const std::string target = ToKernel(QFileInfo(fileName).absoluteFilePath());
  try {
    const std::string temporary = cResultTable::TemporaryNameBeside(target);
    const QString temp = QString::fromLocal8Bit(temporary.c_str());
    bool written = false;
    if (QFileInfo(fileName).suffix().compare("svg", Qt::CaseInsensitive) == 0) {
      QSvgGenerator svg;
      svg.setFileName(temp);
      svg.setSize(ChartArea->size());
      svg.setViewBox(QRect(QPoint(0, 0), ChartArea->size()));
      svg.setTitle(Chart->title());
      QPainter painter;
      written = painter.begin(&svg);
      if (written) {
        ChartArea->render(&painter);
        written = painter.end();
      }
    } else {
      written = ChartArea->grab().save(temp, "PNG");
    }
    if (!written) {
      QFile::remove(temp);
      throw std::runtime_error("cannot write '" + target + "'");
    }
    cResultTable::CommitTemporary(temporary, target);
    return true;
  } catch (const std::exception& error) {
    cUserDialogs::ShowMessage(std::string("Can not save the chart: ") + error.what());
    return false;
  }
}

bool TAnalyzerForm::SaveTable(const QString& fileName)
{
  const std::string target = ToKernel(fileName);
  try {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    std::string text;
    if (suffix == "md" || suffix == "tex") {
      cPaperTable table = cAnalyzerResults::PaperTable(*KvadraSystem);
      table.SetOrigin(ToKernel(CommandText()), KV_VERSION, BaseSeed);
      text = table.Text(suffix == "md" ? tfMarkdown : tfLatex);
    } else {
      text = cAnalyzerResults::Build(*KvadraSystem).CsvText();
    }
    cResultTable::WriteFileAtomically(target, text);
    return true;
  } catch (const std::exception& error) {
    cUserDialogs::ShowMessage(std::string("Can not save the table: ") + error.what());
    return false;
  }
}

void TAnalyzerForm::CopyTable()
{
  std::ostringstream text;
  cAnalyzerResults::Build(*KvadraSystem).WriteTabSeparated(text);
  QApplication::clipboard()->setText(FromKernel(text.str()));
}

QString TAnalyzerForm::CommandText() const
{
  if (!KvadraSystem || CorruptionOperationIndex < 0 || RunningParamIndex < 0) return QString();
  std::vector<std::string> words = {"kvadra", "analyze", PictureFile.isEmpty() ? "PICTURE" : ToKernel(PictureFile)};
  const cOperationParams& corruption = *KvadraSystem->GetOperationParams(unsigned(CorruptionOperationIndex));
  words.insert(words.end(), {"--corrupt", corruption.GetName()});
  for (int i = 0; i < corruption.GetParamsCount(); ++i)
    if (i != RunningParamIndex) {
      const cOperationParameter& p = *corruption.GetParam(unsigned(i));
      words.insert(words.end(), {"--set", p.GetName() + "=" + ParameterText(p)});
    }
  const cOperationParameter& swept = *corruption.GetParam(unsigned(RunningParamIndex));
  if (swept.GetType() == ptReal) {
    const int decimals = swept.GetPrecision();
    words.insert(words.end(),
                 {"--sweep", swept.GetName(), QString::number(MinEdit->GetValue(), 'f', decimals).toStdString(),
                  QString::number(MaxEdit->GetValue(), 'f', decimals).toStdString(),
                  std::to_string(int(std::trunc(StepsEdit->GetValue())))});
  } else {
    // Whole values: the list the experiment swept, or would sweep.
    QStringList values;
    for (int k = 0; k < KvadraSystem->AnalyzerGetSweepLength(); ++k)
      values << QString::number(KvadraSystem->AnalyzerGetSweepValueAt(k), 'f', 0);
    words.insert(words.end(), {"--param", swept.GetName(), "--values", ToKernel(values.join(","))});
  }
  for (int r = 0; r < KvadraSystem->AnalyzerGetRestorationCount(); ++r) {
    // The parameters as the analyzer holds them (the list box's selection may show others).
    const unsigned uid = KvadraSystem->AnalyzerSelectRestorationParams(r);
    const cOperationParams& params = *KvadraSystem->GetOperationParams(uid);
    std::string restoration = params.GetName();
    for (int i = 0; i < params.GetParamsCount(); ++i)
      restoration += (i ? ";" : ":") + params.GetParam(unsigned(i))->GetName() + "=" +
                     ParameterText(*params.GetParam(unsigned(i)));
    words.insert(words.end(), {"--restore", restoration});
  }
  const int selected = RestorationListBox->currentRow();
  if (selected >= 0 && selected < KvadraSystem->AnalyzerGetRestorationCount())
    KvadraSystem->AnalyzerSelectRestorationParams(selected);
  for (const QString& criterion : CriterionNames()) words.insert(words.end(), {"--criterion", ToKernel(criterion)});
  if (BaseSeed) words.insert(words.end(), {"--seed", std::to_string(*BaseSeed)});
  QString text = FromKernel(cPaperTable::ShellCommand(words));
  // A picture made in the program exists in no file: the steps from the loaded one are named.
  QStringList steps;
  for (int id = 1; id <= ExperimentSourceID; ++id)
    if (const cImage* image = KvadraSystem->GetImage(id)) steps << FromKernel(image->GetTitle());
  if (!steps.isEmpty())
    text = "# The current picture is " + QFileInfo(PictureFile).fileName() + " after: " + steps.join("; ") +
           ". Save it and give its file instead of " + QFileInfo(PictureFile).fileName() + ".\n" + text;
  return text;
}

void TAnalyzerForm::CopyCommand()
{
  QApplication::clipboard()->setText(CommandText());
}

void TAnalyzerForm::resizeEvent(QResizeEvent* event)
{
  QDialog::resizeEvent(event);
  if (!NextButton) return;
  // Next and Back keep to the bottom right corner; the pages take the rest.
  const int w = width(), h = height();
  const int strip = ClientHeight - PageHeight;
  PageControl->setGeometry(0, 0, w, h - strip);
  NextButton->move(w - (ClientWidth - 552), h - (ClientHeight - 355));
  BackButton->move(w - (ClientWidth - 475), h - (ClientHeight - 355));
  if (Store && isVisible()) Store->setValue(SizeKey, size());
}

void TAnalyzerForm::RestoreSize(QSettings* store)
{
  Store = store;
  if (!Store) return;
  const QSize stored = Store->value(SizeKey).toSize();
  if (stored.isValid()) resize(stored.expandedTo(minimumSize()));
}

void TAnalyzerForm::closeEvent(QCloseEvent* event)
{
  if (ExperimentRunning) {
    // The experiment returns after its running operation; the window closes then.
    StopExperiment();
    CloseWhenStopped = true;
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TAnalyzerForm::reject()
{
  if (ExperimentRunning) {
    StopExperiment();
    CloseWhenStopped = true;
    return;
  }
  if (KvadraSystem) KvadraSystem->ExitAnalyzerMode();
  QDialog::reject();
}
