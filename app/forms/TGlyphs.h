#pragma once
// The action glyphs: the desktop's icon theme where it has them, else small pictures of ours.
#include <QIcon>

class TGlyphs {
public:
  enum eGlyph { gOpen, gSave, gPreferences, gUndo, gZoomIn, gZoomOut, gSetOrigin, gAnalyzer, gClose };
  static QIcon Get(eGlyph glyph);
};
