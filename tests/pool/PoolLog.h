#pragma once
// A record shared by the test and its test packages, which outlives every package: the
// packages' operations write into it when they are deleted at unload.
#include <string>
#include <vector>

void PoolLogAppend(const std::string& line);
std::vector<std::string> PoolLogLines();
void PoolLogClear();
