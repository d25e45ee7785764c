#pragma once
// The history table as an OpenDocument text (what the word processor export writes): the
// title right-aligned, then the table with the operation column a third of the width and the
// measures sharing the rest, cell paddings 5, a bold centred header row and centred cells.
#include <memory>
#include <string>

class QTextDocument;
class cHistoryTable;

class cHistoryOdtWriter {
public:
  static std::unique_ptr<QTextDocument> Document(const cHistoryTable& table);
  // Never leaves a half-written file; throws std::runtime_error when it cannot write.
  static void Write(const cHistoryTable& table, const std::string& path);
};
