#include "cHistoryOdtWriter.h"

#include <QFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <QTextTable>
#include <cstdio>
#include <stdexcept>

#include "cHistoryTable.h"
#include "cResultTable.h"

namespace {
constexpr double TableWidthPt = 481.89;  // 17 cm
constexpr double PaddingPx = 5.0 / 0.75;
}  // namespace

std::unique_ptr<QTextDocument> cHistoryOdtWriter::Document(const cHistoryTable& table)
{
  auto document = std::make_unique<QTextDocument>();
  QTextCursor cursor(document.get());
  QTextBlockFormat titleFormat;
  titleFormat.setAlignment(Qt::AlignRight);
  cursor.setBlockFormat(titleFormat);
  cursor.insertText(QString::fromStdString(table.Title));
  cursor.insertBlock(QTextBlockFormat());

  const auto rows = table.DataRows();
  const int columns = int(table.Header.size());
  // The document writer takes widths as points: the table spans the text width of an A4 page
  // with 2 cm margins.
  QTextTableFormat format;
  format.setWidth(QTextLength(QTextLength::FixedLength, TableWidthPt));
  QList<QTextLength> widths;
  for (int c = 0; c < columns; ++c) {
    const double share = c == 0 ? (columns == 1 ? 1.0 : 1.0 / 3.0) : 2.0 / 3.0 / double(columns - 1);
    widths << QTextLength(QTextLength::FixedLength, TableWidthPt * share);
  }
  format.setColumnWidthConstraints(widths);
  format.setCellSpacing(0);
  format.setBorder(1);
  format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
  format.setBorderBrush(Qt::black);
  format.setBorderCollapse(true);
  format.setHeaderRowCount(1);
  QTextTable* grid = cursor.insertTable(int(rows.size()) + 1, columns, format);

  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  auto put = [&](int r, int c, const std::string& text, bool bold) {
    QTextTableCell cell = grid->cellAt(r, c);
    QTextTableCellFormat cellFormat = cell.format().toTableCellFormat();
    // Paddings are pixels here and written as three quarters of a point each: 5 pt.
    cellFormat.setTopPadding(PaddingPx);
    cellFormat.setBottomPadding(PaddingPx);
    cellFormat.setLeftPadding(PaddingPx);
    cellFormat.setRightPadding(PaddingPx);
    cell.setFormat(cellFormat);
    QTextCursor at = cell.firstCursorPosition();
    at.setBlockFormat(centred);
    QTextCharFormat characters;
    characters.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    at.insertText(QString::fromStdString(text), characters);
  };
  for (int c = 0; c < columns; ++c) put(0, c, table.Header[size_t(c)], true);
  for (size_t r = 0; r < rows.size(); ++r)
    for (int c = 0; c < columns && c < int(rows[r].size()); ++c) put(int(r) + 1, c, rows[r][size_t(c)].Text, false);
  return document;
}

void cHistoryOdtWriter::Write(const cHistoryTable& table, const std::string& path)
{
  const auto document = Document(table);
  const std::string temporary = cResultTable::TemporaryNameBeside(path);
  QTextDocumentWriter writer(QFile::decodeName(temporary.c_str()), "odf");
  if (!writer.write(document.get())) {
    std::remove(temporary.c_str());
    throw std::runtime_error("cannot write '" + path + "'");
  }
  cResultTable::CommitTemporary(temporary, path);
}
