#include "gui/common/TerminalInfoPopup.h"

#include <QListWidget>

#include "core/app/CTarnDoc.h"
#include "core/terminals/TerminalInfo.h"

namespace {

PixelRect ToPixelRect(const QRect& r) {
    return PixelRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

// The list widget seen as the hit test's list box. The viewport is both the
// window and the client area, so a point converts exactly to item coordinates.
class ListWidgetGeometry final : public IListBoxGeometry {
public:
    explicit ListWidgetGeometry(const QListWidget& list) : m_list(list) {}
    int ItemCount() const override { return m_list.count(); }
    // The first row whose top-left corner is in view, from the rows' own
    // rectangles: probing a point near the corner misses between rows (item
    // spacing) and when a row is scrolled partly out at the top.
    int TopIndex() const override {
        QRect viewport = m_list.viewport()->rect();
        for (int row = 0; row < m_list.count(); ++row) {
            if (!m_list.isRowHidden(row) &&
                viewport.contains(m_list.visualItemRect(m_list.item(row)).topLeft())) {
                return row;
            }
        }
        return m_list.count();
    }
    PixelRect WindowRect() const override {
        QPoint origin = m_list.viewport()->mapToGlobal(QPoint(0, 0));
        return ToPixelRect(QRect(origin, m_list.viewport()->size()));
    }
    PixelRect ClientRect() const override { return ToPixelRect(m_list.viewport()->rect()); }
    PixelRect ItemRect(int index) const override {
        return ToPixelRect(m_list.visualItemRect(m_list.item(index)));
    }
    bool IsMultiColumn() const override {
        return m_list.flow() == QListView::LeftToRight && m_list.isWrapping();
    }

private:
    const QListWidget& m_list;
};

}  // namespace

int ListItemFromPoint(const QPoint& screenPoint, bool& outside, const QListWidget& list) {
    return ListItemFromPoint(screenPoint.x(), screenPoint.y(), outside, ListWidgetGeometry(list));
}

void ShowTerminalInfoAt(CTarnDoc& doc, const MacByItemTable& macByItem, const QListWidget& list,
                        const QPoint& screenPoint) {
    bool outside = true;
    int index = ListItemFromPoint(screenPoint, outside, list);
    if (outside || index < 0) {
        return;
    }
    doc.ShowTerminalInfo(macByItem, list.item(index)->text().toStdString(), index);
}

void InstallTerminalInfoPopup(CTarnDoc& doc, const MacByItemTable& macByItem, QListWidget* list) {
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(list, &QListWidget::customContextMenuRequested, list,
                     [&doc, &macByItem, list](const QPoint& pos) {
                         ShowTerminalInfoAt(doc, macByItem, *list,
                                            list->viewport()->mapToGlobal(pos));
                     });
}
