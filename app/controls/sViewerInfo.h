#pragma once
// What the plane viewer shows: handed to its owner on every repaint so the owner can draw the
// visible part of the plane without knowing the viewer's layout rules.

struct sViewerInfo {
  int PlaneWidth = 0;
  int PlaneHeight = 0;
  int Zoom = 100;  // screen pixels per 100 plane units
  // Whole plane cells touched by the view (right and bottom exclusive).
  int TexelLeft = 0;
  int TexelTop = 0;
  int TexelRight = 0;
  int TexelBottom = 0;
  // Plane coordinates of the top-left visible point.
  float X0 = 0.0f;
  float Y0 = 0.0f;
  // Extent of the visible part in plane units.
  float VisibleWidth = 0.0f;
  float VisibleHeight = 0.0f;
  // Part of the control covered by the visible part of the plane.
  int ScreenX = 0;
  int ScreenY = 0;
  int ScreenWidth = 0;
  int ScreenHeight = 0;
};
