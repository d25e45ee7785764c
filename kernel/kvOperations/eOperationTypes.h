#pragma once
// Operation type texts; stored and compared as text, they choose an operation's menu.
inline constexpr const char* otFilter = "otFilter";
inline constexpr const char* otNoise = "otNoise";
inline constexpr const char* otCompress = "otCompress";
inline constexpr const char* otBuiltIn = "otBuiltIn";
