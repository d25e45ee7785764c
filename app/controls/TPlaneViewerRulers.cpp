#include "TPlaneViewerRulers.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr int kNiceSteps[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
constexpr int kStrip = kvViewerGeometry::kRulerWidth;
constexpr float kLabelSpacing = 50.0f;  // screen pixels wanted between labelled ticks
constexpr int kMinorTicksPerStep = 10;

// Minor ticks: every tenth of a step, the middle one longer; the one on the major tick is left out.
int MinorTickStart(int counter)
{
  if (counter == 0) return kStrip;
  return counter == 5 ? 9 : 11;
}

// Calls draw(position, from) for each minor tick from first up to end that is drawn, from being
// how far across the strip the tick starts.
template <class Draw>
void ForEachMinorTick(float first, float end, float pixelsPerStep, Draw draw)
{
  const float minor = pixelsPerStep * 0.1f;  // a tenth of a step
  int counter = 0;
  for (float p = first; p < end; p += minor, counter = (counter + 1) % kMinorTicksPerStep) {
    const int from = MinorTickStart(counter);
    if (from >= kStrip) continue;
    draw(static_cast<int>(std::floor(p)), from);
  }
}
}  // namespace

void TPlaneViewerRulers::SetLayout(bool shown, const sViewerRect& vertStrip, const sViewerRect& horzStrip)
{
  FShown = shown;
  if (shown) {
    FVertStrip = vertStrip;
    FHorzStrip = horzStrip;
  }
}

bool TPlaneViewerRulers::InCorner(int x, int y) const
{
  return FShown && x >= FVertStrip.Left && x < FVertStrip.Right && y >= FHorzStrip.Top && y < FHorzStrip.Bottom;
}

bool TPlaneViewerRulers::SetTexelSize(float size)
{
  if (!(size > 0.0f) || !std::isfinite(size) || size == FTexelSize) return false;
  FTexelSize = size;
  FUnitsPerPixel = FTexelSize / FScale;
  return true;
}

void TPlaneViewerRulers::SetOrigin(int x, int y)
{
  FOriginX = x;
  FOriginY = y;
}

QString TPlaneViewerRulers::Label(int k) const
{
  QString text = QString::number(std::abs(static_cast<long long>(k) * FLabelStep));
  if (FExponent != 0) text += QLatin1Char('e') + QString::number(FExponent);
  return text;
}

void TPlaneViewerRulers::Update(const sViewerRect& draw, const sViewerInfo& info)
{
  FScale = static_cast<float>(info.Zoom) * 0.01f;
  FUnitsPerPixel = FTexelSize / FScale;
  const float shownW = static_cast<float>(info.PlaneWidth) * FScale;
  const float shownH = static_cast<float>(info.PlaneHeight) * FScale;
  const int nx =
      static_cast<float>(draw.Width()) >= shownW ? draw.Width() : static_cast<int>(std::floor(shownW + 0.5f));
  const int ny =
      static_cast<float>(draw.Height()) >= shownH ? draw.Height() : static_cast<int>(std::floor(shownH + 0.5f));
  const int n = std::max(nx, ny);
  // A control squeezed to nothing has no ruler length to divide; keep the last steps.
  if (n > 0) {
    float span = static_cast<float>(n) * FUnitsPerPixel;
    FExponent = 0;
    while (span < 1.0f) {
      span *= 1000.0f;
      FExponent -= 3;
    }
    while (span >= 9900.0f) {
      span *= 0.001f;
      FExponent += 3;
    }
    FLabelStep = static_cast<int>(std::ceil(kLabelSpacing * span / static_cast<float>(n)));
    for (int nice : kNiceSteps)
      if (nice >= FLabelStep) {
        FLabelStep = nice;
        break;
      }
    FPixelsPerStep = static_cast<float>(FLabelStep) * static_cast<float>(n) / span;
  }
  FOriginScreenX =
      (static_cast<float>(FOriginX) - info.X0) * FScale + static_cast<float>(info.ScreenX - FHorzStrip.Left - 1);
  FOriginScreenY =
      (static_cast<float>(FOriginY) - info.Y0) * FScale + static_cast<float>(info.ScreenY - FVertStrip.Top - 1);
  FPlaneScreen = {info.ScreenX, info.ScreenY, info.ScreenX + info.ScreenWidth, info.ScreenY + info.ScreenHeight};
}

void TPlaneViewerRulers::Draw(QPainter& painter) const
{
  if (!FShown || !(FPixelsPerStep > 0.0f) || !std::isfinite(FPixelsPerStep)) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(7);
  font.setFixedPitch(false);
  font.setStyleHint(QFont::SansSerif);
  painter.setFont(font);
  const QFontMetrics fm(font, painter.device());
  const QRect vert(FVertStrip.Left, FVertStrip.Top, FVertStrip.Width(), FVertStrip.Height());
  const QRect horz(FHorzStrip.Left, FHorzStrip.Top, FHorzStrip.Width(), FHorzStrip.Height());
  painter.fillRect(vert, Qt::white);
  painter.fillRect(horz, Qt::white);
  painter.setPen(QPen(Qt::black, 0, Qt::SolidLine));
  if (FTopVisible) {
    painter.setClipRect(horz);
    DrawTop(painter, fm.ascent());
  }
  if (FLeftVisible) {
    painter.setClipRect(vert);
    DrawLeft(painter, fm.height(), fm.ascent());
  }
  painter.setClipping(false);
  painter.fillRect(QRect(FVertStrip.Left, FHorzStrip.Top, FVertStrip.Width(), FHorzStrip.Height()), Qt::white);
  painter.drawLine(FVertStrip.Left, FHorzStrip.Bottom - 1, FHorzStrip.Right - 1, FHorzStrip.Bottom - 1);
  painter.drawLine(FVertStrip.Right - 1, FHorzStrip.Top, FVertStrip.Right - 1, FVertStrip.Bottom - 1);
  painter.restore();
}

void TPlaneViewerRulers::DrawTop(QPainter& painter, int ascent) const
{
  const int t = FHorzStrip.Top;
  int k = static_cast<int>(-std::floor(FOriginScreenX / FPixelsPerStep) - 1.0f);
  const float first = static_cast<float>(k) * FPixelsPerStep + FOriginScreenX + static_cast<float>(FHorzStrip.Left + 1);
  for (float p = first; p < static_cast<float>(FHorzStrip.Right); p += FPixelsPerStep, ++k) {
    const int x = static_cast<int>(std::floor(p));
    painter.drawLine(x, t, x, t + kStrip - 1);
    painter.drawText(x + 2, t - 1 + ascent, Label(k));
  }
  ForEachMinorTick(first, static_cast<float>(FHorzStrip.Right), FPixelsPerStep,
                   [&](int x, int from) { painter.drawLine(x, t + from, x, t + kStrip - 1); });
}

void TPlaneViewerRulers::DrawLeft(QPainter& painter, int fontHeight, int fontAscent) const
{
  const int l = FVertStrip.Left;
  int k = static_cast<int>(-std::floor(FOriginScreenY / FPixelsPerStep) - 1.0f);
  const float first = static_cast<float>(k) * FPixelsPerStep + FOriginScreenY + static_cast<float>(FVertStrip.Top + 1);
  for (float p = first; p < static_cast<float>(FVertStrip.Bottom); p += FPixelsPerStep, ++k) {
    const int y = static_cast<int>(std::floor(p));
    painter.drawLine(l, y, l + kStrip - 1, y);
    // Labels run down the strip one character per line.
    const QString label = Label(k);
    for (int i = 0; i < label.size(); ++i)
      painter.drawText(l + 1, y + 1 + i * fontHeight + fontAscent, label.mid(i, 1));
  }
  ForEachMinorTick(first, static_cast<float>(FVertStrip.Bottom), FPixelsPerStep,
                   [&](int y, int from) { painter.drawLine(l + from, y, l + kStrip - 1, y); });
}
