#include "settingspanel.h"

#include "maintexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

template <typename W> W* named(W* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

// The settings column scrolls: a slider or spin box passing under the pointer must not take the wheel
// and store a new value. Without the focus the wheel goes on to the column.
class WheelNeedsFocus : public QObject
{
public:
    explicit WheelNeedsFocus(QWidget* widget) : QObject(widget)
    {
        widget->setFocusPolicy(Qt::StrongFocus);
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel || static_cast<QWidget*>(watched)->hasFocus()) {
            return false;
        }
        event->ignore();
        return true;
    }
};

} // namespace

bool IsTimeoutInRange(const QString& text)
{
    bool ok = false;
    const int seconds = text.trimmed().toInt(&ok);
    return ok && seconds >= kMinTimeout && seconds <= kMaxTimeout;
}

SettingsPanel::SettingsPanel(QWidget* parent) : QGroupBox(MainText::settingsFrame(), parent)
{
    setObjectName(QStringLiteral("Frame4"));
    check9_ = named(new QCheckBox(MainText::subdomains()), QStringLiteral("Check9"));
    check10_ = named(new QCheckBox(MainText::noRepeats()), QStringLiteral("Check10"));
    check13_ = named(new QCheckBox(MainText::linkText()), QStringLiteral("Check13"));
    resources_ = named(new QCheckBox(MainText::resources()), QStringLiteral("chkResources"));
    contentCheck_ = named(new QCheckBox(MainText::contentCheck()), QStringLiteral("chkContentCheck"));
    contentCheck_->setChecked(true);
    render_ = named(new QComboBox, QStringLiteral("cboRender"));
    render_->addItems({MainText::renderAuto(), MainText::renderAlways(), MainText::renderNever()});
    text3_ = named(new QLineEdit(QStringLiteral("10")), QStringLiteral("Text3"));
    text3_->setMaximumWidth(48);
    // Digits only; the range is told when the box is left.
    text3_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), text3_));
    slider1_ = named(new QSlider(Qt::Horizontal), QStringLiteral("Slider1"));
    slider1_->setRange(0, kWholeSiteDepth);
    slider1_->setPageStep(1);
    slider1_->setTickPosition(QSlider::TicksBelow);
    slider1_->setValue(1);
    lblnum_ = named(new QLabel(QStringLiteral("1")), QStringLiteral("lblnum"));
    // As wide as the widest reading, so that the slider keeps its length whatever it reads.
    lblnum_->setMinimumWidth(lblnum_->fontMetrics().horizontalAdvance(MainText::depthReading(kWholeSiteDepth)));
    check10_->setChecked(true);
    parallel_ = named(new QSpinBox, QStringLiteral("spinParallel"));
    parallel_->setRange(1, kMaxParallel);
    parallel_->setValue(kDefaultParallel);
    new WheelNeedsFocus(slider1_);
    new WheelNeedsFocus(parallel_);

    // Four rows: the left column must fit a 1366x768 screen without scrolling.
    auto* scopeRow = new QHBoxLayout;
    scopeRow->addWidget(check9_);
    scopeRow->addWidget(resources_);
    scopeRow->addStretch();
    scopeRow->addWidget(named(new QLabel(MainText::renderCaption()), QStringLiteral("lblRender")));
    scopeRow->addWidget(render_);
    auto* boxesRow = new QHBoxLayout;
    boxesRow->addWidget(check10_);
    boxesRow->addWidget(check13_);
    boxesRow->addWidget(contentCheck_);
    boxesRow->addStretch();
    auto* timeoutRow = new QHBoxLayout;
    timeoutRow->addWidget(named(new QLabel(MainText::timeoutCaption()), QStringLiteral("Label14")));
    timeoutRow->addWidget(text3_);
    timeoutRow->addWidget(named(new QLabel(MainText::seconds()), QStringLiteral("Label35")));
    timeoutRow->addStretch();
    timeoutRow->addWidget(named(new QLabel(MainText::parallelCaption()), QStringLiteral("lblParallel")));
    timeoutRow->addWidget(parallel_);
    auto* depthRow = new QHBoxLayout;
    depthRow->addWidget(named(new QLabel(MainText::depthCaption()), QStringLiteral("Label5")));
    depthRow->addWidget(slider1_, 1);
    depthRow->addWidget(lblnum_);

    auto* box = new QVBoxLayout(this);
    box->setSpacing(4);
    box->addLayout(scopeRow);
    box->addLayout(boxesRow);
    box->addLayout(timeoutRow);
    box->addLayout(depthRow);

    for (QCheckBox* c : {check9_, check10_, check13_}) {
        connect(c, &QCheckBox::clicked, this, &SettingsPanel::saveRequested);
    }
    connect(slider1_, &QSlider::valueChanged, this, &SettingsPanel::onDepthMoved);
    connect(text3_, &QLineEdit::textChanged, this, &SettingsPanel::onTimeoutChanged);
    connect(text3_, &QLineEdit::editingFinished, this, &SettingsPanel::onTimeoutLeft);
    // A click is the user's; setResources() changes the box without one, so it announces nothing.
    connect(resources_, &QCheckBox::clicked, this, &SettingsPanel::resourcesChanged);
    connect(contentCheck_, &QCheckBox::clicked, this, &SettingsPanel::contentCheckChanged);
    connect(render_, &QComboBox::activated, this, [this] { emit renderModeChanged(renderMode()); });
    connect(parallel_, &QSpinBox::valueChanged, this, [this](int value) {
        if (!applying_) {
            emit parallelChanged(value);
        }
    });
}

void SettingsPanel::onDepthMoved(int value)
{
    lblnum_->setText(MainText::depthReading(value));
    if (!applying_) {
        emit saveRequested();
    }
}

// Only a timeout a run accepts is stored, so the stored settings always start a run.
void SettingsPanel::onTimeoutChanged(const QString& text)
{
    if (!applying_ && IsTimeoutInRange(text)) {
        storedTimeout_ = text;
        emit saveRequested();
    }
}

// Left with a value out of range, the box shows the stored one again, and the user is told the range.
void SettingsPanel::onTimeoutLeft()
{
    if (IsTimeoutInRange(text3_->text())) {
        return;
    }
    text3_->setText(IsTimeoutInRange(storedTimeout_) ? storedTimeout_ : QString::number(kMinTimeout));
    emit timeoutRefused();
}

void SettingsPanel::apply(const SettingsRecord& r)
{
    applying_ = true;
    if (r.depth) {
        slider1_->setValue(*r.depth);
        lblnum_->setText(MainText::depthReading(*r.depth));
    }
    if (r.subdomains) {
        check9_->setChecked(*r.subdomains);
    }
    if (r.noRepeats) {
        check10_->setChecked(*r.noRepeats);
    }
    if (r.linkText) {
        check13_->setChecked(*r.linkText);
    }
    if (r.timeout) {
        text3_->setText(*r.timeout);
        storedTimeout_ = *r.timeout;
    }
    applying_ = false;
}

SettingsRecord SettingsPanel::record() const
{
    SettingsRecord r;
    r.depth = slider1_->value();
    r.subdomains = check9_->isChecked();
    r.noRepeats = check10_->isChecked();
    r.linkText = check13_->isChecked();
    r.timeout = storedTimeout_;
    return r;
}

CheckSettings SettingsPanel::checkSettings(int timeout) const
{
    CheckSettings s;
    s.depth = slider1_->value();
    s.subdomains = check9_->isChecked();
    s.noRepeats = check10_->isChecked();
    s.linkText = check13_->isChecked();
    s.timeout = timeout;
    s.parallel = parallel_->value();
    s.resources = resources_->isChecked();
    s.contentCheck = contentCheck_->isChecked();
    s.render = renderMode();
    return s;
}

int SettingsPanel::parallel() const
{
    return parallel_->value();
}

void SettingsPanel::setParallel(int requests)
{
    applying_ = true;
    parallel_->setValue(requests);
    applying_ = false;
}

bool SettingsPanel::resources() const
{
    return resources_->isChecked();
}

void SettingsPanel::setResources(bool on)
{
    resources_->setChecked(on);
}

bool SettingsPanel::contentCheck() const
{
    return contentCheck_->isChecked();
}

void SettingsPanel::setContentCheck(bool on)
{
    contentCheck_->setChecked(on);
}

RenderMode SettingsPanel::renderMode() const
{
    return static_cast<RenderMode>(std::clamp(render_->currentIndex(), 0, 2));
}

void SettingsPanel::setRenderMode(RenderMode mode)
{
    render_->setCurrentIndex(static_cast<int>(mode));
}

QString SettingsPanel::timeoutText() const
{
    return text3_->text();
}

void SettingsPanel::focusTimeout()
{
    text3_->setFocus(Qt::OtherFocusReason);
}
