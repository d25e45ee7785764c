#pragma once
// The history table as one self-contained HTML page: the title right-aligned above a table
// whose first column takes a third of the width, a bold header row and centred cells.
#include <string>

class cHistoryTable;

class cHistoryHtmlWriter {
public:
  static std::string Html(const cHistoryTable& table);
  // Never leaves a half-written file; throws std::runtime_error when it cannot write.
  static void Write(const cHistoryTable& table, const std::string& path);
  static std::string Escape(const std::string& text);
};
