#pragma once

#include "checksettings.h"
#include "settingsrecord.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;

// The check settings frame: subdomains, no repeats, link text, timeout and depth. Every change the
// user makes that belongs in the stored record is announced with saveRequested().
class SettingsPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit SettingsPanel(QWidget* parent = nullptr);

    // Applies the fields a stored record holds; announces nothing.
    void apply(const SettingsRecord& record);
    // The five fields of the controls (the checked site is not theirs). The timeout field is the last
    // text of the box in range: a save for another control must not store "1|2" or "5".
    SettingsRecord record() const;
    // The settings of a run; `timeout` must already be checked.
    CheckSettings checkSettings(int timeout) const;
    QString timeoutText() const;
    // Puts the keyboard focus on the timeout box.
    void focusTimeout();
    // Requests a run keeps in flight (1 to 64); not part of the record.
    int parallel() const;
    void setParallel(int requests); // announces nothing
    // Whether images, scripts, style sheets, frames and media are checked too; not part of the record.
    bool resources() const;
    void setResources(bool on); // announces nothing
    // Whether pages that answer normally but say they are missing count as dead; not part of the record.
    bool contentCheck() const;
    void setContentCheck(bool on); // announces nothing
    // When pages are drawn by the browser before they are read; not part of the record.
    RenderMode renderMode() const;
    void setRenderMode(RenderMode mode); // announces nothing

signals:
    void saveRequested();
    void parallelChanged(int requests);
    void resourcesChanged(bool on);
    void contentCheckChanged(bool on);
    void renderModeChanged(RenderMode mode);
    // The timeout box was left with a value out of range; it shows the stored value again.
    void timeoutRefused();

private:
    void onDepthMoved(int value);
    void onTimeoutChanged(const QString& text);
    void onTimeoutLeft();

    QCheckBox* check9_;
    QCheckBox* check10_;
    QCheckBox* check13_;
    QCheckBox* resources_;
    QCheckBox* contentCheck_;
    QComboBox* render_;
    QLineEdit* text3_;
    QSlider* slider1_;
    QLabel* lblnum_;
    QSpinBox* parallel_;
    bool applying_ = false;
    QString storedTimeout_ = QStringLiteral("10");
};

// The page query timeout a run accepts, in seconds.
constexpr int kMinTimeout = 10;
constexpr int kMaxTimeout = 30;
// True when the text is a whole number of seconds in that range (the timeout box saves only then).
bool IsTimeoutInRange(const QString& text);
