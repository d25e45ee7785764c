#include "cAnalyzerResults.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "kvFacade/cKvadraSystem.h"

cResultTable cAnalyzerResults::Build(const cKvadraSystem& system)
{
  const std::vector<std::string> criteria = system.AnalyzerGetCriteria();
  // One criterion keeps the layout files had before several could be chosen.
  const bool several = criteria.size() > 1;
  std::vector<std::string> header;
  if (several) header.push_back("criterion");
  header.push_back(system.AnalyzerGetBottomTitle());
  const int series = system.AnalyzerGetSeriesCount();
  std::vector<int> made;
  int rows = 0;
  for (int s = 0; s < series; ++s) {
    header.push_back(system.AnalyzerGetSeriesName(s));
    made.push_back(system.AnalyzerGetPointsMade(s));
    rows = std::max(rows, made.back());
  }
  cResultTable table(header);
  for (size_t c = 0; c < criteria.size(); ++c) {
    // Run times (milliseconds) carry microseconds; more digits would be binary noise.
    const bool times = criteria[c] == "Time";
    for (int k = 0; k < rows; ++k) {
      std::vector<cResultTable::sCell> row;
      if (several) row.push_back(cResultTable::Text(criteria[c]));
      row.push_back(cResultTable::Number(system.AnalyzerGetSweepValueAt(k)));
      for (int s = 0; s < series; ++s) {
        if (k >= made[size_t(s)]) {
          row.push_back(cResultTable::Missing());
          continue;
        }
        const double y = system.AnalyzerGetCriterionValueAt(unsigned(s), unsigned(k), unsigned(c));
        row.push_back(times ? cResultTable::Fixed(y, 3) : cResultTable::Number(y));
      }
      table.AddRow(row);
    }
  }
  return table;
}

cPaperTable cAnalyzerResults::PaperTable(const cKvadraSystem& system)
{
  const std::vector<std::string> criteria = system.AnalyzerGetCriteria();
  const int series = system.AnalyzerGetSeriesCount();
  std::vector<double> sweep;
  for (int k = 0; k < system.AnalyzerGetSweepLength(); ++k) sweep.push_back(system.AnalyzerGetSweepValueAt(k));
  std::vector<std::string> names;
  cPaperTable::tBlockValues values;
  for (int s = 0; s < series; ++s) {
    names.push_back(system.AnalyzerGetSeriesName(s));
    const int made = system.AnalyzerGetPointsMade(s);
    values.emplace_back(sweep.size(), std::vector<double>(criteria.size(), std::nan("")));
    for (int k = 0; k < made && size_t(k) < sweep.size(); ++k)
      for (size_t c = 0; c < criteria.size(); ++c)
        values.back()[size_t(k)][c] = system.AnalyzerGetCriterionValueAt(unsigned(s), unsigned(k), unsigned(c));
  }
  cPaperTable table(system.AnalyzerGetBottomTitle(), sweep, criteria);
  table.AddBlock("", names, values);
  table.SetCaption(cPaperTable::CriteriaText(criteria) + " of the restorations after " +
                   system.AnalyzerGetOperationTitle() + "; best in bold.");
  return table;
}
