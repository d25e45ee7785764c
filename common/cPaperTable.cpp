#include "cPaperTable.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "cResultTable.h"

cPaperTable::cPaperTable(std::string sweptName, std::vector<double> sweepValues, std::vector<std::string> criteria)
    : Swept(std::move(sweptName)), Sweep(std::move(sweepValues)), Criteria(std::move(criteria))
{}

void cPaperTable::AddBlock(const std::string& title, const std::vector<std::string>& rowNames,
                           const tBlockValues& values)
{
  Blocks.push_back({title, rowNames, values});
}

void cPaperTable::SetOrigin(const std::string& command, const std::string& version, std::optional<uint64_t> seed)
{
  Command = command;
  Version = version;
  Seed = seed;
  HasOrigin = true;
}

std::string cPaperTable::OriginText() const
{
  return "kvadra " + Version + (Seed ? ", base seed " + std::to_string(*Seed) : ", noise seeded from the clock");
}

bool cPaperTable::ParseFormat(const std::string& name, eTableFormat& format)
{
  if (name == "markdown")
    format = tfMarkdown;
  else if (name == "latex")
    format = tfLatex;
  else if (name == "csv")
    format = tfCsv;
  else
    return false;
  return true;
}

int cPaperTable::Decimals(const std::string& criterion)
{
  return criterion == "IQ" || criterion == "IQHVS" || criterion == "SSIM" ? 4 : 2;
}

bool cPaperTable::HigherIsBetter(const std::string& criterion)
{
  return criterion != "MSE" && criterion != "Time";
}

std::string cPaperTable::ShellCommand(const std::vector<std::string>& words)
{
  std::string command;
  for (const std::string& word : words) {
    bool plain = !word.empty();
    for (unsigned char c : word)
      if (!std::isalnum(c) && std::string("-_./=:,+@%").find(char(c)) == std::string::npos) plain = false;
    if (!command.empty()) command += ' ';
    if (plain) {
      command += word;
      continue;
    }
    command += '\'';
    for (char c : word) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += '\'';
  }
  return command;
}

std::string cPaperTable::LatexEscape(const std::string& text)
{
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
      case '%':
      case '$':
      case '#':
      case '_':
      case '{':
      case '}':
        out += '\\';
        out += c;
        break;
      case '~': out += "\\textasciitilde{}"; break;
      case '^': out += "\\textasciicircum{}"; break;
      case '\\': out += "\\textbackslash{}"; break;
      default: out += c;
    }
  }
  return out;
}

std::string cPaperTable::CriteriaText(const std::vector<std::string>& criteria)
{
  std::string text;
  for (size_t c = 0; c < criteria.size(); ++c)
    text += (c == 0 ? "" : c + 1 == criteria.size() ? " and " : ", ") + criteria[c];
  return text;
}

std::string cPaperTable::CellText(double value, size_t criterion) const
{
  if (std::isnan(value)) return "";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  return cResultTable::NumberText(cResultTable::Fixed(value, Decimals(Criteria[criterion])));
}

std::string cPaperTable::ValueText(double value) const
{
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

std::vector<std::vector<bool>> cPaperTable::BestCells(const sBlock& block) const
{
  std::vector<std::vector<bool>> best(block.RowNames.size(), std::vector<bool>(Sweep.size() * Criteria.size()));
  for (size_t k = 0; k < Sweep.size(); ++k)
    for (size_t c = 0; c < Criteria.size(); ++c) {
      // Compared as printed: values that print alike are equally best.
      const double sign = HigherIsBetter(Criteria[c]) ? 1.0 : -1.0;
      const double scale = std::pow(10.0, Decimals(Criteria[c]));
      auto shown = [&](double v) { return std::isinf(v) ? v : std::round(v * scale); };
      bool any = false;
      double top = 0.0;
      for (const auto& row : block.Values) {
        const double v = row[k][c];
        if (std::isnan(v)) continue;
        if (!any || sign * shown(v) > sign * top) top = shown(v);
        any = true;
      }
      for (size_t r = 0; r < block.Values.size(); ++r) {
        const double v = block.Values[r][k][c];
        best[r][k * Criteria.size() + c] = any && !std::isnan(v) && shown(v) == top;
      }
    }
  return best;
}

std::string cPaperTable::Text(eTableFormat format) const
{
  switch (format) {
    case tfLatex: return LatexText();
    case tfCsv: return CsvText();
    default: return MarkdownText();
  }
}

std::string cPaperTable::MarkdownText() const
{
  std::ostringstream out;
  // An HTML comment: kept in the file, not shown when rendered.
  if (HasOrigin) out << "<!-- " << Command << " -->\n<!-- " << OriginText() << " -->\n\n";
  out << "| Restoration |";
  for (double v : Sweep)
    for (const std::string& c : Criteria) out << ' ' << Swept << " = " << ValueText(v) << ' ' << c << " |";
  out << "\n|:---|";
  for (size_t i = 0; i < Sweep.size() * Criteria.size(); ++i) out << "---:|";
  out << '\n';
  for (const sBlock& block : Blocks) {
    if (Blocks.size() > 1) {
      out << "| *" << block.Title << "* |";
      for (size_t i = 0; i < Sweep.size() * Criteria.size(); ++i) out << " |";
      out << '\n';
    }
    const auto best = BestCells(block);
    for (size_t r = 0; r < block.RowNames.size(); ++r) {
      out << "| " << block.RowNames[r] << " |";
      for (size_t k = 0; k < Sweep.size(); ++k)
        for (size_t c = 0; c < Criteria.size(); ++c) {
          const std::string text = CellText(block.Values[r][k][c], c);
          out << ' ' << (best[r][k * Criteria.size() + c] ? "**" + text + "**" : text) << " |";
        }
      out << '\n';
    }
  }
  if (!Caption.empty()) out << "\nTable: " << Caption << '\n';
  return out.str();
}

std::string cPaperTable::LatexText() const
{
  std::ostringstream out;
  const size_t columns = Sweep.size() * Criteria.size();
  if (HasOrigin) out << "% " << Command << "\n% " << OriginText() << '\n';
  out << "\\begin{table}\n  \\centering\n";
  if (!Caption.empty()) out << "  \\caption{" << LatexEscape(Caption) << "}\n";
  out << "  \\begin{tabular}{l" << std::string(columns, 'r') << "}\n    \\toprule\n    " << LatexEscape(Swept);
  for (double v : Sweep) out << " & \\multicolumn{" << Criteria.size() << "}{c}{" << ValueText(v) << '}';
  out << " \\\\\n    ";
  for (size_t k = 0; k < Sweep.size(); ++k)
    out << "\\cmidrule(lr){" << 2 + k * Criteria.size() << '-' << 1 + (k + 1) * Criteria.size() << '}';
  out << "\n    Restoration";
  for (size_t k = 0; k < Sweep.size(); ++k)
    for (const std::string& c : Criteria) out << " & " << LatexEscape(c);
  out << " \\\\\n";
  for (size_t b = 0; b < Blocks.size(); ++b) {
    const sBlock& block = Blocks[b];
    out << "    \\midrule\n";
    if (Blocks.size() > 1)
      out << "    \\multicolumn{" << columns + 1 << "}{l}{\\emph{" << LatexEscape(block.Title) << "}} \\\\\n";
    const auto best = BestCells(block);
    for (size_t r = 0; r < block.RowNames.size(); ++r) {
      out << "    " << LatexEscape(block.RowNames[r]);
      for (size_t k = 0; k < Sweep.size(); ++k)
        for (size_t c = 0; c < Criteria.size(); ++c) {
          const double v = block.Values[r][k][c];
          std::string text = std::isnan(v)   ? "--"
                             : std::isinf(v) ? (v > 0 ? "$\\infty$" : "$-\\infty$")
                                             : CellText(v, c);
          if (best[r][k * Criteria.size() + c]) text = "\\textbf{" + text + "}";
          out << " & " << text;
        }
      out << " \\\\\n";
    }
  }
  out << "    \\bottomrule\n  \\end{tabular}\n\\end{table}\n";
  return out.str();
}

std::string cPaperTable::CsvText() const
{
  std::ostringstream out;
  // Comment lines, as gnuplot, pandas (comment='#') and R (comment.char) skip them.
  if (HasOrigin) out << "# " << Command << "\n# " << OriginText() << '\n';
  const bool blocks = Blocks.size() > 1;
  if (blocks) out << "block,";
  out << "restoration";
  for (double v : Sweep)
    for (const std::string& c : Criteria) out << ',' << cResultTable::CsvField(Swept + " = " + ValueText(v) + " " + c);
  out << "\r\n";
  for (const sBlock& block : Blocks)
    for (size_t r = 0; r < block.RowNames.size(); ++r) {
      if (blocks) out << cResultTable::CsvField(block.Title) << ',';
      out << cResultTable::CsvField(block.RowNames[r]);
      for (size_t k = 0; k < Sweep.size(); ++k)
        for (size_t c = 0; c < Criteria.size(); ++c) out << ',' << CellText(block.Values[r][k][c], c);
      out << "\r\n";
    }
  return out.str();
}
