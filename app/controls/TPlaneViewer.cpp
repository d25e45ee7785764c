#include "TPlaneViewer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QWheelEvent>

#include <cmath>

using namespace kvViewerGeometry;

namespace {
const char* const kNotLoaded = "Image is not loaded";

// Frames a rectangle with exclusive right and bottom edges by 1-pixel lines.
void FrameRect(QPainter& p, int left, int top, int right, int bottom, const QColor& colour)
{
  if (right <= left || bottom <= top) return;
  p.fillRect(left, top, right - left, 1, colour);
  p.fillRect(left, bottom - 1, right - left, 1, colour);
  p.fillRect(left, top, 1, bottom - top, colour);
  p.fillRect(right - 1, top, 1, bottom - top, colour);
}
}  // namespace

TPlaneViewer::TPlaneViewer(QWidget* parent) : QWidget(parent)
{
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  FBarThickness = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  FVertBar = new QScrollBar(Qt::Vertical, this);
  FHorzBar = new QScrollBar(Qt::Horizontal, this);
  for (QScrollBar* bar : {FVertBar, FHorzBar}) {
    bar->hide();
    bar->setFocusPolicy(Qt::NoFocus);
    bar->setSingleStep(static_cast<int>(kLineStep));
  }
  connect(FVertBar, &QScrollBar::actionTriggered, this, [this](int action) { OnBarAction(Qt::Vertical, action); });
  connect(FHorzBar, &QScrollBar::actionTriggered, this, [this](int action) { OnBarAction(Qt::Horizontal, action); });
  UpdateDescription();
}

TPlaneViewer::~TPlaneViewer() = default;

QSize TPlaneViewer::sizeHint() const
{
  return {320, 240};
}

void TPlaneViewer::SetPlaneSize(int width, int height)
{
  if (width >= 1 && height >= 1) {
    FPlaneWidth = width;
    FPlaneHeight = height;
    FCentreX = std::floor(width * 0.5f);
    FCentreY = std::floor(height * 0.5f);
    FMode = mPan;
  } else {
    FMode = mNone;
  }
  FRulerDrag = false;
  UpdateCursor();
  Resize();
  Invalidate();
}

void TPlaneViewer::ZoomIn()
{
  SetZoomValue(ZoomInStep(FZoom));
}
void TPlaneViewer::ZoomOut()
{
  SetZoomValue(ZoomOutStep(FZoom));
}
void TPlaneViewer::Zoom(int percent)
{
  SetZoomValue(ClampZoom(percent));
}
void TPlaneViewer::ActualSize()
{
  SetZoomValue(100);
}

void TPlaneViewer::ZoomToFit()
{
  if (FMode == mNone) return;
  SetZoomValue(FitZoom(width(), height(), FPlaneWidth, FPlaneHeight, FRulersEnabled, FBarThickness));
}

void TPlaneViewer::SetZoomValue(int zoom)
{
  const bool changed = zoom != FZoom;
  FZoom = zoom;
  Resize();
  Invalidate();
  if (changed) emit ZoomChanged(FZoom);
}

void TPlaneViewer::SetLook(float x, float y)
{
  FCentreX = x;
  FCentreY = y;
  UpdateInfo();
  Invalidate();
}

void TPlaneViewer::SetTexelSize(float size)
{
  if (!FRulers.SetTexelSize(size)) return;
  UpdateInfo();
  Invalidate();
}

void TPlaneViewer::SetMode(int mode)
{
  if (FMode == mNone || (mode != mView && mode != mPan)) return;
  FMode = static_cast<tMode>(mode);
  UpdateCursor();
}

void TPlaneViewer::EnableVertScrollBar(bool enable)
{
  FVertEnabled = enable;
  Resize();
  Invalidate();
}

void TPlaneViewer::EnableHorzScrollBar(bool enable)
{
  FHorzEnabled = enable;
  Resize();
  Invalidate();
}

void TPlaneViewer::EnableRulers(bool enable)
{
  FRulersEnabled = enable;
  Resize();
  Invalidate();
}

void TPlaneViewer::SetBackColor(const QColor& colour)
{
  FBackColor = colour;
  Invalidate();
}

void TPlaneViewer::SetLineColor(const QColor& colour)
{
  FLineColor = colour;
  Invalidate();
}

void TPlaneViewer::UpdateCursor()
{
  if (FMode == mPan)
    setCursor(FPressed && !FRulerDrag ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
  else
    unsetCursor();
}

void TPlaneViewer::UpdateDescription()
{
  setAccessibleDescription(
      FMode == mNone ? QString::fromLatin1(kNotLoaded)
                     : QStringLiteral("Plane %1 x %2, zoom %3%").arg(FPlaneWidth).arg(FPlaneHeight).arg(FZoom));
}

void TPlaneViewer::GetDrawRectNow()
{
  const sLayout l = DrawRect(width(), height(), FVertNeeded && FVertEnabled, FHorzNeeded && FHorzEnabled,
                             FRulersEnabled, FBarThickness);
  FDrawRect = l.Draw;
  FRulers.SetLayout(l.RulersShown, l.VertStrip, l.HorzStrip);
}

void TPlaneViewer::TestScrollBars()
{
  FBarThickness = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  const sBars b = NeededBars(width(), height(), FPlaneWidth, FPlaneHeight, FZoom, FVertEnabled, FHorzEnabled,
                             FRulersEnabled, FBarThickness);
  FVertNeeded = b.Vert;
  FHorzNeeded = b.Horz;
}

void TPlaneViewer::Resize()
{
  if (FMode == mNone) {
    FVertNeeded = false;
    FHorzNeeded = false;
  } else {
    TestScrollBars();
  }
  GetDrawRectNow();
  UpdateInfo();
  PlaceScrollBars();
  UpdateDescription();
}

void TPlaneViewer::UpdateInfo()
{
  if (FMode == mNone) return;
  GetDrawRectNow();
  FInfo = ViewInfo(FDrawRect, FPlaneWidth, FPlaneHeight, FZoom, FCentreX, FCentreY);
  const auto apply = [](QScrollBar* bar, const sScroll& s) {
    const QSignalBlocker block(bar);
    bar->setRange(0, std::max(0, s.Maximum - s.Page + 1));
    bar->setPageStep(s.Page);
    bar->setValue(s.Position);
  };
  if (FVertNeeded && FVertEnabled) apply(FVertBar, ScrollValues(FPlaneHeight, FZoom, FInfo.VisibleHeight, FInfo.Y0));
  if (FHorzNeeded && FHorzEnabled) apply(FHorzBar, ScrollValues(FPlaneWidth, FZoom, FInfo.VisibleWidth, FInfo.X0));
  if (FRulersEnabled) FRulers.Update(FDrawRect, FInfo);
  if (FCentreX != FReportedX || FCentreY != FReportedY) {
    FReportedX = FCentreX;
    FReportedY = FCentreY;
    emit LookChanged(FCentreX, FCentreY);
  }
}

void TPlaneViewer::PlaceScrollBars()
{
  const bool vert = FVertNeeded && FVertEnabled;
  const bool horz = FHorzNeeded && FHorzEnabled;
  // The bars cover the separating lines at the draw area's right and bottom edges.
  if (vert)
    FVertBar->setGeometry(FDrawRect.Right, 1, FBarThickness, std::max(0, (horz ? FDrawRect.Bottom : height() - 1) - 1));
  if (horz)
    FHorzBar->setGeometry(1, FDrawRect.Bottom, std::max(0, (vert ? FDrawRect.Right : width() - 1) - 1), FBarThickness);
  FVertBar->setVisible(vert);
  FHorzBar->setVisible(horz);
}

void TPlaneViewer::Invalidate()
{
  FBufferDirty = true;
  update();
}

void TPlaneViewer::OnBarAction(Qt::Orientation orientation, int action)
{
  if (FMode == mNone) return;
  const bool vert = orientation == Qt::Vertical;
  QScrollBar* bar = vert ? FVertBar : FHorzBar;
  float& centre = vert ? FCentreY : FCentreX;
  const float line = kLineStep * 100.0f / static_cast<float>(FZoom);
  const float page = vert ? FInfo.VisibleHeight : FInfo.VisibleWidth;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: centre += line; break;
    case QAbstractSlider::SliderSingleStepSub: centre -= line; break;
    case QAbstractSlider::SliderPageStepAdd: centre += page; break;
    case QAbstractSlider::SliderPageStepSub: centre -= page; break;
    case QAbstractSlider::SliderMove:
    case QAbstractSlider::SliderToMinimum:
    case QAbstractSlider::SliderToMaximum: {
      const int drawSize = vert ? FDrawRect.Height() : FDrawRect.Width();
      centre = (static_cast<float>(drawSize) * 0.5f + static_cast<float>(bar->sliderPosition())) * 100.0f /
               static_cast<float>(FZoom);
      break;
    }
    default: return;
  }
  // Setting the bar's value here also overrides the position the bar was about to take.
  UpdateInfo();
  Invalidate();
}

void TPlaneViewer::ScrollBy(float dx, float dy)
{
  if (FMode == mNone) return;
  FCentreX += dx;
  FCentreY += dy;
  UpdateInfo();
  Invalidate();
}

void TPlaneViewer::resizeEvent(QResizeEvent* event)
{
  QWidget::resizeEvent(event);
  Resize();
  Invalidate();
}

void TPlaneViewer::PaintBuffer()
{
  const qreal dpr = devicePixelRatioF();
  const QSize pixels = size() * dpr;
  if (FBuffer.size() != pixels) {
    FBuffer = QImage(pixels, QImage::Format_RGB32);
    FBuffer.setDevicePixelRatio(dpr);
  }
  FBuffer.fill(FBackColor);
  QPainter p(&FBuffer);
  if (FMode != mNone) {
    if (OnVisibleRectDraw) {
      p.save();
      p.setClipRect(FDrawRect.Left, FDrawRect.Top, FDrawRect.Width(), FDrawRect.Height());
      OnVisibleRectDraw(p, FInfo);
      p.restore();
    }
    if (FRulersEnabled) FRulers.Draw(p);
    DrawBoundingRects(p);
  } else {
    const QString text = QString::fromLatin1(kNotLoaded);
    const QFontMetrics fm(p.font());
    const int tw = fm.horizontalAdvance(text);
    const int th = fm.height();
    if (tw < width() && th < height()) {
      p.setPen(Qt::black);
      p.drawText(width() / 2 - tw / 2, height() / 2 - th / 2 + fm.ascent(), text);
    }
    FrameRect(p, 0, 0, width(), height(), FLineColor);
  }
  p.end();
  FBufferDirty = false;
  FPrevMouseX = -1;
  FPrevMouseY = -1;
  // A repaint during a ruler drag keeps the crosshair.
  if (FRulerDrag && FRulerMoved) DrawZeroAxis();
}

void TPlaneViewer::DrawBoundingRects(QPainter& p) const
{
  FrameRect(p, FInfo.ScreenX - 1, FInfo.ScreenY - 1, FInfo.ScreenX + FInfo.ScreenWidth + 1,
            FInfo.ScreenY + FInfo.ScreenHeight + 1, FLineColor);
  FrameRect(p, 0, 0, width(), height(), FLineColor);
  p.fillRect(FDrawRect.Right, 0, 1, height(), FLineColor);
  p.fillRect(0, FDrawRect.Bottom, width(), 1, FLineColor);
}

void TPlaneViewer::paintEvent(QPaintEvent*)
{
  if (FBufferDirty || FBuffer.size() != size() * devicePixelRatioF()) PaintBuffer();
  QPainter p(this);
  p.drawImage(0, 0, FBuffer);
}

void TPlaneViewer::XorCrosshair(int x, int y)
{
  const auto& vs = FRulers.VertStrip();
  const auto& hs = FRulers.HorzStrip();
  QPainter p(&FBuffer);
  // Drawing the same dotted lines twice restores the buffer, so only the crosshair is redrawn.
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p.setPen(QPen(Qt::white, 0, Qt::DotLine));
  p.drawLine(vs.Left, y, FDrawRect.Right - 1, y);
  p.drawLine(x, hs.Top, x, FDrawRect.Bottom - 1);
}

void TPlaneViewer::DrawZeroAxis()
{
  // A pending repaint draws the crosshair afresh.
  if (!FRulersEnabled || FBufferDirty || FBuffer.isNull()) return;
  if (FPrevMouseX >= 0) XorCrosshair(FPrevMouseX, FPrevMouseY);
  XorCrosshair(FMouseX, FMouseY);
  FPrevMouseX = FMouseX;
  FPrevMouseY = FMouseY;
}

void TPlaneViewer::mousePressEvent(QMouseEvent* event)
{
  if (FMode == mNone || event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  const QPoint pos = event->position().toPoint();
  FPressed = true;
  FDownX = pos.x();
  FDownY = pos.y();
  FDownCentreX = FCentreX;
  FDownCentreY = FCentreY;
  if (FRulersEnabled && FRulers.InCorner(pos.x(), pos.y())) {
    FRulerDrag = true;
    FRulerMoved = false;
    // Releasing without ever entering the plane area keeps the origin where it was.
    FCandidateX = FRulers.GetOriginX();
    FCandidateY = FRulers.GetOriginY();
  }
  UpdateCursor();
}

void TPlaneViewer::mouseMoveEvent(QMouseEvent* event)
{
  if (FMode == mNone) return QWidget::mouseMoveEvent(event);
  const QPoint pos = event->position().toPoint();
  ReportHover(pos.x(), pos.y());
  if (!FPressed || !(event->buttons() & Qt::LeftButton) || !FDrawRect.Contains(pos.x(), pos.y())) return;
  FMouseX = pos.x();
  FMouseY = pos.y();
  const float dx = static_cast<float>(FMouseX - FDownX);
  const float dy = static_cast<float>(FMouseY - FDownY);
  if (!FRulerDrag) {
    if (FMode != mPan) return;
    FCentreX = FDownCentreX - dx * 100.0f / static_cast<float>(FZoom);
    FCentreY = FDownCentreY - dy * 100.0f / static_cast<float>(FZoom);
    UpdateInfo();
    Invalidate();
  } else {
    const float scale = FRulers.GetScale();
    FCandidateX = static_cast<int>(std::floor(static_cast<float>(FMouseX - FInfo.ScreenX + 1) / scale + FInfo.X0));
    FCandidateY = static_cast<int>(std::floor(static_cast<float>(FMouseY - FInfo.ScreenY + 1) / scale + FInfo.Y0));
    FRulerMoved = true;
    DrawZeroAxis();
    update();
  }
}

void TPlaneViewer::mouseReleaseEvent(QMouseEvent* event)
{
  if (FMode == mNone || event->button() != Qt::LeftButton || !FPressed) return QWidget::mouseReleaseEvent(event);
  FPressed = false;
  const QPoint pos = event->position().toPoint();
  if (FRulerDrag) {
    FRulers.SetOrigin(FCandidateX, FCandidateY);
    FRulerDrag = false;
    UpdateInfo();
    Invalidate();
  } else if (OnPositionChange && (pos.x() != FDownX || pos.y() != FDownY)) {
    OnPositionChange(this);
  }
  FPrevMouseX = -1;
  FPrevMouseY = -1;
  UpdateCursor();
}

void TPlaneViewer::ReportHover(int x, int y)
{
  bool inside = false;
  int px = -1, py = -1;
  const sViewerRect screen{FInfo.ScreenX, FInfo.ScreenY, FInfo.ScreenX + FInfo.ScreenWidth,
                           FInfo.ScreenY + FInfo.ScreenHeight};
  if (FMode != mNone && screen.Contains(x, y) && FDrawRect.Contains(x, y)) {
    const float scale = static_cast<float>(FZoom) * 0.01f;
    px = static_cast<int>(std::floor(static_cast<float>(x - FInfo.ScreenX) / scale + FInfo.X0));
    py = static_cast<int>(std::floor(static_cast<float>(y - FInfo.ScreenY) / scale + FInfo.Y0));
    inside = px >= 0 && px < FPlaneWidth && py >= 0 && py < FPlaneHeight;
    if (!inside) px = py = -1;
  }
  if (inside == FHoverInside && px == FHoverX && py == FHoverY) return;
  FHoverInside = inside;
  FHoverX = px;
  FHoverY = py;
  emit PlanePointHovered(inside, px, py);
}

void TPlaneViewer::leaveEvent(QEvent* event)
{
  QWidget::leaveEvent(event);
  ReportHover(-1, -1);
}

void TPlaneViewer::wheelEvent(QWheelEvent* event)
{
  if (FMode == mNone) return QWidget::wheelEvent(event);
  const QPoint angle = event->angleDelta();
  if (event->modifiers() & Qt::ControlModifier) {
    // Whole notches only, so fine-grained touchpads do not race through the table.
    FWheelZoom += angle.y() != 0 ? angle.y() : angle.x();
    while (FWheelZoom >= 120) {
      FWheelZoom -= 120;
      ZoomIn();
    }
    while (FWheelZoom <= -120) {
      FWheelZoom += 120;
      ZoomOut();
    }
    event->accept();
    return;
  }
  const float pixelsPerNotch = kLineStep * static_cast<float>(QApplication::wheelScrollLines()) / 120.0f;
  const float toPlane = 100.0f / static_cast<float>(FZoom);
  float dx = -static_cast<float>(angle.x()) * pixelsPerNotch * toPlane;
  float dy = -static_cast<float>(angle.y()) * pixelsPerNotch * toPlane;
  if ((event->modifiers() & Qt::ShiftModifier) && angle.x() == 0) std::swap(dx, dy);
  ScrollBy(dx, dy);
  event->accept();
}

void TPlaneViewer::keyPressEvent(QKeyEvent* event)
{
  if (FMode == mNone) return QWidget::keyPressEvent(event);
  const float line = kLineStep * 100.0f / static_cast<float>(FZoom);
  switch (event->key()) {
    case Qt::Key_Left: ScrollBy(-line, 0.0f); break;
    case Qt::Key_Right: ScrollBy(line, 0.0f); break;
    case Qt::Key_Up: ScrollBy(0.0f, -line); break;
    case Qt::Key_Down: ScrollBy(0.0f, line); break;
    case Qt::Key_PageUp: ScrollBy(0.0f, -FInfo.VisibleHeight); break;
    case Qt::Key_PageDown: ScrollBy(0.0f, FInfo.VisibleHeight); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: ZoomIn(); break;
    case Qt::Key_Minus: ZoomOut(); break;
    default: return QWidget::keyPressEvent(event);
  }
  event->accept();
}
