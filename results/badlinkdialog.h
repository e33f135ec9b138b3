#pragma once

#include "linkdetail.h"

#include <QDialog>

class HoverLinkLabel;
class QLabel;

// The link detail window: six caption/value pairs and the status icon of one node.
class BadLinkDialog : public QDialog
{
    Q_OBJECT
public:
    explicit BadLinkDialog(const LinkDetail& detail, QWidget* parent = nullptr);

signals:
    // The user clicked the link or the parent link; the address is the label's text.
    void linkClicked(const QString& address);

private:
    QLabel* valueLabel(const QString& objectName, const QString& text);
    QLabel* iconLabel(const QString& objectName, int statusCode, bool visible);
    HoverLinkLabel* linkLabel(const QString& objectName, const QString& text);
};
