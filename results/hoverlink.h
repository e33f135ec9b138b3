#pragma once

#include <QColor>
#include <QCursor>
#include <QLabel>

// The program's own mouse pointer for clickable links: an arrow carrying a small chain link.
QCursor LinkCursor();

// A label that acts as a link: it shows the link pointer, changes its look while the mouse is over
// it, and reports clicks.
class HoverLinkLabel : public QLabel
{
    Q_OBJECT
public:
    enum class Style {
        RedItalic, // red and italic on hover, RGB(192, 64, 0) and upright otherwise
        Underline, // underlined on hover with the text as tooltip, dark blue throughout
    };

    HoverLinkLabel(const QString& objectName, const QString& text, Style style, QWidget* parent = nullptr);

    bool hovered() const { return hovered_; }
    // Back to the look without hover.
    void setPlain();

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setHovered();
    void setLook(const QColor& colour, bool italic, bool underline);

    Style style_;
    bool hovered_ = false;
};
