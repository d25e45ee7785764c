#pragma once
// Messages of the analyzer (1054, 1055).
namespace cAnalyzerMessenger {
void SendAnalyzerSeriesReady();
void SendAnalyzerPointReady();
}  // namespace cAnalyzerMessenger
