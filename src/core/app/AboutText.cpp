#include "core/app/AboutText.h"

#include "core/app/CTarnDoc.h"
#include "core/staging/TemplateFile.h"

std::string AboutVersionText(CTarnDoc& doc) {
    std::string text = CTarnDoc::GetVersionText();
    if (text.empty()) {
        text = "Version Problem";
    }
    return text + "          V" + GetTemplateVersion(doc) + "TPL";
}
