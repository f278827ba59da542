#pragma once

#include <QPoint>

class CTarnDoc;
class MacByItemTable;
class QListWidget;

// The item of `list` under the screen point, or the last item above it; -1 when
// none. `outside` tells whether the point missed the list's client area.
int ListItemFromPoint(const QPoint& screenPoint, bool& outside, const QListWidget& list);

// The right-click identity pop-up of a dialog's terminal list box: a click on
// an item shows everything the console knows about that terminal.
// Rows map to records through the main list's table (`macByItem`), whose order
// the dialogs' lists share.
void ShowTerminalInfoAt(CTarnDoc& doc, const MacByItemTable& macByItem, const QListWidget& list,
                        const QPoint& screenPoint);
void InstallTerminalInfoPopup(CTarnDoc& doc, const MacByItemTable& macByItem, QListWidget* list);
