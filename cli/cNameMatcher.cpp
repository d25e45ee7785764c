#include "cNameMatcher.h"

#include <algorithm>
#include <cctype>

namespace {
std::string Folded(const std::string& s)
{
  std::string out;
  for (unsigned char c : s)
    if (std::isalnum(c)) out += char(std::tolower(c));
  return out;
}
}  // namespace

std::optional<size_t> cNameMatcher::Find(const std::string& wanted, const std::vector<std::string>& known)
{
  for (size_t i = 0; i < known.size(); ++i)
    if (known[i] == wanted) return i;
  const std::string lowered = Lower(wanted);
  for (size_t i = 0; i < known.size(); ++i)
    if (Lower(known[i]) == lowered) return i;
  return std::nullopt;
}

std::string cNameMatcher::Lower(std::string text)
{
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

size_t cNameMatcher::Distance(const std::string& a, const std::string& b)
{
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::vector<std::string> cNameMatcher::Closest(const std::string& wanted, const std::vector<std::string>& known)
{
  const std::string w = Folded(wanted);
  std::vector<std::pair<size_t, std::string>> scored;
  for (const auto& name : known) {
    const std::string k = Folded(name);
    size_t d = Distance(w, k);
    if (!w.empty() && k.find(w) != std::string::npos) d = std::min<size_t>(d, 1);
    const size_t allowed = std::max<size_t>(2, k.size() / 3);
    if (d <= allowed) scored.emplace_back(d, name);
  }
  std::stable_sort(scored.begin(), scored.end(), [](auto& a, auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (auto& [d, name] : scored) {
    if (std::find(out.begin(), out.end(), name) == out.end()) out.push_back(name);
    if (out.size() == 3) break;
  }
  return out;
}

std::string cNameMatcher::Suggestion(const std::string& wanted, const std::vector<std::string>& known)
{
  const auto close = Closest(wanted, known);
  if (close.empty()) return "";
  std::string s = " (did you mean ";
  for (size_t i = 0; i < close.size(); ++i) {
    if (i > 0) s += (i + 1 == close.size()) ? " or " : ", ";
    s += "'" + close[i] + "'";
  }
  return s + "?)";
}
