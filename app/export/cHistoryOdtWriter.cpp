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
  QTextTableFormat format;
  format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
  QList<QTextLength> widths;
  for (int c = 0; c < columns; ++c) {
    const double percent = c == 0 ? (columns == 1 ? 100.0 : 100.0 / 3.0) : 200.0 / 3.0 / double(columns - 1);
    widths << QTextLength(QTextLength::PercentageLength, percent);
  }
  format.setColumnWidthConstraints(widths);
  format.setCellPadding(5);
  format.setCellSpacing(0);
  format.setBorder(1);
  format.setBorderCollapse(true);
  format.setHeaderRowCount(1);
  QTextTable* grid = cursor.insertTable(int(rows.size()) + 1, columns, format);

  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  auto put = [&](int r, int c, const std::string& text, bool bold) {
    QTextTableCell cell = grid->cellAt(r, c);
    QTextTableCellFormat cellFormat = cell.format().toTableCellFormat();
    cellFormat.setTopPadding(5);
    cellFormat.setBottomPadding(5);
    cellFormat.setLeftPadding(5);
    cellFormat.setRightPadding(5);
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
