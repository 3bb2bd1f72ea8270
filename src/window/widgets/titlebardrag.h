// Moving a frameless window by its own title bar: the main window and both message
// dialogs share this rule, so a press on the title bar's edge behaves the same everywhere.
#pragma once

#include <QPoint>
#include <QPointF>
#include <QSize>

class TitleBarDrag
{
public:
    // A left press at pos (relative to the window) starts a drag when it lies inside the
    // title bar's extent, both bounds inclusive.
    void press(const QPointF &pos, const QSize &titleBar)
    {
        m_pressPos = pos.toPoint();
        if (m_pressPos.x() <= titleBar.width() && m_pressPos.y() <= titleBar.height())
            m_dragging = true;
    }

    bool isDragging() const { return m_dragging; }

    // The window's new top left corner for a cursor at globalPos.
    QPoint target(const QPointF &globalPos) const { return globalPos.toPoint() - m_pressPos; }

    void release() { m_dragging = false; }

private:
    QPoint m_pressPos;
    bool m_dragging = false;
};
