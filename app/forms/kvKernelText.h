#pragma once
// The kernel's names, titles and messages are 8-bit text in the user's encoding.
#include <QString>
#include <string>

inline QString FromKernel(const std::string& text)
{
  return QString::fromLocal8Bit(text.c_str());
}
