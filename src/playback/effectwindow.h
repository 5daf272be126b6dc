#pragma once

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;

// The effect dialog's controls. Their object names are the form's (GroupBox1, TrackBar1,
// Label14, vsize, suiButton4, ...).
struct EffectControls
{
    QGroupBox *volumeGroup = nullptr;
    QSlider *volumeBar = nullptr;
    QLabel *scaleLabels[5] = {}; // 0 % to 400 % under the bar, left to right
    QLabel *volumeValue = nullptr; // the bar's value, shown above the thumb while it moves
    QCheckBox *normalizeBox = nullptr; // "Normalize loudness"
    QComboBox *targetChooser = nullptr; // its target, -14 to -23 LUFS
    QPushButton *resetButton = nullptr;
    QPushButton *okButton = nullptr;
    QPushButton *cancelButton = nullptr;
};

// The effect dialog: the output volume of one row, 0 % to 400 %, or normalising its
// loudness to a target instead.
class TEffectFrm : public QDialog
{
    Q_OBJECT

public:
    static constexpr QSize kClientSize { 413, 176 };

    explicit TEffectFrm(QWidget *parent = nullptr);

    const EffectControls &controls() const { return m_ui; }

    // Shows a row's loudness choice: the box checked with its target, or unchecked.
    void showNormalize(std::optional<int> targetLufs);

    void TrackBar1Change(int position);
    void suiButton4Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    EffectControls m_ui;
};
