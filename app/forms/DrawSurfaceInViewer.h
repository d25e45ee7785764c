#pragma once
// Paints the visible whole texels of a surface where a plane viewer says they land, scaled
// without smoothing.
#include <QImage>

#include "sViewerInfo.h"

class QPainter;
class cBMPSurface;

// The block (sx, sy, sw, sh) of the surface as a top-down picture (grey or BGR).
QImage SurfaceBlockToImage(const cBMPSurface& surface, int sx, int sy, int sw, int sh);

// A copy of what a viewer showed: painted again while the surface is being rewritten by a run.
struct sViewerFrame {
  QImage Block;
  QRect Destination;
};
sViewerFrame MakeViewerFrame(const cBMPSurface* surface, const sViewerInfo& view);
void DrawViewerFrame(QPainter& canvas, const sViewerFrame& frame);
void DrawSurfaceInViewer(const cBMPSurface* surface, QPainter& canvas, const sViewerInfo& view);
