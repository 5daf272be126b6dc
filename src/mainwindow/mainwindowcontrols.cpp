#include "mainwindow/mainwindowcontrols.h"

#include "mainwindow/backgroundpanel.h"
#include "mainwindow/picturebutton.h"
#include "mainwindow/skin.h"
#include "profiles/profilecatalogue.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

// Names a control and gives it the name assistive tools read: its caption, or its hint when
// it has none.
template <typename Widget>
Widget *named(Widget *widget, const QString &objectName, const QString &hint = {}, const QString &spokenName = {})
{
    widget->setObjectName(objectName);
    if (!hint.isEmpty())
        widget->setToolTip(hint);
    widget->setAccessibleName(spokenName.isEmpty() ? hint : spokenName);
    if (!hint.isEmpty() && !spokenName.isEmpty())
        widget->setAccessibleDescription(hint);
    return widget;
}

QLabel *label(QWidget *parent, const QString &objectName, const QString &text, const QRect &geometry)
{
    auto *l = named(new QLabel(text, parent), objectName, {}, text.simplified());
    l->setGeometry(geometry);
    return l;
}

QPushButton *button(QWidget *parent, const QString &objectName, const QString &caption, const QRect &geometry,
    const QIcon &icon, const QString &hint = {})
{
    auto *b = named(new QPushButton(caption, parent), objectName, hint, caption.trimmed());
    b->setGeometry(geometry);
    b->setIcon(icon);
    b->setIconSize(QSize(16, 16));
    return b;
}

QToolButton *imageButton(
    QWidget *parent, const QString &objectName, const QString &hint, const QRect &geometry, const QIcon &icon)
{
    auto *b = named(new QToolButton(parent), objectName, hint);
    b->setGeometry(geometry);
    b->setIcon(icon);
    b->setIconSize(QSize(18, 18));
    b->setAutoRaise(false);
    return b;
}

QComboBox *chooser(QWidget *parent, const QString &objectName, const QStringList &items, int selected,
    const QRect &geometry, QLabel *caption)
{
    auto *c = named(new QComboBox(parent), objectName, {}, caption->text().simplified().chopped(1).trimmed());
    c->addItems(items);
    c->setCurrentIndex(selected);
    c->setGeometry(geometry);
    caption->setBuddy(c);
    return c;
}

} // namespace

void MainWindowControls::build(QWidget *form, const QString &programFolder)
{
    const auto icon = [&programFolder](QStringView name) { return Skin::icon(programFolder, name); };

    suiImagePanel1 = new BackgroundPanel(form);
    suiImagePanel1->setObjectName(u"suiImagePanel1"_s);
    suiImagePanel1->setAccessibleName(u"TOLM Audio Converter"_s);
    suiImagePanel1->setGeometry(0, 0, 795, 562);
    suiImagePanel1->setHeaderHeight(108);
    suiImagePanel1->setCards({ QRect(10, 116, 494, 310), QRect(512, 116, 273, 310), QRect(10, 434, 775, 118) });
    QWidget *panel = suiImagePanel1;

    // Title strip
    appIcon = named(new QLabel(panel), u"appIcon"_s, {}, u"TOLM Audio Converter"_s);
    appIcon->setGeometry(14, 7, 22, 22);
    appIcon->setPixmap(icon(u"logo").pixmap(QSize(22, 22)));
    appIcon->setAttribute(Qt::WA_TransparentForMouseEvents);
    appLabel = label(panel, u"appLabel"_s, u"TOLM Audio Converter"_s, QRect(44, 7, 300, 22));
    appLabel->hide(); // start-up shows it
    minBtn = named(new QToolButton(panel), u"minBtn"_s, {}, u"Minimise"_s);
    minBtn->setGeometry(729, 6, 28, 24);
    minBtn->setIcon(icon(u"minimize"));
    closeBtn = named(new QToolButton(panel), u"closeBtn"_s, {}, u"Close"_s);
    closeBtn->setGeometry(761, 6, 28, 24);
    closeBtn->setIcon(icon(u"close"));

    // Tool row
    const auto toolButton = [&](const QString &name, int x, int width, QStringView iconName) {
        auto *b = named(new QToolButton(panel), name);
        b->setProperty("toolButton", true);
        b->setGeometry(x, 40, width, 61);
        b->setIcon(icon(iconName));
        b->setIconSize(QSize(28, 28));
        return b;
    };
    const auto toolCaption
        = [&](const QString &name, const QString &text, int x, QToolButton *owner, const QString &hint = {}) {
              auto *l = label(panel, name, text, QRect(x, 104, 60, 14));
              l->setProperty("toolCaption", true);
              l->adjustSize();
              // The caption names its button; pressing the caption presses the button.
              l->setAttribute(Qt::WA_TransparentForMouseEvents);
              if (!hint.isEmpty()) {
                  l->setToolTip(hint);
                  owner->setToolTip(hint);
                  owner->setAccessibleDescription(hint);
              }
              owner->setAccessibleName(text);
              return l;
          };
    addButton = toolButton(u"addButton"_s, 14, 63, u"add");
    trimBtn = toolButton(u"trimBtn"_s, 90, 63, u"trim");
    trimBtn->setEnabled(false);
    effectBtn = toolButton(u"effectBtn"_s, 166, 63, u"effect");
    effectBtn->setEnabled(false);
    aboutBtn = toolButton(u"aboutBtn"_s, 242, 63, u"about");
    helpBtn = toolButton(u"helpBtn"_s, 307, 60, u"help");
    addLabel = toolCaption(u"addLabel"_s, u"Add"_s, 34, addButton, u"add  movies"_s);
    trimLabel = toolCaption(u"trimLabel"_s, u"Trim"_s, 110, trimBtn, u"select  start time  and end  time"_s);
    effectLabel = toolCaption(u"effectLabel"_s, u"Effect"_s, 186, effectBtn);
    aboutLabel = toolCaption(u"aboutLabel"_s, u"About"_s, 262, aboutBtn);
    helpLabel = toolCaption(u"helpLabel"_s, u"Help"_s, 327, helpBtn, u"what can I help you?"_s);
    const int separatorX[3] = { 83, 159, 235 };
    for (int i = 0; i < 3; ++i) {
        auto *separator = named(new QFrame(panel), u"separator%1"_s.arg(i + 1), {}, u"separator"_s);
        separator->setProperty("separator", true);
        separator->setGeometry(separatorX[i], 50, 1, 41);
        separator->setAttribute(Qt::WA_TransparentForMouseEvents);
        toolSeparators[i] = separator;
    }

    // Source list
    listPanel = named(new QWidget(panel), u"listPanel"_s, {}, u"Source files"_s);
    listPanel->setGeometry(14, 120, 486, 264);
    auto *dropHint = new QLabel(listPanel);
    dropHint->setObjectName(u"dropHint"_s);
    dropHint->setPixmap(icon(u"drop").pixmap(QSize(96, 96)));
    dropHint->setAlignment(Qt::AlignCenter);
    dropHint->setGeometry(listPanel->rect());
    dropHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    dropHint->setAccessibleName(u"Source files"_s);

    listview = named(new QTreeWidget(listPanel), u"listview"_s, {}, u"Source files"_s);
    listview->setGeometry(listPanel->rect());
    listview->setColumnCount(5);
    listview->setHeaderLabels({ u"Source"_s, u"File Size"_s, u"Duration"_s, u"Destination"_s, u"Status"_s });
    for (int column = 1; column < 5; ++column)
        listview->headerItem()->setTextAlignment(column, Qt::AlignCenter);
    listview->setColumnWidth(0, 140);
    listview->setColumnWidth(1, 80);
    listview->setColumnWidth(2, 80);
    listview->setColumnWidth(3, 120);
    listview->setColumnWidth(4, 60);
    listview->header()->setStretchLastSection(false);
    listview->header()->setSectionsMovable(false);
    listview->setRootIsDecorated(false);
    listview->setItemsExpandable(false);
    listview->setUniformRowHeights(true);
    listview->setAllColumnsShowFocus(true);
    listview->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listview->setSelectionBehavior(QAbstractItemView::SelectRows);
    listview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listview->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    listview->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The selection stays as visible when the list loses the focus.
    QPalette listPalette = listview->palette();
    for (const QPalette::ColorRole role : { QPalette::Highlight, QPalette::HighlightedText })
        listPalette.setColor(QPalette::Inactive, role, listPalette.color(QPalette::Active, role));
    listview->setPalette(listPalette);
    listview->hide();

    listEdit = named(new QLineEdit(listview->viewport()), u"listEdit"_s, {}, u"Destination"_s);
    listEdit->hide();

    mUpBtn = button(panel, u"mUpBtn"_s, u"  Move Up"_s, QRect(14, 390, 110, 30), icon(u"moveup"));
    mDownBtn = button(panel, u"mDownBtn"_s, u"    MoveDown"_s, QRect(130, 390, 126, 30), icon(u"movedown"));
    delBtn = button(panel, u"delBtn"_s, u"     Remove"_s, QRect(262, 390, 118, 30), icon(u"remove"));
    clearBtn = button(panel, u"clearBtn"_s, u"Clear"_s, QRect(386, 390, 86, 30), icon(u"clear"));

    // Preview
    videoNamelabel = label(panel, u"videoNamelabel"_s, u"Preview the source file"_s, QRect(520, 122, 257, 20));
    videoNamelabel->setAlignment(Qt::AlignCenter);
    playpanel = named(new QFrame(panel), u"playpanel"_s, {}, u"Preview"_s);
    playpanel->setGeometry(517, 146, 263, 196);
    TrackBar1 = named(new QSlider(Qt::Horizontal, panel), u"TrackBar1"_s, {}, u"Preview position"_s);
    TrackBar1->setGeometry(517, 350, 263, 22);
    TrackBar1->setRange(0, 100);
    TrackBar1->setValue(0);
    TrackBar1->setPageStep(10);
    TrackBar1->setEnabled(false);
    moveEdit = label(panel, u"moveEdit"_s, u"00:00:00"_s, QRect(517, 330, 60, 18));
    moveEdit->hide();
    previewBtn = imageButton(panel, u"previewBtn"_s, u"Play"_s, QRect(520, 384, 36, 32), icon(u"play"));
    previewBtn->setEnabled(false);
    pauseBtn = imageButton(panel, u"pauseBtn"_s, u"Pause"_s, previewBtn->geometry(), icon(u"pause"));
    pauseBtn->setEnabled(false);
    pauseBtn->hide(); // Play and Pause share their place; one shows at a time
    stopBtn = imageButton(panel, u"stopBtn"_s, u"Stop"_s, QRect(562, 384, 36, 32), icon(u"stop"));
    stopBtn->setEnabled(false);
    pretimeLabel = label(panel, u"pretimeLabel"_s, u"00:00:00 / 00:00:00"_s, QRect(606, 384, 172, 32));
    pretimeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // Output
    const int labelX = 20, labelWidth = 82, fieldX = 106;
    profileLabel = label(panel, u"profileLabel"_s, u"Profile:"_s, QRect(labelX, 444, labelWidth, 28));
    profileBox = chooser(panel, u"profileBox"_s, BuiltInProfileNames(), 0, QRect(fieldX, 444, 286, 28), profileLabel);
    profileBox->setMaxVisibleItems(20);
    profileBox->view()->setMinimumWidth(340); // long profile names show whole in the list
    qualityLabel = label(panel, u"qualityLabel"_s, u"Audio Quality:"_s, QRect(398, 444, 86, 28));
    qualityLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    AQualityBtn = chooser(
        panel, u"AQualityBtn"_s, { u"High"_s, u"Normal"_s, u"Low"_s }, 1, QRect(488, 444, 82, 28), qualityLabel);
    settingBtn = imageButton(
        panel, u"settingBtn"_s, u"Advanced Profile Settings"_s, QRect(574, 444, 30, 28), icon(u"settings"));

    destinationLabel = label(panel, u"destinationLabel"_s, u"Destination:"_s, QRect(labelX, 478, labelWidth, 28));
    pathdir = named(new QLineEdit(panel), u"pathdir"_s, {}, u"Destination"_s);
    pathdir->setGeometry(fieldX, 478, 306, 28);
    destinationLabel->setBuddy(pathdir);
    browseBtn = button(panel, u"browseBtn"_s, u"Browse"_s, QRect(418, 478, 90, 28), icon(u"browse"));
    OpenBtn = button(panel, u"OpenBtn"_s, u"Open"_s, QRect(514, 478, 90, 28), icon(u"open"), u"Browse  Output Files"_s);

    afterDoneLabel = label(panel, u"afterDoneLabel"_s, u"After  Done :"_s, QRect(labelX, 512, labelWidth, 28));
    afterDoneBox = chooser(panel, u"afterDoneBox"_s,
        { u"No Action"_s, u"Browse Output"_s, u"Turn Off"_s, u"Hibernate"_s, u"Stand By"_s }, 0,
        QRect(fieldX, 512, 150, 28), afterDoneLabel);
    ProgressBar1 = named(new QProgressBar(panel), u"ProgressBar1"_s, {}, u"Progress"_s);
    ProgressBar1->setGeometry(266, 514, 300, 24);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    progressEdit = label(panel, u"progressEdit"_s, u"Please   add   file(s)"_s, ProgressBar1->geometry());
    progressEdit->setAlignment(Qt::AlignCenter);
    progressEdit->raise();
    logBtn = imageButton(panel, u"logBtn"_s, u"View Log"_s, QRect(574, 512, 30, 28), icon(u"log"));

    startButton = named(new PictureButton(panel), u"startButton"_s, u"encoder"_s);
    startButton->setGeometry(611, 444, 172, 98);
    startButton->setSymbol(icon(u"start"));
    startButton->loadDisabledPicture(programFolder + u"/skin/start-a.bmp"_s);
    startButton->setEnabled(false);

    Timer1 = new QTimer(form);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(100);
}
