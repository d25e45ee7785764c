// The table a package keeps its operations in: one instance of each type, handed out in the
// order the types are listed (the order of the menus), after what the list already holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kvOperations/cPackageOperations.h"

namespace {

template <int N>
class NumberedOperation : public acOperation {
public:
  NumberedOperation() { Describe("Operation " + std::to_string(N), "Test", otFilter, fmNoDialog); }
};

std::vector<std::string> Names(const tOperationsList& list)
{
  std::vector<std::string> names;
  for (const acOperation* operation : list) names.push_back(operation->GetName());
  return names;
}

TEST(PackageOperations, AppendsOneOfEachTypeInListedOrderAfterWhatTheListHolds)
{
  cPackageOperations<NumberedOperation<3>, NumberedOperation<1>, NumberedOperation<2>> package;
  NumberedOperation<0> loadedBefore;
  tOperationsList list{&loadedBefore};
  package.AppendTo(list);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Operation 0", "Operation 3", "Operation 1", "Operation 2"}));

  // The package hands out its own instances, the same ones every time.
  tOperationsList again;
  package.AppendTo(again);
  EXPECT_EQ(again, tOperationsList(list.begin() + 1, list.end()));
}

TEST(PackageOperations, OneOperationPackageAppendsExactlyOne)
{
  cPackageOperations<NumberedOperation<7>> package;
  tOperationsList list;
  package.AppendTo(list);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Operation 7"}));
}

}  // namespace
