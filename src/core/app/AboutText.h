#pragma once

#include <string>

class CTarnDoc;

// The About box's version line: the build's version (or "Version Problem"),
// ten spaces, "V", the template's version and "TPL".
std::string AboutVersionText(CTarnDoc& doc);
