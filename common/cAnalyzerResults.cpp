#include "cAnalyzerResults.h"

#include <algorithm>
#include <string>
#include <vector>

#include "cKvadraSystem.h"

cResultTable cAnalyzerResults::Build(const cKvadraSystem& system)
{
  std::vector<std::string> header = {system.AnalyzerGetBottomTitle()};
  const int series = system.AnalyzerGetSeriesCount();
  std::vector<int> made;
  int rows = 0;
  for (int s = 0; s < series; ++s) {
    header.push_back(system.AnalyzerGetSeriesName(s));
    made.push_back(system.AnalyzerGetPointsMade(s));
    rows = std::max(rows, made.back());
  }
  cResultTable table(header);
  // Run times (milliseconds) carry microseconds; more digits would be binary noise.
  const bool times = system.AnalyzerGetLeftTitle() == "Time";
  for (int k = 0; k < rows; ++k) {
    std::vector<cResultTable::sCell> row{cResultTable::Number(system.AnalyzerGetSweepValueAt(k))};
    for (int s = 0; s < series; ++s) {
      if (k >= made[size_t(s)]) {
        row.push_back(cResultTable::Missing());
        continue;
      }
      double x, y;
      system.AnalyzerGetResultAt(unsigned(s), unsigned(k), x, y);
      row.push_back(times ? cResultTable::Fixed(y, 3) : cResultTable::Number(y));
    }
    table.AddRow(row);
  }
  return table;
}
