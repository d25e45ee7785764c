#pragma once
// The border rule of every neighbourhood computation (filters, windowed measures) and the
// window extent derived from a window size, in one place so that no filter keeps its own copy.
// Ends the program with the border rule's failed precondition: a line without samples.
[[noreturn]] void kvFoldOntoEmptyLine();

// Folds coordinate i onto 0..n-1: below 0 mirrors without repeating the edge sample, from n
// on mirrors with it repeated; applied once, so a window larger than the picture still lands
// inside it.
inline int kvFoldIndex(int i, int n)
{
  if (i < 0) i = -i;
  if (i >= n) {
    // An empty line has no sample to fold onto (and the modulo would divide by zero).
    if (n <= 0) kvFoldOntoEmptyLine();
    // Just past the edge, as nearly always, without the division.
    i = i < 2 * n ? 2 * n - 1 - i : n - (i % n) - 1;
  }
  return i;
}

// Reflects coordinate i onto 0..n-1 about both edges with the edge sample repeated (-1 -> 0,
// n -> n - 1), as often as needed, so a window many times wider than the picture still lands
// inside it. The rule of the filters that mirror whole rows and columns of a region.
inline int kvReflectIndex(int i, int n)
{
  if (i >= 0 && i < n) return i;
  if (n <= 0) kvFoldOntoEmptyLine();
  const int period = 2 * n;
  i %= period;
  if (i < 0) i += period;
  return i < n ? i : period - 1 - i;
}

// What a window reads around (x, y): columns x - Left .. x + Right, rows y - Up .. y + Down.
struct sWindowExtent {
  int Left = 0;
  int Right = 0;
  int Up = 0;
  int Down = 0;

  // A window of width x height samples: an even size reaches one further right (down).
  static constexpr sWindowExtent OfSize(int width, int height)
  {
    return {(width - 1) / 2, width / 2, (height - 1) / 2, height / 2};
  }
  // A square window reaching radius samples each way.
  static constexpr sWindowExtent OfRadius(int radius) { return {radius, radius, radius, radius}; }
  constexpr int Width() const { return Left + Right + 1; }
  constexpr int Height() const { return Up + Down + 1; }
  constexpr bool IsPoint() const { return Left == 0 && Right == 0 && Up == 0 && Down == 0; }
};
