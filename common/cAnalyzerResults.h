#pragma once
// The analyzer's results as a table: the swept parameter's values in the first column, one
// column per series. Both front ends write it, so their files have the same layout.
#include "cPaperTable.h"
#include "cResultTable.h"

class cKvadraSystem;

class cAnalyzerResults {
public:
  // Header: the swept parameter's name, then the series names. One row per sweep value with a
  // point in at least one series; a series without a point for it (the experiment stopped
  // before) has an empty cell. While an experiment runs, only the points made so far count.
  // With several criteria a first column "criterion" names each row's, and each criterion has
  // its block of rows.
  static cResultTable Build(const cKvadraSystem& system);
  // The paper's table of the experiment: a row per restoration, a group of columns per sweep
  // value with a column per criterion; points not made are empty cells.
  static cPaperTable PaperTable(const cKvadraSystem& system);
};
