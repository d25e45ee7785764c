#include "cHistoryXlsxWriter.h"

#include <xlsxwriter.h>

#include <QString>
#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>

#include "cHistoryTable.h"
#include "cResultTable.h"

namespace {
// The spreadsheet's default palette colour 20, the header fill.
constexpr lxw_color_t HeaderFill = 0xCCFFFF;
constexpr int FirstRow = 2;     // row 3
constexpr int FirstColumn = 1;  // column B
constexpr double MeasureWidth = 15;

// Formats are workbook objects; one per combination of edges, role and number format.
class cFormats {
public:
  explicit cFormats(lxw_workbook* book) : Book(book) {}
  lxw_format* Get(bool header, bool firstColumn, bool lastColumn, bool lastRow, const std::string& numberFormat)
  {
    const std::string key = std::string(1, char('0' + header)) + char('0' + firstColumn) + char('0' + lastColumn) +
                            char('0' + lastRow) + numberFormat;
    auto found = Made.find(key);
    if (found != Made.end()) return found->second;
    lxw_format* f = workbook_add_format(Book);
    format_set_border(f, LXW_BORDER_THIN);
    if (header) {
      format_set_bold(f);
      format_set_pattern(f, LXW_PATTERN_SOLID);
      format_set_bg_color(f, HeaderFill);
      format_set_top(f, LXW_BORDER_MEDIUM);
      format_set_bottom(f, LXW_BORDER_MEDIUM);
    }
    if (lastRow) format_set_bottom(f, LXW_BORDER_MEDIUM);
    if (firstColumn) format_set_left(f, LXW_BORDER_MEDIUM);
    if (lastColumn) format_set_right(f, LXW_BORDER_MEDIUM);
    format_set_align(f, firstColumn && !header ? LXW_ALIGN_LEFT : LXW_ALIGN_CENTER);
    format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
    if (!numberFormat.empty()) format_set_num_format(f, numberFormat.c_str());
    Made[key] = f;
    return f;
  }

private:
  lxw_workbook* Book;
  std::map<std::string, lxw_format*> Made;
};

// Characters, not bytes, decide how wide a text is.
double TextWidth(const std::string& utf8)
{
  return double(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).size());
}
}  // namespace

void cHistoryXlsxWriter::Write(const cHistoryTable& table, const std::string& path)
{
  const std::string temporary = cResultTable::TemporaryNameBeside(path);
  lxw_workbook* book = workbook_new(temporary.c_str());
  lxw_worksheet* sheet = book ? workbook_add_worksheet(book, nullptr) : nullptr;
  if (!sheet) {
    if (book) workbook_close(book);
    std::remove(temporary.c_str());
    throw std::runtime_error("cannot write '" + path + "'");
  }
  cFormats formats(book);
  const auto rows = table.DataRows();
  const int columns = int(table.Header.size());

  worksheet_write_string(sheet, 0, 2, table.Title.c_str(), nullptr);
  double firstWidth = 0;
  for (int c = 0; c < columns; ++c) {
    const std::string& name = table.Header[size_t(c)];
    worksheet_write_string(sheet, FirstRow, lxw_col_t(FirstColumn + c), name.c_str(),
                           formats.Get(true, c == 0, c == columns - 1, false, ""));
    if (c == 0) firstWidth = TextWidth(name);
  }
  for (size_t r = 0; r < rows.size(); ++r) {
    const bool lastRow = r + 1 == rows.size();
    const lxw_row_t sheetRow = lxw_row_t(FirstRow + 1 + int(r));
    for (int c = 0; c < columns && c < int(rows[r].size()); ++c) {
      const sHistoryCell& cell = rows[r][size_t(c)];
      const lxw_col_t sheetColumn = lxw_col_t(FirstColumn + c);
      const bool first = c == 0, last = c == columns - 1;
      if (cell.IsNumber) {
        worksheet_write_number(sheet, sheetRow, sheetColumn, cell.Number,
                               formats.Get(false, first, last, lastRow, table.NumberFormats[size_t(c)]));
      } else {
        worksheet_write_string(sheet, sheetRow, sheetColumn, cell.SheetText().c_str(),
                               formats.Get(false, first, last, lastRow, ""));
      }
      if (first) firstWidth = std::max(firstWidth, TextWidth(cell.Text));
    }
  }
  // No fitting at writing time: the width follows the longest text, as a fit would.
  worksheet_set_column(sheet, FirstColumn, FirstColumn, std::max(8.43, firstWidth * 1.1 + 2), nullptr);
  if (columns > 1)
    worksheet_set_column(sheet, FirstColumn + 1, lxw_col_t(FirstColumn + columns - 1), MeasureWidth, nullptr);

  if (workbook_close(book) != LXW_NO_ERROR) {
    std::remove(temporary.c_str());
    throw std::runtime_error("cannot write '" + path + "'");
  }
  cResultTable::CommitTemporary(temporary, path);
}
