#pragma once
// Kernel message record and identifiers. The record mirrors the four-field window message.
#include <cstdint>

struct sMessage {
  uint32_t Msg = 0;
  int32_t WParam = 0;
  int32_t LParam = 0;
  int32_t Result = 0;
};

constexpr uint32_t WM_USER = 1024;
// The hub forwards these identifiers to observers.
constexpr uint32_t FirstForwardedMessage = WM_USER + 1;
constexpr uint32_t LastForwardedMessage = WM_USER + 100;

constexpr uint32_t VOID_MESSAGE = 1034;
constexpr uint32_t IMAGE_LOADED = 1035;
constexpr uint32_t IMAGE_CLOSED = 1036;
constexpr uint32_t FILTRATION_TERMINATED = 1037;
constexpr uint32_t FILTRATION_FINISHED = 1038;
constexpr uint32_t FILTRATION_STARTED = 1039;
constexpr uint32_t HISTORY_CHANGED = 1040;
constexpr uint32_t FILTRATION_PROGRESS = 1041;
constexpr uint32_t CURRENT_IMAGE_CHANGED = 1043;
constexpr uint32_t ORIGIN_REPLACED = 1044;
constexpr uint32_t GLOBAL_PARAMETERS_CHANGED = 1045;
constexpr uint32_t OPERATION_LOADED = 1049;
constexpr uint32_t ANALYZER_SERIES_READY = 1054;
constexpr uint32_t ANALYZER_POINT_READY = 1055;
