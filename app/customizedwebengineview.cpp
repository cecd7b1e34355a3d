#include "customizedwebengineview.h"

#include "dragregion.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QWebEnginePage>

namespace {

const QString kDragTitleScript = QStringLiteral(
    "JSON.stringify(document.querySelector('[data-drag-title]').getBoundingClientRect())");
const QString kNoDragTitleScript = QStringLiteral(
    "JSON.stringify(Array.prototype.slice.call(document.querySelectorAll('[data-nodrag-title]'))"
    ".map(item => item.getBoundingClientRect()))");

} // namespace

CustomizedWebEngineView::CustomizedWebEngineView(QWebEngineProfile *profile, QWidget *parent)
    : QWebEngineView(profile, parent), m_window(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setContextMenuPolicy(Qt::NoContextMenu);
}

bool CustomizedWebEngineView::event(QEvent *e)
{
    if (e->type() == QEvent::ChildPolished) {
        m_renderChild = static_cast<QChildEvent *>(e)->child();
        if (m_renderChild)
            m_renderChild->installEventFilter(this);
    }
    return QWebEngineView::event(e);
}

bool CustomizedWebEngineView::eventFilter(QObject *watched, QEvent *e)
{
    if (m_renderChild && watched == m_renderChild) {
        if (e->type() == QEvent::MouseButtonPress) {
            const auto *mouse = static_cast<QMouseEvent *>(e);
            if (mouse->button() == Qt::LeftButton) {
                const QPointF global = mouse->globalPosition();
                m_pressX = global.x() - m_window->x() - frameGeometry().left();
                m_pressY = global.y() - m_window->y() - frameGeometry().top();
                _executeJavaScriptForDragTitle(QPointF(m_pressX, m_pressY));
            }
        } else if (e->type() == QEvent::MouseMove) {
            const auto *mouse = static_cast<QMouseEvent *>(e);
            if ((mouse->buttons() & Qt::LeftButton) && m_dragEnabled)
                m_window->move(
                    dragWindowPosition(mouse->globalPosition(), QPointF(m_pressX, m_pressY)));
        }
    }
    return QWebEngineView::eventFilter(watched, e);
}

void CustomizedWebEngineView::_executeJavaScriptForDragTitle(const QPointF &pressPosition)
{
    page()->runJavaScript(kDragTitleScript, [this, pressPosition](const QVariant &result) {
        if (pressInDragTitle(pressPosition, result.toString()))
            _executeJavaScriptForNoDragTitle(pressPosition);
        else
            m_dragEnabled = false;
    });
}

void CustomizedWebEngineView::_executeJavaScriptForNoDragTitle(const QPointF &pressPosition)
{
    page()->runJavaScript(kNoDragTitleScript, [this, pressPosition](const QVariant &result) {
        m_dragEnabled = pressOutsideExemptions(pressPosition, result.toString());
    });
}
