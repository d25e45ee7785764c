#include "cOperationCatalog.h"

#include <sstream>
#include <vector>

#include "cCliError.h"
#include "kvFacade/cKvadraSystem.h"
#include "cNameMatcher.h"
#include "cParameterAssigner.h"
#include "cResultTable.h"
#include "kvAnalysis/cAnalyzer.h"

namespace {

// A parameter's bounds as list shows them: min, max and (enumerated) the choices.
struct sBoundsText {
  std::string Minimum, Maximum, Choices;
};

sBoundsText BoundsText(const cOperationParameter& parameter)
{
  // Whole values returned, not assigned field by field: GCC 12 warns falsely on the latter.
  switch (parameter.GetType()) {
    case ptInteger:
    case ptReal: {
      double minimum, maximum;
      uint8_t precision;
      parameter.GetBounds(minimum, maximum, precision);
      return {cParameterAssigner::FormatReal(minimum, precision), cParameterAssigner::FormatReal(maximum, precision),
              ""};
    }
    case ptBoolean: return {"false", "true", ""};
    case ptEnumerated:
      return {"0", std::to_string(parameter.GetEnumStringCount() - 1), cParameterAssigner::Range(parameter)};
  }
  return {};
}

void ListParameterJson(std::ostream& text, int index, const cOperationParameter& parameter)
{
  const sBoundsText bounds = BoundsText(parameter);
  text << (index ? "," : "") << "{\"index\":" << index << ",\"name\":" << cResultTable::JsonString(parameter.GetName())
       << ",\"kind\":\"" << cParameterAssigner::KindName(parameter)
       << "\",\"min\":" << cResultTable::JsonString(bounds.Minimum)
       << ",\"max\":" << cResultTable::JsonString(bounds.Maximum)
       << ",\"default\":" << cResultTable::JsonString(cParameterAssigner::ValueText(parameter, true));
  if (parameter.GetType() == ptReal) text << ",\"precision\":" << int(parameter.GetPrecision());
  if (parameter.GetType() == ptEnumerated) {
    text << ",\"choices\":[";
    for (int k = 0; k < parameter.GetEnumStringCount(); ++k)
      text << (k ? "," : "") << cResultTable::JsonString(parameter.GetEnumString(unsigned(k)));
    text << "]";
  }
  text << "}";
}

void ListParameterText(std::ostream& text, int index, const cOperationParameter& parameter)
{
  const sBoundsText bounds = BoundsText(parameter);
  text << "\t" << index << "\t" << parameter.GetName() << "\t" << cParameterAssigner::KindName(parameter) << "\t"
       << bounds.Minimum << "\t" << bounds.Maximum << "\t" << cParameterAssigner::ValueText(parameter, true);
  if (!bounds.Choices.empty()) text << "\t" << bounds.Choices;
  text << "\n";
}

}  // namespace

std::string cOperationCatalog::Text(cKvadraSystem& system)
{
  return Build(system, false);
}

std::string cOperationCatalog::Json(cKvadraSystem& system)
{
  return Build(system, true);
}

std::string cOperationCatalog::Build(cKvadraSystem& system, bool json)
{
  std::ostringstream text;
  if (json) text << "[";
  for (unsigned uid = 1; uid <= system.GetOperationsCount(); ++uid) {
    std::string group, name, type;
    system.GetOperationGroupAndName(uid, group, name, type);
    if (json)
      text << (uid > 1 ? ",\n" : "\n") << "{\"uid\":" << uid << ",\"type\":" << cResultTable::JsonString(type)
           << ",\"group\":" << cResultTable::JsonString(group) << ",\"name\":" << cResultTable::JsonString(name)
           << ",\"parameters\":[";
    else
      text << uid << "\t" << type << "\t" << group << "\t" << name << "\n";
    const cOperationParams& params = *system.GetOperationParams(uid);
    for (int i = 0; i < params.GetParamsCount(); ++i)
      (json ? ListParameterJson : ListParameterText)(text, i, *params.GetParam(unsigned(i)));
    if (json) text << "]}";
  }
  if (json) text << "\n]\n";
  return text.str();
}

unsigned cOperationCatalog::FindUID(cKvadraSystem& system, const std::string& name, const std::string& listing)
{
  std::vector<std::string> names;
  for (unsigned uid = 1; uid <= system.GetOperationsCount(); ++uid) {
    std::string group, operation, type;
    system.GetOperationGroupAndName(uid, group, operation, type);
    names.push_back(operation);
  }
  if (const auto index = cNameMatcher::Find(name, names)) return unsigned(*index + 1);
  throw cCliError::Usage("unknown operation '" + name + "'" + cNameMatcher::Suggestion(name, names) + "; " + listing);
}

const std::string& cOperationCatalog::CheckedCriterion(const std::string& criterion)
{
  const std::vector<std::string>& known = cAnalyzer::GetCriteria();
  if (!cAnalyzer::IsKnownCriterion(criterion)) {
    std::string list;
    for (const std::string& name : known) list += (list.empty() ? "" : ", ") + name;
    throw cCliError::Usage("unknown criterion '" + criterion + "'" + cNameMatcher::Suggestion(criterion, known) +
                           "; one of " + list);
  }
  return criterion;
}
