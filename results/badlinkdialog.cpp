#include "badlinkdialog.h"

#include "hoverlink.h"
#include "resulttexts.h"
#include "resulttree.h"
#include "statusicons.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace {

QLabel* caption(const QString& objectName, const QString& text)
{
    auto* label = new QLabel(text);
    label->setObjectName(objectName);
    return label;
}

} // namespace

BadLinkDialog::BadLinkDialog(const LinkDetail& d, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frm_badlink"));
    setWindowTitle(ResultText::detailTitle());
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    int row = 0;
    const auto addPair = [&](QLabel* captionLabel, QLabel* value) {
        grid->addWidget(captionLabel, row, 0, Qt::AlignTop | Qt::AlignRight);
        grid->addWidget(value, row, 1);
        ++row;
    };
    addPair(caption(QStringLiteral("Label1"), ResultText::linkCaption()), linkLabel(QStringLiteral("mysite"), d.link));
    addPair(caption(QStringLiteral("Label2"), ResultText::parentCaption()),
            linkLabel(QStringLiteral("linksite"), d.parentLink));

    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(iconLabel(QStringLiteral("Image1"), StatusTimedOut, d.icon == LinkDetail::Icon::TimedOut));
    statusRow->addWidget(iconLabel(QStringLiteral("Image2"), StatusValid, d.icon == LinkDetail::Icon::Valid));
    statusRow->addWidget(iconLabel(QStringLiteral("Image3"), StatusDead, d.icon == LinkDetail::Icon::Dead));
    statusRow->addWidget(valueLabel(QStringLiteral("Label3"), d.status), 1);
    grid->addWidget(caption(QStringLiteral("Label4"), ResultText::statusCaption()), row, 0, Qt::AlignRight);
    grid->addLayout(statusRow, row++, 1);

    addPair(caption(QStringLiteral("Label5"), ResultText::descriptionCaption()),
            valueLabel(QStringLiteral("Label6"), d.description));
    addPair(caption(QStringLiteral("Label7"), ResultText::queryTimeCaption()),
            valueLabel(QStringLiteral("Label8"), d.queryTime));
    addPair(caption(QStringLiteral("Label10"), ResultText::depthCaption()), valueLabel(QStringLiteral("Label9"), d.depth));
    // Only a resource has a kind to show: the detail of a page keeps its six lines.
    if (!d.kind.isEmpty()) {
        addPair(caption(QStringLiteral("lblKindCaption"), ResultText::kindCaption()),
                valueLabel(QStringLiteral("lblKind"), d.kind));
    }
    setLayout(grid);
    setMinimumWidth(520);
}

QLabel* BadLinkDialog::valueLabel(const QString& objectName, const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(objectName);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLabel* BadLinkDialog::iconLabel(const QString& objectName, int statusCode, bool visible)
{
    auto* label = new QLabel(this);
    label->setObjectName(objectName);
    label->setPixmap(StatusIcons::pixmap(statusCode, 20));
    label->setVisible(visible);
    return label;
}

HoverLinkLabel* BadLinkDialog::linkLabel(const QString& objectName, const QString& text)
{
    auto* label = new HoverLinkLabel(objectName, text, HoverLinkLabel::Style::Underline, this);
    label->setWordWrap(true);
    connect(label, &HoverLinkLabel::clicked, this, [this, label] { emit linkClicked(label->text()); });
    return label;
}
