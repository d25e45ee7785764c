#include "cProgressReporter.h"

#include <unistd.h>

#include <cstdio>

namespace {
std::string Seconds(double s)
{
  char text[32];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%dh%02dm", int(s / 3600), int(s / 60) % 60);
  else if (s >= 60)
    std::snprintf(text, sizeof text, "%dm%02ds", int(s / 60), int(s) % 60);
  else
    std::snprintf(text, sizeof text, "%.1fs", s);
  return text;
}
}  // namespace

cProgressReporter::cProgressReporter(std::string what, unsigned total)
    : What(std::move(what)),
      Total(total),
      Terminal(isatty(STDERR_FILENO) == 1),
      Started(std::chrono::steady_clock::now())
{}

void cProgressReporter::Step(unsigned done)
{
  Step(done, "");
}

void cProgressReporter::Step(unsigned done, const std::string& detail)
{
  const std::string more = detail.empty() ? "" : " (" + detail + ")";
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - Started).count();
  const double left = done > 0 && Total > done ? elapsed / done * (Total - done) : 0.0;
  if (Terminal) {
    const int width = 30;
    const int filled = Total ? int(double(width) * done / Total) : width;
    std::string bar(size_t(filled), '#');
    bar.resize(size_t(width), '.');
    std::fprintf(stderr, "\r%s [%s] %u/%u points%s, %s elapsed, ~%s left ", What.c_str(), bar.c_str(), done, Total,
                 more.c_str(), Seconds(elapsed).c_str(), Seconds(left).c_str());
    Drawn = true;
  } else {
    std::fprintf(stderr, "%s: %u/%u points%s, %s elapsed, ~%s left\n", What.c_str(), done, Total, more.c_str(),
                 Seconds(elapsed).c_str(), Seconds(left).c_str());
  }
  std::fflush(stderr);
}

void cProgressReporter::Finish()
{
  if (Terminal && Drawn) std::fprintf(stderr, "\n");
  Drawn = false;
}
