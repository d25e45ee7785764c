#pragma once
// The history table as a spreadsheet workbook (what the spreadsheet export writes): the
// title in C1, the bold, filled, bordered and centred header in row 3 from column B, the
// data from row 4 with the operation column left-aligned and fitted and the measure columns
// 15 wide and centred, the table's outline and the header's lower edge drawn heavier.
// Numbers are stored as numbers at full precision, shown as the History window shows them.
#include <string>

class cHistoryTable;

class cHistoryXlsxWriter {
public:
  // Never leaves a half-written file; throws std::runtime_error when it cannot write.
  static void Write(const cHistoryTable& table, const std::string& path);
};
