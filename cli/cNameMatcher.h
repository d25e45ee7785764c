#pragma once
// Finds a name the user typed among the known ones, and suggests the closest ones to a
// misspelt name.
#include <optional>
#include <string>
#include <vector>

class cNameMatcher {
public:
  // The place of wanted in known: the exact name, else the first that differs in case only.
  static std::optional<size_t> Find(const std::string& wanted, const std::vector<std::string>& known);
  static std::string Lower(std::string text);
  // Up to three names, closest first; case and spacing differences weigh little.
  static std::vector<std::string> Closest(const std::string& wanted, const std::vector<std::string>& known);
  // " (did you mean 'A' or 'B'?)" or "" when nothing is close.
  static std::string Suggestion(const std::string& wanted, const std::vector<std::string>& known);
  static size_t Distance(const std::string& a, const std::string& b);
};
