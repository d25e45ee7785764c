#pragma once
// The plane viewer's layout rules as plain functions of sizes, zoom and centre, so they can be
// checked without a window. Rectangles keep their right and bottom edges exclusive.
#include "sViewerInfo.h"

struct sViewerRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
};

namespace kvViewerGeometry {

inline constexpr int kZoomTable[] = {1, 2, 5, 10, 20, 30, 50, 75, 100, 150, 200, 300, 400, 600, 800, 1200, 1600};
inline constexpr int kMinZoom = 1;
inline constexpr int kMaxZoom = 1600;
inline constexpr int kRulerWidth = 15;      // thickness of each ruler strip
inline constexpr int kRulerMinExtent = 30;  // below this the rulers give their room back
inline constexpr float kLineStep = 20.0f;   // screen pixels per scroll line

int ClampZoom(int percent);
// Next larger / smaller table value; values between table entries move to the neighbouring entry.
int ZoomInStep(int zoom);
int ZoomOutStep(int zoom);

// Where the plane may be drawn and where the rulers go.
struct sLayout {
  sViewerRect Draw;
  bool RulersShown = false;
  sViewerRect VertStrip;  // left ruler
  sViewerRect HorzStrip;  // top ruler
};
sLayout DrawRect(int controlWidth, int controlHeight, bool vertBar, bool horzBar, bool rulers, int barThickness);

struct sBars {
  bool Vert = false;
  bool Horz = false;
};
// Which scroll bars the plane needs; a bar appearing can make the other one necessary.
sBars NeededBars(int controlWidth, int controlHeight, int planeWidth, int planeHeight, int zoom, bool vertEnabled,
                 bool horzEnabled, bool rulers, int barThickness);

// One axis of the view. Centre is the plane point at the middle of the draw area; it comes back
// clamped so the view stays inside the plane.
struct sAxis {
  float Centre = 0.0f;
  float Start = 0.0f;    // first visible plane coordinate
  float Visible = 0.0f;  // visible extent in plane units
  int ScreenPos = 0;
  int ScreenSize = 0;
};
sAxis PlaceAxis(int drawStart, int drawSize, int planeSize, int zoom, float centre);

// The whole view description; centreX and centreY are clamped in place.
sViewerInfo ViewInfo(const sViewerRect& draw, int planeWidth, int planeHeight, int zoom, float& centreX,
                     float& centreY);

// Scroll bar values in screen pixels (Windows style: the position runs 0 .. Maximum - Page + 1).
struct sScroll {
  int Maximum = 0;
  int Page = 0;
  int Position = 0;
};
sScroll ScrollValues(int planeSize, int zoom, float visible, float start);

// Largest zoom (any integer 1..1600) at which the whole plane fits the draw area without bars.
int FitZoom(int controlWidth, int controlHeight, int planeWidth, int planeHeight, bool rulers, int barThickness);

}  // namespace kvViewerGeometry
