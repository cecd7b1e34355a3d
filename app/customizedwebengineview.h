#pragma once

#include <QPointF>
#include <QPointer>
#include <QWebEngineView>

class QWebEngineProfile;

// The web view that fills the frameless window. Dragging the page's title area moves the window:
// on each left press the view asks the page where its title area and exempt controls are, and
// mouse moves with the left button held then move the window.
class CustomizedWebEngineView : public QWebEngineView
{
    Q_OBJECT

public:
    // `parent` is the window that dragging moves.
    CustomizedWebEngineView(QWebEngineProfile *profile, QWidget *parent);

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void _executeJavaScriptForDragTitle(const QPointF &pressPosition);
    void _executeJavaScriptForNoDragTitle(const QPointF &pressPosition);

    double m_pressX = 0;
    double m_pressY = 0;
    // The child that receives the page's mouse input.
    QPointer<QObject> m_renderChild;
    bool m_dragEnabled = false;
    QWidget *m_window;
};
