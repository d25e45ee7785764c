#pragma once
// The history as the History window shows it: a title, the headers ("Operation" and the
// visible measures in their fixed order) and one row per history picture, each cell with its
// display text and, where the text shows a number, that number at full precision. The
// exports and the grid are all built from it, so they show the same thing. Texts are UTF-8.
#include <string>
#include <vector>

class cKvadraSystem;
class cuGlobalParameters;

struct sHistoryCell {
  std::string Text;
  bool IsNumber = false;
  double Number = 0.0;
  // Decimals the number is exact to (run times: microseconds); -1: full precision.
  int Decimals = -1;
  // What a spreadsheet cell holds when the text is no number: "INF" for an infinite value
  // (without the unit the window adds), otherwise the text itself.
  std::string SheetText() const;
};

class cHistoryTable {
public:
  // Reads the history; asking for a measure text starts a missing index computation.
  static cHistoryTable FromSystem(cKvadraSystem& system, const cuGlobalParameters& params);
  // "PSNR", "MSE", "IQ", "IQHVS", "SSIM", "Time": those whose flag is set, in this order.
  static std::vector<std::string> VisibleMeasures(const cuGlobalParameters& params);
  // The file's name in the origin's title: "Load 'camera.bmp'" gives "camera.bmp"; a title
  // without a quote is taken whole.
  static std::string ExportTitle(const std::string& originTitle);
  // Kernel text (8-bit, local encoding) as UTF-8.
  static std::string ToUtf8(const std::string& text);

  std::string Title;
  std::vector<std::string> Header;
  // A spreadsheet number format per column that shows a number as the window does.
  std::vector<std::string> NumberFormats;
  // Row i is history picture i; row 0 is the origin.
  std::vector<std::vector<sHistoryCell>> Rows;

  // Rows after the origin's: the data rows of the documents and spreadsheets.
  std::vector<std::vector<sHistoryCell>> DataRows() const;
  // Some measure still shows "wait".
  bool HasPending() const;
  // Header and every row, tab-separated, numbers at full precision with a point: pastes
  // into a spreadsheet as numbers.
  std::string TabSeparated() const;
};
