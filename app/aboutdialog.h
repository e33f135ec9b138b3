#pragma once

#include <QDialog>
#include <QPixmap>

// The about window: the program's picture, its name and version, a word of thanks, a rule, the legal
// notice and the maker. It has no commands; its close box closes it.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

// The picture of the about window, drawn here so that no image file has to ship: a page with a link
// chain whose last ring is broken, under a magnifying glass.
QPixmap AboutPicture(int size);
