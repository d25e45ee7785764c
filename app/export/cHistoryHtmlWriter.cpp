#include "cHistoryHtmlWriter.h"

#include <cstdio>

#include "cHistoryTable.h"
#include "cResultTable.h"

std::string cHistoryHtmlWriter::Escape(const std::string& text)
{
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string cHistoryHtmlWriter::Html(const cHistoryTable& table)
{
  const size_t columns = table.Header.size();
  const std::string title = Escape(table.Title);
  std::string out = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + title +
                    "</title>\n<style>\n"
                    "body { font-family: Tahoma, sans-serif; }\n"
                    "p.title { text-align: right; }\n"
                    "table { width: 100%; border-collapse: collapse; }\n"
                    "th, td { border: 1px solid #000; padding: 5px; text-align: center; }\n"
                    "th { font-weight: bold; }\n"
                    "</style>\n</head>\n<body>\n<p class=\"title\">" +
                    title + "</p>\n<table>\n<colgroup>";
  // The operation column a third of the width, the measures sharing the rest.
  for (size_t c = 0; c < columns; ++c) {
    const double percent = c == 0 ? (columns == 1 ? 100.0 : 100.0 / 3.0) : 200.0 / 3.0 / double(columns - 1);
    char width[32];
    std::snprintf(width, sizeof width, "%.2f%%", percent);
    out += std::string("<col style=\"width: ") + width + "\">";
  }
  out += "</colgroup>\n<thead>\n<tr>";
  for (const auto& name : table.Header) out += "<th>" + Escape(name) + "</th>";
  out += "</tr>\n</thead>\n<tbody>\n";
  for (const auto& row : table.DataRows()) {
    out += "<tr>";
    for (const auto& cell : row) out += "<td>" + Escape(cell.Text) + "</td>";
    out += "</tr>\n";
  }
  out += "</tbody>\n</table>\n</body>\n</html>\n";
  return out;
}

void cHistoryHtmlWriter::Write(const cHistoryTable& table, const std::string& path)
{
  cResultTable::WriteFileAtomically(path, Html(table));
}
