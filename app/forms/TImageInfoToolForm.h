#pragma once
// The Image info tool window: size, channels and raw size of the current picture, the mean
// and variance of its grey-level histogram, its measures against the origin, and the
// histogram as a chart; for a colour picture the chart adds each channel's histogram as a
// thin line of that channel's colour.
#include <QString>

#include "TBaseToolForm.h"

class QAreaSeries;
class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QTabWidget;
class QValueAxis;

class TImageInfoToolForm : public TBaseToolForm {
  Q_OBJECT
public:
  explicit TImageInfoToolForm(QWidget* parent = nullptr);
  ~TImageInfoToolForm() override;

  // Everything again from the current picture; cleared when there is none.
  void UpdateInfo();
  void ClearInfo();

  // Fixed point with 2 decimals of the value rounded to 5 significant digits.
  static QString FormatVariance(double variance);

  QTabWidget* PageControl1 = nullptr;
  QLabel* WidthLabel = nullptr;
  QLabel* HeightLabel = nullptr;
  QLabel* ChannelsLabel = nullptr;
  QLabel* RawSizeLabel = nullptr;
  QLabel* MeanLabel = nullptr;
  QLabel* VarianceLabel = nullptr;
  // Filled while the Statistics page is shown.
  QLabel* NoiseSigmaLabel = nullptr;
  QLabel* MSELabel = nullptr;
  QLabel* PSNRLabel = nullptr;
  QLabel* IQLabel = nullptr;
  QLabel* IQHVSLabel = nullptr;
  QLabel* SSIMLabel = nullptr;
  QLabel* TimeLabel = nullptr;
  QChartView* HistogramChart = nullptr;
  QAreaSeries* GraySeries = nullptr;
  // The counts of the area (GraySeries' upper line) and of the blue, green and red channels.
  QLineSeries* GrayLine = nullptr;
  static constexpr int ColourChannels = 3;
  QLineSeries* ChannelSeries[ColourChannels] = {nullptr, nullptr, nullptr};
  QValueAxis* BottomAxis = nullptr;
  QValueAxis* LeftAxis = nullptr;

private:
  // One step each: the pages of values, the chart with its series and axes, the chart's frame.
  QTabWidget* CreatePages(QWidget* client);
  QChart* CreateChart();
  void CreateSeries(QChart* chart);
  void CreateAxes(QChart* chart);
  QWidget* CreateChartView(QWidget* client, QChart* chart);
  // A caption and its value label in the grid's columns column and column + 1.
  QLabel* AddValue(QWidget* page, int row, const QString& caption, const QString& objectName, int column = 0);
};

// The Image info window, once created.
extern TImageInfoToolForm* ImageInfoToolForm;
