#include "cResultTable.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

cResultTable::cResultTable(std::vector<std::string> header) : HeaderNames(std::move(header)) {}

void cResultTable::AddRow(std::vector<sCell> row)
{
  RowsList.push_back(std::move(row));
}

cResultTable::sCell cResultTable::Text(const std::string& text)
{
  sCell c;
  c.Text = text;
  return c;
}

cResultTable::sCell cResultTable::Number(double value)
{
  sCell c;
  c.IsNumber = true;
  c.Number = value;
  return c;
}

cResultTable::sCell cResultTable::Fixed(double value, int decimals)
{
  sCell c = Number(value);
  c.Decimals = decimals;
  return c;
}

cResultTable::sCell cResultTable::Milliseconds(uint64_t microseconds)
{
  return Fixed(double(microseconds) / 1000.0, 3);
}

cResultTable::sCell cResultTable::Missing()
{
  sCell c;
  c.IsMissing = true;
  return c;
}

std::string cResultTable::FormatNumber(double value)
{
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[64];
  // The C locale is in force (the program never changes it), so the point is '.'.
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string cResultTable::NumberText(const sCell& cell)
{
  if (cell.Decimals < 0 || !std::isfinite(cell.Number)) return FormatNumber(cell.Number);
  char text[400];
  std::snprintf(text, sizeof text, "%.*f", cell.Decimals, cell.Number);
  return text;
}

std::string cResultTable::CellText(const sCell& cell)
{
  return cell.IsNumber ? NumberText(cell) : cell.Text;
}

void cResultTable::WriteTabSeparated(std::ostream& out) const
{
  for (size_t i = 0; i < HeaderNames.size(); ++i) out << (i ? "\t" : "") << HeaderNames[i];
  out << "\n";
  for (const auto& row : RowsList) {
    for (size_t i = 0; i < row.size(); ++i) {
      std::string text = CellText(row[i]);
      // Titles never contain tabs or line breaks, but a file name could.
      for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
      out << (i ? "\t" : "") << text;
    }
    out << "\n";
  }
}

std::string cResultTable::CsvField(const std::string& text)
{
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string cResultTable::CsvText() const
{
  std::string out;
  for (size_t i = 0; i < HeaderNames.size(); ++i) {
    if (i) out += ',';
    out += CsvField(HeaderNames[i]);
  }
  out += "\r\n";
  for (const auto& row : RowsList) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) out += ',';
      out += CsvField(CellText(row[i]));
    }
    out += "\r\n";
  }
  return out;
}

std::string cResultTable::JsonString(const std::string& text)
{
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else {
          out += char(c);
        }
    }
  }
  return out + "\"";
}

std::string cResultTable::JsonText(const std::string& extraMembers) const
{
  std::ostringstream out;
  out << "{";
  if (!extraMembers.empty()) out << extraMembers << ",";
  out << "\"rows\":[";
  for (size_t r = 0; r < RowsList.size(); ++r) {
    out << (r ? ",\n" : "\n") << "{";
    const auto& row = RowsList[r];
    for (size_t i = 0; i < row.size() && i < HeaderNames.size(); ++i) {
      out << (i ? "," : "") << JsonString(HeaderNames[i]) << ":";
      // JSON has no infinity: such values are written as text.
      if (row[i].IsMissing)
        out << "null";
      else if (row[i].IsNumber && std::isfinite(row[i].Number))
        out << NumberText(row[i]);
      else
        out << JsonString(CellText(row[i]));
    }
    out << "}";
  }
  out << "\n]}\n";
  return out.str();
}

std::string cResultTable::TemporaryNameBeside(const std::string& path)
{
  const std::filesystem::path target(path);
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::string leaf = ".";
  leaf += target.filename().string();
  leaf += ".tmp-XXXXXX";
  std::string pattern = (folder / leaf).string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) throw std::runtime_error("cannot write '" + path + "': the folder is not writable or does not exist");
  // mkstemp makes the file private; the result gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  return pattern;
}

void cResultTable::CommitTemporary(const std::string& temporary, const std::string& path)
{
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::remove(temporary.c_str());
    throw std::runtime_error("cannot write '" + path + "': " + error.message());
  }
}

void cResultTable::WriteFileAtomically(const std::string& path, const std::string& content)
{
  const std::string temporary = TemporaryNameBeside(path);
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  bool ok = f != nullptr;
  if (ok) ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
  if (f) ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    std::remove(temporary.c_str());
    throw std::runtime_error("cannot write '" + path + "'");
  }
  CommitTemporary(temporary, path);
}

bool cResultTable::ReadFile(const std::string& path, std::string& content)
{
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream text;
  text << in.rdbuf();
  content = text.str();
  return true;
}
