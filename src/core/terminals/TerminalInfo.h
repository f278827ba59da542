#pragma once

#include <string>

#include "core/terminals/TerminalRecord.h"

// The identity pop-up's text: twelve "label value" entries, each followed by an
// empty line.
std::string TerminalInfoText(const TerminalRecord& record);

// The geometry of a list box that the hit test needs, in pixels. Window
// coordinates include the borders; client and item rectangles are relative to
// the client area's origin.
struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

class IListBoxGeometry {
public:
    virtual ~IListBoxGeometry() = default;
    virtual int ItemCount() const = 0;
    virtual int TopIndex() const = 0;
    virtual PixelRect WindowRect() const = 0;  // screen coordinates
    virtual PixelRect ClientRect() const = 0;
    virtual PixelRect ItemRect(int index) const = 0;
    virtual bool IsMultiColumn() const = 0;
};

// The item under the screen point (x, y), or the last item whose top is at or
// above it; -1 when none. `outside` tells whether the point missed the client area.
int ListItemFromPoint(int x, int y, bool& outside, const IListBoxGeometry& listBox);
