#pragma once
// A table of texts and numbers written as tab-separated text, CSV (RFC 4180) or JSON.
// Numbers carry 17 significant digits so that they read back exactly. Shared by the command-line
// program and the desktop program, so both write the same files for the same table.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

class cResultTable {
public:
  struct sCell {
    bool IsNumber = false;
    // No value at all: empty in text and CSV, null in JSON.
    bool IsMissing = false;
    double Number = 0.0;
    // Decimals of a number written in fixed notation; -1: 17 significant digits.
    int Decimals = -1;
    std::string Text;
  };

  explicit cResultTable(std::vector<std::string> header);
  void AddRow(std::vector<sCell> row);
  static sCell Text(const std::string& text);
  static sCell Number(double value);
  // A number with a fixed count of decimals: a measured time, whose further digits would only
  // show the binary rounding of its last decimal.
  static sCell Fixed(double value, int decimals);
  // A run time in milliseconds with its microseconds as the fraction ("3.217").
  static sCell Milliseconds(uint64_t microseconds);
  static sCell Missing();
  static std::string FormatNumber(double value);
  // A number cell's text: its fixed decimals, or FormatNumber.
  static std::string NumberText(const sCell& cell);

  void WriteTabSeparated(std::ostream& out) const;
  std::string CsvText() const;
  // An array of objects keyed by the header, wrapped with extra members given as raw JSON.
  std::string JsonText(const std::string& extraMembers = "") const;
  static std::string JsonString(const std::string& text);
  static std::string CsvField(const std::string& text);

  // Writes beside the target under a temporary name, then renames: never a half-written file.
  // Failures throw std::runtime_error with a one-line reason.
  static void WriteFileAtomically(const std::string& path, const std::string& content);
  // A temporary name in the target's folder for writers that produce the file themselves.
  static std::string TemporaryNameBeside(const std::string& path);
  static void CommitTemporary(const std::string& temporary, const std::string& path);
  // The whole file as it is; false when it cannot be opened.
  static bool ReadFile(const std::string& path, std::string& content);

  const std::vector<std::string>& Header() const { return HeaderNames; }
  const std::vector<std::vector<sCell>>& Rows() const { return RowsList; }

private:
  static std::string CellText(const sCell& cell);
  std::vector<std::string> HeaderNames;
  std::vector<std::vector<sCell>> RowsList;
};
