#pragma once

#include <string>
#include <string_view>

#include "core/staging/FilterIniFileTypes.h"

class CTarnDoc;
class ProfileStore;

// One value of the template file; the name is looked up in double quotes. The
// empty text when the file or the entry is missing; a value of 1998 characters
// or more throws OutOfBufferMemException.
std::string GetTemplateValue(ProfileStore& store, const std::string& file,
                             const std::string& section, const std::string& name);

// The template's "Version" entry of section "Template-Version", or the empty text.
std::string GetTemplateVersion(CTarnDoc& doc);

// Length of a UTF-8 text in UTF-16 code units: the template's buffers are
// counted in wide characters.
std::size_t WideCharacterCount(std::string_view utf8);
