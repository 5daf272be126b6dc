// The toolkit every window builds with: how the control factory names and places controls,
// and the skin's icons with their faded disabled look.

#include "widgets/controlfactory.h"
#include "widgets/skin.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace ControlFactory;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);

// The summed opacity of a picture: how much of it is drawn.
qint64 coverage(const QPixmap &pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    qint64 sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            sum += qAlpha(image.pixel(x, y));
    }
    return sum;
}

} // namespace

class TestWidgets : public QObject
{
    Q_OBJECT

    QWidget m_form;

private Q_SLOTS:
    void captionNames_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("name");
        QTest::newRow("colon") << u"Profile:"_s << u"Profile"_s;
        QTest::newRow("blanks around") << u" Encoder: "_s << u"Encoder"_s;
        QTest::newRow("blank before the colon") << u"BitRate :"_s << u"BitRate"_s;
        QTest::newRow("double blank inside") << u"After  Done :"_s << u"After Done"_s;
        QTest::newRow("no colon: kept whole") << u"Volume"_s << u"Volume"_s;
    }
    void captionNames()
    {
        QFETCH(QString, caption);
        QFETCH(QString, name);
        QLabel label(caption);
        QCOMPARE(captionName(&label), name);
    }

    // Hint and spoken name: the hint is the tooltip, the name assistive tools read is the
    // spoken name or else the hint, and with both the hint becomes the description.
    void naming()
    {
        auto *hinted = named(new QToolButton(&m_form), u"hinted"_s, u"Stop adding"_s);
        QCOMPARE(hinted->objectName(), u"hinted"_s);
        QCOMPARE(hinted->toolTip(), u"Stop adding"_s);
        QCOMPARE(hinted->accessibleName(), u"Stop adding"_s);
        QVERIFY(hinted->accessibleDescription().isEmpty());

        auto *both = named(new QToolButton(&m_form), u"both"_s, u"Browse  Output Files"_s, u"Open"_s);
        QCOMPARE(both->accessibleName(), u"Open"_s);
        QCOMPARE(both->accessibleDescription(), u"Browse  Output Files"_s);

        // Neither: a name the control already has stays.
        auto *own = new QLabel(u"Support:"_s, &m_form);
        own->setAccessibleName(u"Support:"_s);
        QCOMPARE(placed(own, u"own"_s, QRect(1, 2, 30, 40))->accessibleName(), u"Support:"_s);
        QCOMPARE(own->geometry(), QRect(1, 2, 30, 40));
        QVERIFY(own->toolTip().isEmpty());
    }

    // Labels and buttons are named after their text with the blanks folded; a field and a
    // chooser after their caption, which becomes their label's buddy.
    void namesFromTexts()
    {
        QCOMPARE(label(&m_form, u"plain"_s, u"Audio  Quality:"_s, QRect())->accessibleName(), u"Audio Quality:"_s);
        QCOMPARE(button(&m_form, u"okBtn"_s, u" OK "_s, QRect())->accessibleName(), u"OK"_s);

        QLabel *caption = label(&m_form, u"promptLabel"_s, u"Please name this new profile:"_s, QRect());
        auto *edit = field(new QLineEdit(&m_form), u"profileEdit1"_s, QRect(), caption);
        QCOMPARE(caption->buddy(), edit);
        QCOMPARE(edit->accessibleName(), u"Please name this new profile"_s);

        QLabel *qualityLabel = label(&m_form, u"qualityLabel"_s, u"Audio Quality:"_s, QRect());
        QComboBox *quality
            = chooser(&m_form, u"AQualityBtn"_s, { u"High"_s, u"Normal"_s, u"Low"_s }, 1, QRect(), qualityLabel);
        QCOMPARE(quality->accessibleName(), u"Audio Quality"_s);
        QCOMPARE(qualityLabel->buddy(), quality);
        QCOMPARE(chooser(&m_form, u"empty"_s, {}, -1, QRect(), qualityLabel)->currentIndex(), -1);
    }

    // Our icons come from the icons folder beside the program; a missing one is no icon. A
    // disabled icon is the same picture, faded, so white symbols do not stay bright.
    void skinIcons()
    {
        QVERIFY(Skin::icon(kProgramDir, u"no-such-icon").isNull());
        QVERIFY(Skin::icon(u"/nonexistent"_s, u"play").isNull());
        const QIcon play = Skin::icon(kProgramDir, u"play");
        QVERIFY(!play.isNull());
        const qint64 normal = coverage(play.pixmap(QSize(24, 24), QIcon::Normal));
        const qint64 disabled = coverage(play.pixmap(QSize(24, 24), QIcon::Disabled));
        QVERIFY(normal > 0);
        QVERIFY2(disabled > normal / 4 && disabled < normal / 2, qPrintable(u"%1 of %2"_s.arg(disabled).arg(normal)));
        QCOMPARE(play.pixmap(QSize(28, 24)).size(), QSize(28, 24));
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
