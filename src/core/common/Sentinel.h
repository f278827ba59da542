#pragma once

#include <string>

// The not-found sentinel of every settings read, and the success text of a SET
// and of a transfer request.
inline const std::string kNoneNoneNone = "NoneNoneNone";
