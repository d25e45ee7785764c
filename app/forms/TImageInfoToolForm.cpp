#include "TImageInfoToolForm.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QLabel>
#include <QLineSeries>
#include <QSize>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kvFacade/cKvadraSystem.h"
#include "kvRuntime/kvDiagnostics.h"
#include "kvImages/cImage.h"
#include "kvKernelText.h"
#include "kvNamedWidget.h"

KV_UNIT("kvForms\\guiImageInfoToolForm");

TImageInfoToolForm* ImageInfoToolForm = nullptr;

namespace {
// The window's size before it is docked.
constexpr QSize DesignSize(363, 283);
constexpr int GreyLevels = 256;
// The tallest bar stops short of the chart's top.
constexpr double HeadroomAboveHighest = 1.05;
}  // namespace

TImageInfoToolForm::TImageInfoToolForm(QWidget* parent) : TBaseToolForm("Image info", "ImageInfoToolForm", parent)
{
  if (!ImageInfoToolForm) ImageInfoToolForm = this;
  auto* client = new QWidget(this);
  client->setObjectName("ImageInfoClient");
  client->resize(DesignSize);
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(CreatePages(client));
  layout->addWidget(CreateChartView(client, CreateChart()), 1);
  setWidget(client);
  resize(DesignSize);
  ClearInfo();
}

QTabWidget* TImageInfoToolForm::CreatePages(QWidget* client)
{
  PageControl1 = Named(new QTabWidget(client), "PageControl1");
  PageControl1->setFixedHeight(97);
  auto* general = new QWidget(PageControl1);
  general->setObjectName("GeneralSheet");
  auto* statistics = new QWidget(PageControl1);
  statistics->setObjectName("StatisticsSheet");
  auto* measures = new QWidget(PageControl1);
  measures->setObjectName("MeasuresSheet");
  for (QWidget* page : {general, statistics, measures}) {
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(8, 4, 8, 4);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(0);
  }
  WidthLabel = AddValue(general, 0, "Width:", "WidthLabel");
  HeightLabel = AddValue(general, 1, "Height:", "HeightLabel");
  ChannelsLabel = AddValue(general, 2, "Channels count:", "ChannelsLabel");
  RawSizeLabel = AddValue(general, 3, "Size:", "RawSizeLabel");
  MeanLabel = AddValue(statistics, 0, "Mean:", "MeanLabel");
  VarianceLabel = AddValue(statistics, 1, "Variance:", "VarianceLabel");
  // Six measures in two columns of three: the page keeps its height.
  NoiseSigmaLabel = AddValue(statistics, 2, "Noise sigma:", "NoiseSigmaLabel");
  MSELabel = AddValue(measures, 0, "MSE:", "MSELabel");
  PSNRLabel = AddValue(measures, 1, "PSNR:", "PSNRLabel");
  IQLabel = AddValue(measures, 2, "IQ:", "IQLabel");
  IQHVSLabel = AddValue(measures, 0, "IQHVS:", "IQHVSLabel", 2);
  SSIMLabel = AddValue(measures, 1, "SSIM:", "SSIMLabel", 2);
  TimeLabel = AddValue(measures, 2, "Time:", "TimeLabel", 2);
  PageControl1->addTab(general, "General Properties");
  PageControl1->addTab(statistics, "Statistics");
  PageControl1->addTab(measures, "Measures");
  PageControl1->setCurrentWidget(measures);
  // The noise estimate reads every pixel: it is made only while its page is shown.
  connect(PageControl1, &QTabWidget::currentChanged, this, [this, statistics] {
    if (PageControl1->currentWidget() == statistics) UpdateInfo();
  });
  return PageControl1;
}

QChart* TImageInfoToolForm::CreateChart()
{
  auto* chart = new QChart();
  chart->setTitle("Histogram");
  chart->legend()->hide();
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setBackgroundRoundness(0);
  chart->setMargins(QMargins(2, 2, 2, 2));
  QLinearGradient background(0, 0, 1, 0);
  background.setCoordinateMode(QGradient::ObjectBoundingMode);
  background.setColorAt(0, QColor(0, 0, 255));
  background.setColorAt(1, QColor(147, 147, 255));
  chart->setBackgroundBrush(background);
  chart->setTitleBrush(Qt::white);
  CreateSeries(chart);
  CreateAxes(chart);
  return chart;
}

void TImageInfoToolForm::CreateSeries(QChart* chart)
{
  GrayLine = new QLineSeries(chart);
  GraySeries = new QAreaSeries(GrayLine);
  GraySeries->setName("GrayHistogram");
  GraySeries->setColor(Qt::black);
  GraySeries->setBorderColor(Qt::black);
  GraySeries->setPointLabelsVisible(false);
  chart->addSeries(GraySeries);
  // Channel 0 is blue, 1 green, 2 red, as the surface stores them.
  const QColor channelColors[ColourChannels] = {QColor(90, 170, 255), QColor(0, 220, 0), QColor(255, 40, 40)};
  const char* const channelNames[ColourChannels] = {"BlueHistogram", "GreenHistogram", "RedHistogram"};
  for (int channel = 0; channel < ColourChannels; ++channel) {
    ChannelSeries[channel] = new QLineSeries(chart);
    ChannelSeries[channel]->setName(channelNames[channel]);
    QPen pen(channelColors[channel]);
    pen.setWidthF(1.0);
    ChannelSeries[channel]->setPen(pen);
    chart->addSeries(ChannelSeries[channel]);
  }
}

void TImageInfoToolForm::CreateAxes(QChart* chart)
{
  BottomAxis = new QValueAxis(chart);
  BottomAxis->setRange(0, 255);
  BottomAxis->setTickType(QValueAxis::TicksDynamic);
  BottomAxis->setTickAnchor(0);
  BottomAxis->setTickInterval(15);
  BottomAxis->setMinorTickCount(1);
  BottomAxis->setLabelFormat("%d");
  BottomAxis->setLabelsAngle(-90);
  BottomAxis->setLabelsBrush(Qt::white);
  // Turned labels are dropped when one is wider than its share of the axis: a small font
  // keeps all eighteen at the window's usual width.
  QFont labelsFont = BottomAxis->labelsFont();
  labelsFont.setPixelSize(9);
  BottomAxis->setLabelsFont(labelsFont);
  BottomAxis->setGridLineColor(QColor(255, 255, 255, 90));
  BottomAxis->setMinorGridLineVisible(false);
  BottomAxis->setLinePenColor(Qt::white);
  LeftAxis = new QValueAxis(chart);
  LeftAxis->setRange(0, 1);
  LeftAxis->setVisible(false);
  chart->addAxis(BottomAxis, Qt::AlignBottom);
  chart->addAxis(LeftAxis, Qt::AlignLeft);
  for (QAbstractSeries* series : chart->series()) {
    series->attachAxis(BottomAxis);
    series->attachAxis(LeftAxis);
  }
}

QWidget* TImageInfoToolForm::CreateChartView(QWidget* client, QChart* chart)
{
  HistogramChart = Named(new QChartView(chart, client), "HistogramChart", "Histogram");
  HistogramChart->setRenderHint(QPainter::Antialiasing, false);
  HistogramChart->setMinimumHeight(120);
  auto* chartFrame = new QWidget(client);
  auto* chartLayout = new QVBoxLayout(chartFrame);
  chartLayout->setContentsMargins(5, 5, 5, 5);
  HistogramChart->setFrameShape(QFrame::NoFrame);
  chartLayout->addWidget(HistogramChart);
  return chartFrame;
}

TImageInfoToolForm::~TImageInfoToolForm()
{
  if (ImageInfoToolForm == this) ImageInfoToolForm = nullptr;
}

QLabel* TImageInfoToolForm::AddValue(QWidget* page, int row, const QString& caption, const QString& objectName,
                                     int column)
{
  auto* grid = static_cast<QGridLayout*>(page->layout());
  auto* captionLabel = new QLabel(caption, page);
  auto* value = new QLabel(page);
  value->setObjectName(objectName);
  // Screen readers get the caption with the value.
  value->setAccessibleDescription(caption.chopped(1));
  value->setTextInteractionFlags(Qt::TextSelectableByMouse);
  grid->addWidget(captionLabel, row, column);
  grid->addWidget(value, row, column + 1);
  grid->setColumnStretch(column + 1, 1);
  return value;
}

QString TImageInfoToolForm::FormatVariance(double variance)
{
  if (!std::isfinite(variance)) return QString::number(variance);
  // Five significant digits first, then two decimals ("1234.5678" -> "1234.60").
  char text[64];
  std::snprintf(text, sizeof text, "%.4e", variance);
  const double rounded = std::strtod(text, nullptr);
  const int exponent = std::atoi(std::strchr(text, 'e') + 1);
  if (exponent >= 5) return QString::fromLatin1(text).toUpper();
  std::snprintf(text, sizeof text, "%.2f", rounded);
  return QString::fromLatin1(text);
}

void TImageInfoToolForm::ClearInfo()
{
  for (QLabel* label : {WidthLabel, HeightLabel, ChannelsLabel, RawSizeLabel, MeanLabel, VarianceLabel, MSELabel,
                        PSNRLabel, IQLabel, IQHVSLabel, SSIMLabel, TimeLabel})
    label->clear();
  NoiseSigmaLabel->clear();
  GrayLine->clear();
  for (QLineSeries* series : ChannelSeries) series->clear();
  LeftAxis->setRange(0, 1);
}

void TImageInfoToolForm::UpdateInfo()
{
  if (!KvadraSystem || KvadraSystem->GetCurrentImageID() == -1) {
    ClearInfo();
    return;
  }
  cImage* image = KvadraSystem->GetImage(KvadraSystem->GetCurrentImageID());
  KV_ASSERT(image != nullptr, "CurrentImage != NULL");
  const int width = image->GetWidth();
  const int height = image->GetHeight();
  const int channels = image->GetChannelsCount();
  WidthLabel->setText(QString::number(width) + " px");
  HeightLabel->setText(QString::number(height) + " px");
  ChannelsLabel->setText(QString::number(channels));
  RawSizeLabel->setText(QString::number(qint64(width) * height * channels) + " bytes");

  MSELabel->setText(FromKernel(image->GetMeasureStr("MSE")));
  PSNRLabel->setText(FromKernel(image->GetMeasureStr("PSNR")));
  IQLabel->setText(FromKernel(image->GetMeasureStr("IQ")));
  // The indices computed in the background show "wait" until their completion updates us.
  IQHVSLabel->setText(FromKernel(image->GetMeasureStr("IQHVS")));
  SSIMLabel->setText(FromKernel(image->GetMeasureStr("SSIM")));
  TimeLabel->setText(FromKernel(image->GetMeasureStr("Time")));

  image->PrepareHistogram();
  const int* histogram = image->GetHistogram();
  const double pixels = double(width) * double(height);
  double mean = 0.0;
  int highest = 1;
  QList<QPointF> points;
  points.reserve(GreyLevels);
  for (int i = 0; i < GreyLevels; ++i) {
    if (pixels > 0) mean += i * (histogram[i] / pixels);
    points.append(QPointF(i, histogram[i]));
    highest = std::max(highest, histogram[i]);
  }
  GrayLine->replace(points);
  double variance = 0.0;
  for (int i = 0; i < GreyLevels; ++i)
    if (pixels > 0) variance += (i - mean) * (i - mean) * histogram[i] / pixels;
  MeanLabel->setText(QString::number(static_cast<long long>(std::trunc(mean))));
  VarianceLabel->setText(FormatVariance(variance));
  if (PageControl1->currentWidget() == NoiseSigmaLabel->parentWidget())
    NoiseSigmaLabel->setText(FromKernel(image->GetMeasureStr("Noise sigma")));
  else
    NoiseSigmaLabel->clear();

  const bool colour = channels == ColourChannels && image->GetChannelPropertiesCount() == ColourChannels;
  for (int channel = 0; channel < ColourChannels; ++channel) {
    if (!colour) {
      ChannelSeries[channel]->clear();
      continue;
    }
    const int* counts = image->GetChannelProperties(channel)->GetHistogram();
    QList<QPointF> line;
    line.reserve(GreyLevels);
    for (int i = 0; i < GreyLevels; ++i) {
      line.append(QPointF(i, counts[i]));
      highest = std::max(highest, counts[i]);
    }
    ChannelSeries[channel]->replace(line);
  }
  LeftAxis->setRange(0, highest * HeadroomAboveHighest);
}
