#pragma once
// Shows a rectangular plane (an image or a spectrum) at a chosen zoom with optional scroll bars
// and rulers. It holds no pixels: on every repaint it works out which part of the plane is
// visible and where, and lets its owner draw that part into the back buffer.
#include <QColor>
#include <QImage>
#include <QWidget>

#include <functional>

#include "TPlaneViewerRulers.h"
#include "kvViewerGeometry.h"
#include "sViewerInfo.h"

class QScrollBar;

class TPlaneViewer : public QWidget {
  Q_OBJECT
public:
  enum tMode : unsigned char { mNone = 0, mView = 1, mPan = 2 };

  explicit TPlaneViewer(QWidget* parent = nullptr);
  ~TPlaneViewer() override;

  // Sizes of 1 and more show the plane centred and pannable; anything else shows the notice.
  void SetPlaneSize(int width, int height);
  int GetPlaneWidth() const { return FPlaneWidth; }
  int GetPlaneHeight() const { return FPlaneHeight; }
  bool IsPlaneSet() const { return FMode != mNone; }

  void ZoomIn();
  void ZoomOut();
  void Zoom(int percent);  // any integer, clamped to 1..1600
  int GetZoom() const { return FZoom; }

  // Plane point to show at the middle of the draw area (kept inside the plane).
  void SetLook(float x, float y);
  float GetLookX() const { return FCentreX; }
  float GetLookY() const { return FCentreY; }
  // Ruler units per plane unit; 0 and below are ignored.
  void SetTexelSize(float size);
  // 1 = look only, 2 = dragging pans; ignored while no plane is set.
  void SetMode(int mode);
  int GetMode() const { return FMode; }

  void EnableVertScrollBar(bool enable);
  void EnableHorzScrollBar(bool enable);
  void EnableRulers(bool enable);
  void SetBackColor(const QColor& colour);
  QColor GetBackColor() const { return FBackColor; }
  void SetLineColor(const QColor& colour);
  QColor GetLineColor() const { return FLineColor; }

  const sViewerInfo& GetInfo() const { return FInfo; }
  const sViewerRect& GetDrawRect() const { return FDrawRect; }
  bool IsVertBarNeeded() const { return FVertNeeded; }
  bool IsHorzBarNeeded() const { return FHorzNeeded; }
  const TPlaneViewerRulers& GetRulers() const { return FRulers; }
  QScrollBar* VertScrollBar() const { return FVertBar; }
  QScrollBar* HorzScrollBar() const { return FHorzBar; }

  QSize sizeHint() const override;

  // Draws the visible part of the plane (the painter is clipped to the draw area).
  std::function<void(QPainter&, const sViewerInfo&)> OnVisibleRectDraw;
  // A pan drag ended somewhere else than it began.
  std::function<void(TPlaneViewer*)> OnPositionChange;

public slots:
  void ZoomToFit();
  void ActualSize();
  // Draws the plane again through OnVisibleRectDraw (the owner's pixels changed).
  void Repaint() { Invalidate(); }

signals:
  void ZoomChanged(int percent);
  // The plane cell under the mouse; inside is false off the plane.
  void PlanePointHovered(bool inside, int x, int y);
  // The plane point at the middle of the draw area moved (pan, scroll, zoom or resize).
  void LookChanged(float x, float y);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;

private:
  void SetZoomValue(int zoom);
  void Resize();
  void TestScrollBars();
  void GetDrawRectNow();
  void UpdateInfo();
  void PlaceScrollBars();
  void Invalidate();
  void PaintBuffer();
  void DrawBoundingRects(QPainter& painter) const;
  void DrawZeroAxis();
  void XorCrosshair(int x, int y);
  void ScrollBy(float dx, float dy);
  void OnBarAction(Qt::Orientation orientation, int action);
  void UpdateCursor();
  void UpdateDescription();
  void ReportHover(int x, int y);

  QImage FBuffer;
  bool FBufferDirty = true;
  int FBarThickness = 16;
  int FPlaneWidth = 100;
  int FPlaneHeight = 100;
  int FZoom = 100;
  sViewerRect FDrawRect{0, 0, 100, 100};
  sViewerInfo FInfo;
  float FDownCentreX = 0.0f;
  float FDownCentreY = 0.0f;
  float FCentreX = 50.0f;
  float FCentreY = 50.0f;
  int FDownX = 0;
  int FDownY = 0;
  int FMouseX = 0;
  int FMouseY = 0;
  int FPrevMouseX = -1;
  int FPrevMouseY = -1;
  int FCandidateX = 0;
  int FCandidateY = 0;
  bool FVertEnabled = false;
  bool FHorzEnabled = false;
  bool FRulersEnabled = false;
  bool FVertNeeded = false;
  bool FHorzNeeded = false;
  bool FRulerDrag = false;
  bool FRulerMoved = false;  // the crosshair has a position to show
  bool FPressed = false;
  QColor FBackColor{128, 128, 128};
  QColor FLineColor{Qt::black};
  TPlaneViewerRulers FRulers;
  tMode FMode = mNone;
  QScrollBar* FVertBar = nullptr;
  QScrollBar* FHorzBar = nullptr;
  bool FHoverInside = false;
  int FHoverX = -1;
  int FHoverY = -1;
  int FWheelZoom = 0;        // wheel angle not yet turned into zoom steps
  float FReportedX = -1.0f;  // the look last reported by LookChanged
  float FReportedY = -1.0f;
};
