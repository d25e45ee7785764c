#pragma once
// The plane viewer's top and left rulers: label step, exponent and origin follow the zoom and
// the texel size so that labels stay about 50 pixels apart and short.
#include <QString>

#include "kvViewerGeometry.h"

class QPainter;

class TPlaneViewerRulers {
public:
  // Strips as laid out by the viewer; shown is false when the draw area is too small.
  void SetLayout(bool shown, const sViewerRect& vertStrip, const sViewerRect& horzStrip);
  void Update(const sViewerRect& draw, const sViewerInfo& info);
  void Draw(QPainter& painter) const;

  // Ignores sizes of 0 and below; returns whether the size changed.
  bool SetTexelSize(float size);
  float GetTexelSize() const { return FTexelSize; }

  bool IsShown() const { return FShown; }
  const sViewerRect& VertStrip() const { return FVertStrip; }
  const sViewerRect& HorzStrip() const { return FHorzStrip; }
  // The square where both strips meet; dragging from it moves the origin.
  bool InCorner(int x, int y) const;

  int GetLabelStep() const { return FLabelStep; }
  float GetPixelsPerStep() const { return FPixelsPerStep; }
  int GetExponent() const { return FExponent; }
  // Text of the k-th labelled tick.
  QString Label(int k) const;

  void SetOrigin(int x, int y);
  int GetOriginX() const { return FOriginX; }
  int GetOriginY() const { return FOriginY; }
  float GetOriginScreenX() const { return FOriginScreenX; }
  float GetOriginScreenY() const { return FOriginScreenY; }
  float GetScale() const { return FScale; }

private:
  void DrawTop(QPainter& painter, int ascent) const;
  void DrawLeft(QPainter& painter, int fontHeight, int fontAscent) const;

  bool FTopVisible = true;
  bool FLeftVisible = true;
  bool FShown = true;
  sViewerRect FVertStrip;
  sViewerRect FHorzStrip;
  float FScale = 1.0f;
  float FTexelSize = 1.0f;
  float FUnitsPerPixel = 1.0f;
  int FLabelStep = 1;
  float FPixelsPerStep = 50.0f;
  int FExponent = 0;
  int FOriginX = 0;
  int FOriginY = 0;
  float FOriginScreenX = 0.0f;
  float FOriginScreenY = 0.0f;
  sViewerRect FPlaneScreen;
};
