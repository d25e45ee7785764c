#include "cCliError.h"

cCliError::cCliError(eKind kind, const std::string& message) : std::runtime_error(message), Kind(kind) {}
