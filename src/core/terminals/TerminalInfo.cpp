#include "core/terminals/TerminalInfo.h"

#include <algorithm>

#include "core/app/CTarnDoc.h"
#include "core/terminals/TerminalDatabase.h"

std::string TerminalInfoText(const TerminalRecord& r) {
    const std::pair<const char*, const std::string*> entries[] = {
        {"Name:\t\t", &r.m_name},
        {"Version:\t\t", &r.m_version},
        {"Location:\t\t", &r.m_location},
        {"Contact:\t\t", &r.m_contact},
        {"CustomField1:\t", &r.m_customField1},
        {"CustomField2:\t", &r.m_customField2},
        {"CustomField3:\t", &r.m_customField3},
        {"Build#:\t\t", &r.m_buildNum},
        {"ModDate:\t\t", &r.m_modDate},
        {"IP Address:\t", &r.m_ip},
        {"MAC Address:\t", &r.m_macAdr},
        {"Platform:\t\t", &r.m_platForm},
    };
    std::string text;
    for (const auto& [label, value] : entries) {
        text += label;
        text += *value;
        text += "\n\n";
    }
    return text;
}

int ListItemFromPoint(int x, int y, bool& outside, const IListBoxGeometry& listBox) {
    int count = listBox.ItemCount();
    if (count == 0) {
        outside = true;
        return 0;
    }
    PixelRect window = listBox.WindowRect();
    int px = x - window.left;
    int py = y - window.top;
    PixelRect client = listBox.ClientRect();
    outside = !client.Contains(px, py);
    px = std::max(px, client.left);
    py = std::max(py, client.top);

    int best = -1;
    int first = listBox.TopIndex();
    if (first >= count) {
        return -1;
    }
    for (int i = first; i < count; ++i) {
        PixelRect item = listBox.ItemRect(i);
        item.bottom += 1;
        if (!client.Contains(item.left, item.top)) {
            return best;  // scrolled out of view
        }
        if (item.Contains(px, py)) {
            return i;
        }
        if (listBox.IsMultiColumn() && i + 1 < count && px >= item.left && px < item.right &&
            listBox.ItemRect(i + 1).left > item.left) {
            return i;
        }
        if (py >= item.top) {
            best = i;
        }
    }
    return best;
}

void CTarnDoc::ShowTerminalInfo(const MacByItemTable& macByItem, const std::string& name,
                                int index) const {
    if (m_state.Terminals().Empty()) {
        m_messages.ShowMessage("Something is Very Wrong Right Mouse Info", MessageIcon::Warning);
        return;
    }
    std::string text;
    if (auto mac = macByItem.At(index)) {
        if (auto entry = m_state.Terminals().FindByRow(*mac, name)) {
            text = TerminalInfoText(entry->record);
        }
    }
    m_messages.ShowMessage(text, MessageIcon::Information);
}
