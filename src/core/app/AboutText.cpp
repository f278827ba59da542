#include "app/AboutText.h"

#include "app/CTarnDoc.h"
#include "staging/TemplateFile.h"

std::string AboutVersionText() {
    std::string text = CTarnDoc::GetVersionText();
    if (text.empty()) {
        text = "Version Problem";
    }
    return text + "          V" + GetTemplateVersion() + "TPL";
}
