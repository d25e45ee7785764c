#pragma once
// Suggests the known names closest to a misspelt one.
#include <string>
#include <vector>

class cNameMatcher {
public:
  // Up to three names, closest first; case and spacing differences weigh little.
  static std::vector<std::string> Closest(const std::string& wanted, const std::vector<std::string>& known);
  // " (did you mean 'A' or 'B'?)" or "" when nothing is close.
  static std::string Suggestion(const std::string& wanted, const std::vector<std::string>& known);
  static size_t Distance(const std::string& a, const std::string& b);
};
