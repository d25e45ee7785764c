#pragma once
// The results table of a paper: one row per restoration (or per restoration and picture), one
// group of columns per swept value with one column per criterion, each cell at the precision
// papers use and the best value of every column in bold. Written as Markdown, LaTeX (booktabs)
// or CSV. Both front ends build their tables here, so the same numbers give the same text.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum eTableFormat { tfMarkdown, tfLatex, tfCsv };

class cPaperTable {
public:
  // values[row][sweep value][criterion]; NaN: no value (an empty cell).
  using tBlockValues = std::vector<std::vector<std::vector<double>>>;

  cPaperTable(std::string sweptName, std::vector<double> sweepValues, std::vector<std::string> criteria);

  // A block of rows; the best of each column is found within its block. title: empty for the
  // first (the means), the picture's name for a block of one picture.
  void AddBlock(const std::string& title, const std::vector<std::string>& rowNames, const tBlockValues& values);
  // What the rows are, for the caption (e.g. "Mean over 4 pictures").
  void SetCaption(const std::string& caption) { Caption = caption; }
  // The command, version and base seed that made the numbers: a comment line of the table.
  // No seed: the noise was drawn from the clock, which the comment says.
  void SetOrigin(const std::string& command, const std::string& version, std::optional<uint64_t> seed);

  std::string Text(eTableFormat format) const;

  // "markdown", "latex", "csv"; false for anything else.
  static bool ParseFormat(const std::string& name, eTableFormat& format);
  // Decimals papers print: 2 for PSNR, MSE and times, 4 for the indices in [-1, 1].
  static int Decimals(const std::string& criterion);
  // MSE and time: lower is better; the quality indices: higher.
  static bool HigherIsBetter(const std::string& criterion);
  // The words joined as a POSIX shell reads them back: quoted where needed.
  static std::string ShellCommand(const std::vector<std::string>& words);
  static std::string LatexEscape(const std::string& text);
  // The criteria joined for a caption: "PSNR and SSIM".
  static std::string CriteriaText(const std::vector<std::string>& criteria);

private:
  struct sBlock {
    std::string Title;
    std::vector<std::string> RowNames;
    tBlockValues Values;
  };
  // The cell's text at its criterion's precision ("" for no value); infinite values as "inf".
  std::string CellText(double value, size_t criterion) const;
  // Per row and column (sweep value x criterion): whether it holds its block's best.
  std::vector<std::vector<bool>> BestCells(const sBlock& block) const;
  std::string ValueText(double value) const;
  std::string MarkdownText() const;
  std::string LatexText() const;
  std::string CsvText() const;

  std::string Swept;
  std::vector<double> Sweep;
  std::vector<std::string> Criteria;
  std::vector<sBlock> Blocks;
  std::string Caption;
  // The second comment line: "kvadra VERSION, base seed N".
  std::string OriginText() const;
  std::string Command, Version;
  std::optional<uint64_t> Seed;
  bool HasOrigin = false;
};
