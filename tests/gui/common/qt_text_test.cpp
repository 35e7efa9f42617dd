#include <QTest>

#include "core/text/code_page.h"
#include "gui/common/qt_text.h"
#include "support/qt_test_main.h"

namespace vel {

class QtTextTest final : public QObject {
    Q_OBJECT

private slots:
    void shiftJisRoundTrips()
    {
        const std::string bytes = "\x83\x54\x83\x43\x83\x67\x96\xBC abc";  // "サイト名 abc"
        QCOMPARE(toQString(bytes), QStringLiteral("サイト名 abc"));
        QCOMPARE(fromQString(QStringLiteral("サイト名 abc")), bytes);
        // The CP932 extensions (NEC row 13: circled one) survive both ways.
        const std::string circledOne = "\x87\x40";
        QCOMPARE(toQString(circledOne), QStringLiteral("①"));
        QCOMPARE(fromQString(QStringLiteral("①")), circledOne);
        QCOMPARE(fromQString(QStringLiteral("～")), std::string("\x81\x60"));
    }

    void singleByteSettingMapsBytesOneToOne()
    {
        setCurrentCodePage(CodePage::SingleByte);
        const std::string bytes = "\x83\x54\xE9";
        const QString text = toQString(bytes);
        QCOMPARE(text.size(), 3);
        QCOMPARE(fromQString(text), bytes);
        setCurrentCodePage(CodePage::Cp932);
    }

    void pageBytesFollowThePageCharset()
    {
        const std::string utf8 = "\xE5\x86\x99.jpg";  // "写.jpg" in UTF-8
        QCOMPARE(toQString(utf8, PageCharset::Utf8), QStringLiteral("写.jpg"));
        QVERIFY(toQString(utf8, PageCharset::CodePage) != QStringLiteral("写.jpg"));
        const std::string sjis = "\x8e\xca.jpg";  // "写.jpg" in Shift-JIS
        QCOMPARE(toQString(sjis, PageCharset::CodePage), QStringLiteral("写.jpg"));
    }

    void embeddedNulIsKept()
    {
        const std::string bytes("a\0b", 3);
        QCOMPARE(fromQString(toQString(bytes)), bytes);
    }
};

}  // namespace vel

VEL_QTEST_GUILESS_MAIN(vel::QtTextTest)
#include "qt_text_test.moc"
