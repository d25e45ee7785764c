#include "kvViewerGeometry.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace kvViewerGeometry {

int ClampZoom(int percent)
{
  return std::clamp(percent, kMinZoom, kMaxZoom);
}

int ZoomInStep(int zoom)
{
  const int n = static_cast<int>(std::size(kZoomTable));
  for (int i = 0; i + 1 < n; ++i)
    if (kZoomTable[i] <= zoom && zoom < kZoomTable[i + 1]) return kZoomTable[i + 1];
  return zoom;
}

int ZoomOutStep(int zoom)
{
  const int n = static_cast<int>(std::size(kZoomTable));
  for (int i = 1; i < n; ++i)
    if (kZoomTable[i - 1] < zoom && zoom <= kZoomTable[i]) return kZoomTable[i - 1];
  return zoom;
}

sLayout DrawRect(int controlWidth, int controlHeight, bool vertBar, bool horzBar, bool rulers, int barThickness)
{
  sLayout l;
  l.Draw = {1, 1, controlWidth - 1, controlHeight - 1};
  if (vertBar) l.Draw.Right -= barThickness;
  if (horzBar) l.Draw.Bottom -= barThickness;
  if (rulers && l.Draw.Width() >= kRulerMinExtent && l.Draw.Height() >= kRulerMinExtent) {
    const sViewerRect d = l.Draw;
    l.VertStrip = {d.Left, d.Top + kRulerWidth - 1, d.Left + kRulerWidth, d.Bottom};
    l.HorzStrip = {d.Left + kRulerWidth - 1, d.Top, d.Right, d.Top + kRulerWidth};
    l.Draw = {d.Left + kRulerWidth, d.Top + kRulerWidth, d.Right, d.Bottom};
    l.RulersShown = true;
  }
  return l;
}

static float VisibleExtent(int drawSize, int zoom)
{
  return static_cast<float>(drawSize) * 100.0f / static_cast<float>(zoom);
}

sBars NeededBars(int controlWidth, int controlHeight, int planeWidth, int planeHeight, int zoom, bool vertEnabled,
                 bool horzEnabled, bool rulers, int barThickness)
{
  sBars b;
  const sViewerRect d = DrawRect(controlWidth, controlHeight, false, false, rulers, barThickness).Draw;
  float visW = VisibleExtent(d.Width(), zoom);
  const float visH = VisibleExtent(d.Height(), zoom);
  if (vertEnabled && static_cast<float>(planeHeight) > visH) b.Vert = true;
  if (horzEnabled) {
    if (b.Vert) {
      visW = VisibleExtent(d.Width() - barThickness, zoom);
      b.Horz = static_cast<float>(planeWidth) > visW;
    } else if (static_cast<float>(planeWidth) > visW) {
      b.Horz = true;
      const float lowerH = VisibleExtent(d.Height() - barThickness, zoom);
      if (vertEnabled && static_cast<float>(planeHeight) > lowerH) b.Vert = true;
    }
  }
  return b;
}

sAxis PlaceAxis(int drawStart, int drawSize, int planeSize, int zoom, float centre)
{
  sAxis a;
  const float visible = VisibleExtent(drawSize, zoom);
  const float plane = static_cast<float>(planeSize);
  if (plane >= visible) {
    const float half = visible * 0.5f;
    float x0 = centre - half;
    if (x0 < 0.0f) {
      centre = half;
      x0 = 0.0f;
    }
    float x1 = half + centre;
    if (x1 > plane) {
      x1 = plane;
      centre = x1 - half;
      x0 = centre - half;
    }
    a.Centre = centre;
    a.Start = x0;
    a.Visible = x1 - x0;
    a.ScreenPos = drawStart;
    a.ScreenSize = drawSize;
  } else {
    // The plane is narrower than the view: centre it at whole screen pixels.
    a.Centre = static_cast<float>(planeSize / 2);
    const long long shown = static_cast<long long>(planeSize) * zoom / 100;
    const double middle = drawSize * 0.5 + drawStart;
    const int left = static_cast<int>(std::floor(middle - shown * 0.5 + 0.5));
    const int right = static_cast<int>(std::floor(shown * 0.5 + middle + 0.5));
    a.ScreenPos = left;
    a.ScreenSize = right - left;
    a.Start = 0.0f;
    a.Visible = plane;
  }
  return a;
}

sViewerInfo ViewInfo(const sViewerRect& draw, int planeWidth, int planeHeight, int zoom, float& centreX, float& centreY)
{
  const sAxis ax = PlaceAxis(draw.Left, draw.Width(), planeWidth, zoom, centreX);
  const sAxis ay = PlaceAxis(draw.Top, draw.Height(), planeHeight, zoom, centreY);
  centreX = ax.Centre;
  centreY = ay.Centre;
  sViewerInfo i;
  i.PlaneWidth = planeWidth;
  i.PlaneHeight = planeHeight;
  i.Zoom = zoom;
  i.X0 = ax.Start;
  i.Y0 = ay.Start;
  i.VisibleWidth = ax.Visible;
  i.VisibleHeight = ay.Visible;
  i.ScreenX = ax.ScreenPos;
  i.ScreenY = ay.ScreenPos;
  i.ScreenWidth = ax.ScreenSize;
  i.ScreenHeight = ay.ScreenSize;
  i.TexelLeft = static_cast<int>(std::floor(i.X0));
  i.TexelTop = static_cast<int>(std::floor(i.Y0));
  i.TexelRight = static_cast<int>(std::ceil(i.X0 + i.VisibleWidth));
  i.TexelBottom = static_cast<int>(std::ceil(i.Y0 + i.VisibleHeight));
  return i;
}

sScroll ScrollValues(int planeSize, int zoom, float visible, float start)
{
  sScroll s;
  s.Maximum = static_cast<int>(std::floor(static_cast<double>(planeSize) * zoom / 100.0 + 0.5));
  s.Page = static_cast<int>(std::floor(zoom * static_cast<double>(visible) * 0.01 + 0.5)) + 1;
  s.Position = static_cast<int>(std::floor(zoom * static_cast<double>(start) * 0.01 + 0.5));
  return s;
}

int FitZoom(int controlWidth, int controlHeight, int planeWidth, int planeHeight, bool rulers, int barThickness)
{
  if (planeWidth < 1 || planeHeight < 1) return kMinZoom;
  const sViewerRect d = DrawRect(controlWidth, controlHeight, false, false, rulers, barThickness).Draw;
  if (d.Width() <= 0 || d.Height() <= 0) return kMinZoom;
  const long long zx = 100LL * d.Width() / planeWidth;
  const long long zy = 100LL * d.Height() / planeHeight;
  int z = static_cast<int>(std::clamp<long long>(std::min(zx, zy), kMinZoom, kMaxZoom));
  // The viewer compares in float; step down should rounding there disagree with the integers.
  auto fits = [&](int zoom) {
    return !(static_cast<float>(planeWidth) > VisibleExtent(d.Width(), zoom)) &&
           !(static_cast<float>(planeHeight) > VisibleExtent(d.Height(), zoom));
  };
  while (z > kMinZoom && !fits(z)) --z;
  return z;
}

}  // namespace kvViewerGeometry
