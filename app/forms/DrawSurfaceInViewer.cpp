#include "DrawSurfaceInViewer.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "kvPixels/cBMPSurface.h"

QImage SurfaceBlockToImage(const cBMPSurface& surface, int sx, int sy, int sw, int sh)
{
  const int channels = surface.GetChannelsCount();
  // Clip to the surface: the texel rectangle may reach one cell past a fractional edge.
  sx = std::clamp(sx, 0, surface.GetWidth());
  sy = std::clamp(sy, 0, surface.GetHeight());
  sw = std::clamp(sw, 0, surface.GetWidth() - sx);
  sh = std::clamp(sh, 0, surface.GetHeight() - sy);
  if (sw == 0 || sh == 0) return QImage();
  QImage image(sw, sh, channels == 1 ? QImage::Format_Grayscale8 : QImage::Format_BGR888);
  const size_t rowBytes = size_t(sw) * size_t(channels);
  for (int y = 0; y < sh; ++y)
    std::memcpy(image.scanLine(y), surface.Row(sy + y) + size_t(sx) * size_t(channels), rowBytes);
  return image;
}

sViewerFrame MakeViewerFrame(const cBMPSurface* surface, const sViewerInfo& view)
{
  if (!surface || surface->GetWidth() <= 0 || surface->GetHeight() <= 0) return {};
  const double s = view.Zoom * 0.01;
  const int sx = int(std::floor(view.X0));
  const int sw = int(std::ceil(view.X0 + view.VisibleWidth)) - sx;
  const int sy = int(std::floor(view.Y0));
  const int sh = int(std::ceil(view.Y0 + view.VisibleHeight)) - sy;
  const double fx = view.X0 - sx;
  const double fy = view.Y0 - sy;
  const QRect destination(view.ScreenX - int(std::floor(fx * s + 0.5)), view.ScreenY - int(std::floor(fy * s + 0.5)),
                          int(std::floor(sw * s + 0.5)), int(std::floor(sh * s + 0.5)));
  return {SurfaceBlockToImage(*surface, sx, sy, sw, sh), destination};
}

void DrawViewerFrame(QPainter& canvas, const sViewerFrame& frame)
{
  if (frame.Block.isNull()) return;
  canvas.save();
  canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
  canvas.drawImage(frame.Destination, frame.Block);
  canvas.restore();
}

void DrawSurfaceInViewer(const cBMPSurface* surface, QPainter& canvas, const sViewerInfo& view)
{
  DrawViewerFrame(canvas, MakeViewerFrame(surface, view));
}
