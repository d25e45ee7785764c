#pragma once
// Paints the visible whole texels of a surface where a plane viewer says they land, scaled
// without smoothing.
#include <QImage>

#include "sViewerInfo.h"

class QPainter;
class cBMPSurface;

// The block (sx, sy, sw, sh) of the surface as a top-down picture (grey or BGR).
QImage SurfaceBlockToImage(const cBMPSurface& surface, int sx, int sy, int sw, int sh);
void DrawSurfaceInViewer(const cBMPSurface* surface, QPainter& canvas, const sViewerInfo& view);
