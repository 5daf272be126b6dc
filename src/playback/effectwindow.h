#pragma once

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;

// The effect dialog: the output volume of one row, 0 % to 400 %, or normalising its
// loudness to a target instead.
class TEffectFrm : public QDialog
{
    Q_OBJECT

public:
    static constexpr QSize kClientSize { 413, 176 };

    explicit TEffectFrm(QWidget *parent = nullptr);

    QGroupBox *GroupBox1 = nullptr;
    QSlider *TrackBar1 = nullptr;
    QLabel *Label14 = nullptr;
    QLabel *Label15 = nullptr;
    QLabel *Label16 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *vsize = nullptr;
    QPushButton *suiButton4 = nullptr;
    QPushButton *okBtn = nullptr;
    QPushButton *suiButton3 = nullptr;
    QCheckBox *normalizeBox = nullptr; // "Normalize loudness"
    QComboBox *targetBox = nullptr; // its target, -14 to -23 LUFS

    // Shows a row's loudness choice: the box checked with its target, or unchecked.
    void showNormalize(std::optional<int> targetLufs);

    void TrackBar1Change(int position);
    void suiButton4Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
