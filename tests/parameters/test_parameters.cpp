#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "ParamSupport.h"
#include "ParameterInfoBuilder.h"
#include "kvOperations/acOperation.h"
#include "kvOperations/cOperationParameter.h"
#include "kvOperations/cOperationParams.h"
#include "kvOperations/sParameterInfo.h"

namespace {

// A failed precondition prints its condition text exactly; match it literally.
std::string Literally(const std::string& text)
{
  std::string pattern;
  for (char c : text) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) pattern += '\\';
    pattern += c;
  }
  return pattern;
}

using kvtest::Info;

sParameterInfo Choices(const std::string& name, int count)
{
  sParameterInfo info = Info(ptEnumerated, name, 0, 1, 0);
  for (int i = 0; i < count; ++i) info.AddEnumString("choice " + std::to_string(i));
  return info;
}

}  // namespace

// --- declaration record ---

TEST(ParameterInfo, DefaultsDescribeARealPercentage)
{
  sParameterInfo info;
  EXPECT_EQ(info.ParameterName, "Empty parametr");
  EXPECT_EQ(info.theParameterType, ptReal);
  EXPECT_EQ(info.MinBound, 0.0);
  EXPECT_EQ(info.MaxBound, 100.0);
  EXPECT_EQ(info.Precision, 2);
  EXPECT_TRUE(info.EnumStrings.empty());
  EXPECT_EQ(sizeof(eParameterType), 1u);
}

TEST(ParameterInfo, ChoiceTextsOnlyForEnumeratedParameters)
{
  sParameterInfo info;
  EXPECT_DEATH(info.AddEnumString("x"), Literally("theParameterType == ptEnumerated"));
}

// --- scaling ---

TEST(ParameterScaling, RealValuesAreFlooredToTheirPrecision)
{
  cOperationParameter p(Info(ptReal, "Density", 0, 1, 0.5));
  EXPECT_EQ(p.GetRawValue(), 50);
  EXPECT_EQ(p.GetReal(), 0.5);
  p.SetValue(1);  // an int on a real parameter is a real value
  EXPECT_EQ(p.GetRawValue(), 100);

  double min = -1, max = -1;
  uint8_t precision = 0;
  p.GetBounds(min, max, precision);
  EXPECT_EQ(min, 0.0);
  EXPECT_EQ(max, 1.0);
  EXPECT_EQ(precision, 2);
}

// A typed decimal is stored as typed, although its binary product lands just below the grid
// point; values truly between grid points still floor.
TEST(ParameterScaling, TypedDecimalsKeepTheirValueAndOthersFloor)
{
  struct Case {
    double Typed;
    int Stored;
  };
  for (const Case c : {Case{0.57, 57}, Case{0.47, 47}, Case{0.29, 29}, Case{0.58, 58}, Case{0.1 + 0.2, 30},
                       Case{0.575, 57}, Case{0.569999, 56}, Case{-0.57, -57}, Case{-0.571, -58}, Case{1.0, 100}}) {
    cOperationParameter p(Info(ptReal, "Density", -1, 1, 0));
    p.SetValue(c.Typed);
    EXPECT_EQ(p.GetRawValue(), c.Stored) << c.Typed;
  }
  cOperationParameter fine(Info(ptReal, "Sigma", 0, 1000, 0, 4));
  fine.SetValue(123.4567);
  EXPECT_EQ(fine.GetRawValue(), 1234567);
}

TEST(ParameterScaling, IntegerAndEnumeratedIgnoreTheDeclaredPrecision)
{
  cOperationParameter i(Info(ptInteger, "Window size", 1, 15, 3, 4));
  EXPECT_EQ(i.GetPrecision(), 0);
  EXPECT_EQ(i.GetInteger(), 3);
  EXPECT_EQ(i.GetReal(), 3.0);
  int min = 0, max = 0;
  i.GetBounds(min, max);
  EXPECT_EQ(min, 1);
  EXPECT_EQ(max, 15);
}

TEST(ParameterScaling, IsIntegerMeansExactlyRepresentableIn32Bits)
{
  EXPECT_TRUE(cOperationParameter::IsInteger(3.0));
  EXPECT_TRUE(cOperationParameter::IsInteger(-7.0));
  EXPECT_FALSE(cOperationParameter::IsInteger(3.5));
  EXPECT_FALSE(cOperationParameter::IsInteger(1e10));
  EXPECT_FALSE(cOperationParameter::IsInteger(std::numeric_limits<double>::quiet_NaN()));
}

TEST(ParameterScaling, ValuesBeyond32BitsAreRefusedNotWrapped)
{
  cOperationParameter p(Info(ptReal, "Sigma", 0, 100, 1));
  EXPECT_EQ(p.RealToData(1e300), std::numeric_limits<int>::max());
  EXPECT_EQ(p.RealToData(-1e300), std::numeric_limits<int>::min());
  EXPECT_DEATH(p.SetValue(1e300), Literally("(FMinBound<=TempValue)&&(TempValue<=FMaxBound)"));
  EXPECT_DEATH(p.SetValue(std::numeric_limits<double>::quiet_NaN()), "TempValue");
  EXPECT_DEATH(cOperationParameter(Info(ptReal, "Huge", 0, 1e9, 1)), "FitsData");
}

// --- values by type ---

TEST(ParameterValues, BooleanStoresOneForAnyNonZeroWithoutBoundsCheck)
{
  cOperationParameter b(Info(ptBoolean, "Recursive executing", 0, 1, 0));
  EXPECT_FALSE(b.GetBoolean());
  b.SetValue(7);
  EXPECT_EQ(b.GetRawValue(), 1);
  EXPECT_TRUE(b.GetBoolean());
  b.SetValue(false);
  EXPECT_FALSE(b.GetBoolean());
  b.SetValue(true);
  EXPECT_TRUE(b.GetBoolean());
  b.ResetToDefault();
  EXPECT_FALSE(b.GetBoolean());
}

TEST(ParameterValues, EnumeratedBoundsAreZeroAndTheChoiceCount)
{
  cOperationParameter e(Choices("Type", 3));
  int min = -1, max = -1;
  e.GetBounds(min, max);
  EXPECT_EQ(min, 0);
  EXPECT_EQ(max, 3);
  EXPECT_EQ(e.GetEnumStringCount(), 3);
  EXPECT_EQ(e.GetEnumString(2), "choice 2");
  e.SetValue(2);
  EXPECT_EQ(e.GetEnumSelectedIndex(), 2);
  EXPECT_EQ(e.GetReal(), 2.0);
}

TEST(ParameterValues, DefaultsAreRestoredAndCopiesAreIndependent)
{
  cOperationParameter p(Info(ptInteger, "Size", 0, 10, 4));
  cOperationParameter e(Choices("Kind", 2));
  p.SetValue(9);
  cOperationParameter copy(p);
  cOperationParameter enumCopy(e);
  copy.SetValue(1);
  EXPECT_EQ(p.GetInteger(), 9);
  EXPECT_EQ(enumCopy.GetEnumString(1), "choice 1");
  p.ResetToDefault();
  EXPECT_EQ(p.GetInteger(), 4);
  EXPECT_EQ(copy.GetInteger(), 1);
}

TEST(ParameterValues, ShortNameTakesTheInitialsInUpperCase)
{
  EXPECT_EQ(cOperationParameter(Info(ptInteger, "Window size", 0, 1, 0)).GetShortName(), "WS");
  EXPECT_EQ(cOperationParameter(Info(ptBoolean, "Recursive executing", 0, 1, 0)).GetShortName(), "RE");
  EXPECT_EQ(cOperationParameter(Info(ptReal, "threshold", 0, 1, 0)).GetShortName(), "T");
  EXPECT_EQ(cOperationParameter(Info(ptReal, "noise density level", 0, 1, 0)).GetShortName(), "NDL");
  EXPECT_EQ(cOperationParameter(Info(ptReal, "", 0, 1, 0)).GetShortName(), "");
}

// --- preconditions: each failure names its condition ---

TEST(ParameterPreconditions, DeclarationsMustBeConsistent)
{
  EXPECT_DEATH(cOperationParameter(Info(ptReal, "x", 1, 1, 1)),
               Literally("ParameterInfo.MinBound<ParameterInfo.MaxBound"));
  EXPECT_DEATH(cOperationParameter(Info(ptInteger, "x", 0.5, 3, 1)), Literally("IsInteger(ParameterInfo.MinBound)"));
  EXPECT_DEATH(cOperationParameter(Info(ptInteger, "x", 0, 3.5, 1)), Literally("IsInteger(ParameterInfo.MaxBound)"));
  EXPECT_DEATH(cOperationParameter(Info(ptInteger, "x", 0, 10, 3.5)),
               Literally("ParameterInfo.DefaultValue == (double)((int)ParameterInfo.DefaultValue)"));
  EXPECT_DEATH(cOperationParameter(Info(ptBoolean, "x", 0, 1, 0.5)), "DefaultValue");
  EXPECT_DEATH(cOperationParameter(Info(eParameterType(7), "x", 0, 1, 0)), "Assertion failed: false");
  // A real parameter accepts the same fractional default.
  EXPECT_EQ(cOperationParameter(Info(ptReal, "x", 0, 10, 3.5)).GetReal(), 3.5);
}

TEST(ParameterPreconditions, FailuresReportUnitAndLine)
{
  cOperationParameter r(Info(ptReal, "x", 0, 1, 0));
  EXPECT_DEATH(r.GetInteger(),
               "FParameterType == ptInteger, unit kvKernel_bpl\\\\kvOperations\\\\cOperationParameter, line [0-9]+");
}

TEST(ParameterPreconditions, AccessorsCheckTheType)
{
  cOperationParameter r(Info(ptReal, "x", 0, 1, 0));
  cOperationParameter i(Info(ptInteger, "x", 0, 5, 0));
  cOperationParameter b(Info(ptBoolean, "x", 0, 1, 0));
  cOperationParameter e(Choices("x", 2));
  double dmin, dmax;
  uint8_t precision;
  int imin, imax;
  EXPECT_DEATH(b.GetReal(), Literally("FParameterType != ptBoolean"));
  EXPECT_DEATH(b.GetBounds(dmin, dmax, precision), Literally("FParameterType != ptBoolean"));
  EXPECT_DEATH(i.GetBoolean(), Literally("FParameterType == ptBoolean"));
  EXPECT_DEATH(i.SetValue(true), Literally("FParameterType == ptBoolean"));
  EXPECT_DEATH(i.SetValue(1.0), Literally("FParameterType == ptReal"));
  EXPECT_DEATH(r.GetBounds(imin, imax), Literally("(FParameterType == ptInteger) || (FParameterType == ptEnumerated)"));
  EXPECT_DEATH(r.GetEnumSelectedIndex(), Literally("FParameterType == ptEnumerated"));
  EXPECT_DEATH(r.GetEnumStringCount(), Literally("FParameterType == ptEnumerated"));
  EXPECT_DEATH(r.GetEnumString(0), Literally("FParameterType == ptEnumerated"));
  EXPECT_DEATH(e.GetEnumString(2), Literally("Index < FEnumVector.size()"));
}

TEST(ParameterPreconditions, ValuesMustLieWithinTheBounds)
{
  cOperationParameter i(Info(ptInteger, "x", 1, 5, 1));
  i.SetValue(5);
  i.SetValue(1);
  EXPECT_DEATH(i.SetValue(6), Literally("(FMinBound<=theInteger)&&(theInteger<=FMaxBound)"));
  EXPECT_DEATH(i.SetValue(0), Literally("(FMinBound<=theInteger)&&(theInteger<=FMaxBound)"));
  cOperationParameter r(Info(ptReal, "x", 0, 1, 0));
  EXPECT_DEATH(r.SetValue(1.01), Literally("(FMinBound<=TempValue)&&(TempValue<=FMaxBound)"));
  EXPECT_DEATH(r.SetValue(-0.001), Literally("(FMinBound<=TempValue)&&(TempValue<=FMaxBound)"));
  EXPECT_DEATH(r.SetValue(2), Literally("(FMinBound<=TempValue)&&(TempValue<=FMaxBound)"));
  cOperationParameter e(Choices("x", 3));
  EXPECT_DEATH(e.SetValue(-1), Literally("theInteger >= 0"));
  EXPECT_DEATH(e.SetValue(3), Literally("(unsigned int)theInteger < FEnumVector.size()"));
  cOperationParameter none(Choices("x", 0));
  EXPECT_DEATH(none.GetEnumSelectedIndex(), Literally("FEnumVector.size() != 0"));
}

// --- parameter sets ---

TEST(ParameterSet, ShortInfoListsValuesByShortName)
{
  cOperationParams set;
  EXPECT_EQ(set.GetShortInfo(), "()");
  set.AddNewParam(Info(ptInteger, "Window size", 1, 15, 3));
  set.AddNewParam(Info(ptBoolean, "Recursive executing", 0, 1, 1));
  EXPECT_EQ(set.GetShortInfo(), "(WS=3;RE)");
  set.GetParam(1)->SetValue(false);
  EXPECT_EQ(set.GetShortInfo(), "(WS=3)");
}

TEST(ParameterSet, SeparatorFollowsTheIndexNotWhatWasWritten)
{
  cOperationParams set;
  set.AddNewParam(Info(ptBoolean, "Recursive executing", 0, 1, 0));
  set.AddNewParam(Info(ptInteger, "Window size", -5, 15, -3));
  set.AddNewParam(Choices("Mode", 2));
  set.AddNewParam(Info(ptReal, "Density", 0, 1, 0.47));
  set.AddNewParam(Info(ptReal, "Sigma", 0, 1000, 12.5, 1));
  EXPECT_EQ(set.GetShortInfo(), "(;WS=-3;D=0.47;S=12.5)");
}

TEST(ParameterSet, AddNewParamCopiesTheRecordSoItCanBeReused)
{
  cOperationParams set;
  sParameterInfo info = Info(ptInteger, "Window size", 1, 15, 3);
  set.AddNewParam(info);
  info.ParameterName = "Iterations";
  info.DefaultValue = 2;
  set.AddNewParam(info);
  ASSERT_EQ(set.GetParamsCount(), 2);
  EXPECT_EQ(set.GetParam(0)->GetName(), "Window size");
  EXPECT_EQ(set.GetParam(1)->GetInteger(), 2);
  EXPECT_DEATH(set.GetParam(2), Literally("ID<ParamsList->size()"));
  set.GetParam(0)->SetValue(9);
  set.GetParam(1)->SetValue(7);
  set.ResetToDefault();
  EXPECT_EQ(set.GetParam(0)->GetInteger(), 3);
  EXPECT_EQ(set.GetParam(1)->GetInteger(), 2);
  set.Clear();
  EXPECT_EQ(set.GetParamsCount(), 0);
}

TEST(ParameterSet, CopiesAndAssignmentsHoldIndependentLists)
{
  acOperation op;
  cOperationParams a(&op), b;
  a.AddNewParam(Info(ptInteger, "Window size", 1, 15, 3));
  a.AddNewParam(Choices("Mode", 3));
  b.AddNewParam(Info(ptReal, "Old", 0, 1, 0));  // released by the assignment

  b = a;
  cOperationParams c(a);
  ASSERT_EQ(b.GetParamsCount(), 2);
  EXPECT_EQ(b.GetOperation(), &op);
  EXPECT_EQ(c.GetOperation(), &op);
  EXPECT_NE(b.GetParam(0), a.GetParam(0));
  EXPECT_EQ(b.GetParam(1)->GetEnumString(2), "choice 2");
  b.GetParam(0)->SetValue(11);
  c.GetParam(0)->SetValue(13);
  EXPECT_EQ(a.GetParam(0)->GetInteger(), 3);
  EXPECT_EQ(b.GetParam(0)->GetInteger(), 11);
  EXPECT_EQ(c.GetParam(0)->GetInteger(), 13);
  b = b;
  EXPECT_EQ(b.GetParam(0)->GetInteger(), 11);
}

TEST(ParameterSet, NamesComeFromTheOwningOperation)
{
  acOperation op;
  op.Name = "Median";
  op.GroupName = "Median filters";
  cOperationParams owned(&op);
  EXPECT_EQ(owned.GetName(), "Median");
  EXPECT_EQ(owned.GetGroup(), "Median filters");
  cOperationParams loose;
  EXPECT_DEATH(loose.GetName(), Literally("itsOperation != NULL"));
  EXPECT_DEATH(loose.GetGroup(), Literally("itsOperation != NULL"));
  EXPECT_DEATH(cOperationParams(nullptr), Literally("theOperation != NULL"));
}

TEST(ParameterSet, ApplyingACopyReplacesTheOperationsLiveSet)
{
  acOperation op;
  op.Params->AddNewParam(Info(ptInteger, "Window size", 1, 15, 3));
  cOperationParams stored(*op.Params);
  stored.GetParam(0)->SetValue(7);
  EXPECT_EQ(op.Params->GetParam(0)->GetInteger(), 3);
  stored.ApplyToOperation();
  EXPECT_NE(op.Params, &stored);
  EXPECT_EQ(op.Params->GetParam(0)->GetInteger(), 7);
  EXPECT_EQ(op.GetShortInfoString(), "(WS=7)");
  // The stored copy stays usable for the next run.
  stored.GetParam(0)->SetValue(9);
  EXPECT_EQ(op.Params->GetParam(0)->GetInteger(), 7);
  // The live set would be deleted before it was copied.
  EXPECT_DEATH(op.Params->ApplyToOperation(), "ApplyToOperation on a copy");
}

// --- the tests' own access by name ---

TEST(ParameterByName, EachSetterReachesTheNamedParameterAndNoOther)
{
  acOperation op;
  op.Params->AddNewParam(Info(ptInteger, "Width size", 1, 27, 3));
  op.Params->AddNewParam(Info(ptReal, "Sigma", 0, 100, 10));
  op.Params->AddNewParam(Info(ptBoolean, "Recursive executing", 0, 1, 0));
  kvtest::SetParam(op, "Recursive executing", true);
  kvtest::SetParam(op, "Sigma", 2.5);
  kvtest::SetParam(op, "Width size", 7);
  EXPECT_EQ(op.GetShortInfoString(), "(WS=7;S=2.5;RE)");
}

TEST(ParameterByName, AnUnknownNameFailsTheTestNamingItAndTheOperation)
{
  acOperation op;
  op.Name = "Median Filter";
  op.Params->AddNewParam(Info(ptInteger, "Width size", 1, 27, 3));
  EXPECT_NONFATAL_FAILURE(kvtest::SetParam(op, "Width sise", 5), "no parameter \"Width sise\" in Median Filter");
  EXPECT_NONFATAL_FAILURE(kvtest::Param(op, "width size"), "no parameter \"width size\"");
  EXPECT_EQ(op.GetShortInfoString(), "(WS=3)");
}
