#include "PoolLog.h"

namespace {
std::vector<std::string>& Lines()
{
  static std::vector<std::string> lines;
  return lines;
}
}  // namespace

void PoolLogAppend(const std::string& line)
{
  Lines().push_back(line);
}
std::vector<std::string> PoolLogLines()
{
  return Lines();
}
void PoolLogClear()
{
  Lines().clear();
}
