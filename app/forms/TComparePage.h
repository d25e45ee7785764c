#pragma once
// The compare page: the current history picture (B) against another one (A, the origin unless
// the user picks another), side by side with linked viewers, as a difference picture, flickering
// between the two, or as a local quality map. The map is computed off the GUI thread and kept
// while neither picture nor setting changes.
#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "kvMeasures/cPictureComparison.h"

class QCheckBox;
class QComboBox;
class QElapsedTimer;
class QLabel;
class QPushButton;
class QSpinBox;
class QPainter;
class TPlaneViewer;
struct sViewerInfo;

class TComparePage : public QWidget {
  Q_OBJECT
public:
  enum eMode { cmSideBySide = 0, cmDifference = 1, cmFlicker = 2, cmQualityMap = 3 };

  explicit TComparePage(QWidget* parent = nullptr);
  ~TComparePage() override;

  // Re-reads the history; the pictures are redrawn (and the map recomputed) only while shown.
  void Refresh();
  // The history picture B is compared with.
  void SetPictureA(int id);
  int GetPictureA() const { return PictureA; }
  void SetMode(eMode mode);
  eMode GetMode() const;
  // The status bar's read-out of plane cell (x, y); empty off the pictures.
  QString ReadOut(int x, int y) const;
  // The view at 100 %: the pair, the difference, the picture flicker shows, or the map with its
  // colour bar. False when there is nothing to show yet.
  bool RenderView(cBMPSurface& out) const;
  bool IsMapReady() const { return MapReady; }
  const sQualityMap& GetQualityMap() const { return Map; }
  bool FlickerShowsA() const { return ShowingA; }
  // Space in flicker mode: a tap switches pictures, holding shows the other one until released.
  void FlickerKey(bool pressed);

  // Where the read-out goes (the main window's status bar).
  std::function<void(const QString&)> ShowPixelText;
  // The PNG file "Save view..." writes; empty: cancelled. Tests replace the dialog.
  std::function<QString()> AskFileName;
  // Reports a failed save.
  std::function<void(const QString&)> ShowError;

  QComboBox* CompareWithBox = nullptr;
  QComboBox* ModeBox = nullptr;
  QSpinBox* GainEdit = nullptr;
  QCheckBox* SignedBox = nullptr;
  QCheckBox* GreyBox = nullptr;
  QCheckBox* ErrorMapBox = nullptr;
  QPushButton* SaveViewButton = nullptr;
  QLabel* MessageLabel = nullptr;
  QLabel* TitleA = nullptr;
  QLabel* TitleB = nullptr;
  QLabel* ColourBar = nullptr;
  QWidget* ViewerArea = nullptr;
  TPlaneViewer* ViewerA = nullptr;
  TPlaneViewer* ViewerB = nullptr;

signals:
  // The quality map of the current pair is shown.
  void MapFinished();

protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct sMapJob;
  void CreateControls();
  QWidget* CreateControlPanel();
  QWidget* CreateViewers();
  void ConnectControls();
  void LinkViewers();
  void FillHistoryBox();
  void UpdateView();
  void UpdateTitles();
  void ModeChanged();
  void StartMap();
  void StopMap();
  void MapDone(const std::shared_ptr<sMapJob>& job);
  void SaveView();
  const cBMPSurface* SurfaceOf(int id) const;
  const cBMPSurface* PictureASurface() const;
  const cBMPSurface* PictureBSurface() const;
  bool Comparable() const;
  QString TitleOf(int id) const;
  void DrawB(QPainter& canvas, const sViewerInfo& info);

  int PictureA = 0;
  bool Dirty = true;
  bool Linking = false;
  bool ShowingA = false;
  std::unique_ptr<QElapsedTimer> SpaceHeld;
  cBMPSurface DifferencePicture;
  sDifferenceOptions DifferenceShown;
  bool DifferenceValid = false;
  // The map shown and the inputs it was made from (copies: the thread reads them).
  sQualityMap Map;
  cBMPSurface MapPicture;
  bool MapReady = false;
  std::shared_ptr<sMapJob> MapJob;
  std::thread MapThread;
  int MapGeneration = 0;
};
