// The main window on a real X server: every tab caption is drawn with real
// glyphs of the chosen font, not with empty boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "KelvsU1.h"
#include "KvAbout.h"
#include "ViewerTestSupport.h"

namespace {

QImage RenderText(const QString& text, const QFont& font) {
    const QFontMetrics metrics(font);
    QImage image(metrics.horizontalAdvance(text) + 4, metrics.height() + 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(2, 2 + metrics.ascent(), text);
    return image;
}

int InkedPixels(const QImage& image, const QRect& area) {
    int inked = 0;
    const QColor background = image.pixelColor(area.topLeft());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) != background) ++inked;
    return inked;
}

TEST(Screen, TheTenTabCaptionsShowRealGlyphs) {
    if (qEnvironmentVariableIsSet("KVS_NO_DISPLAY")) GTEST_SKIP() << "no X display";
    TScriptedDialogs dialogs;
    TfrmKVS window(nullptr, FakePageFactory());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(200);

    QTabBar* bar = window.PageCtrl()->tabBar();
    const QFont font = bar->font();
    EXPECT_TRUE(QFontInfo(font).family().contains("CJK")) << QFontInfo(font).family().toStdString();
    const QFontMetrics metrics(font);

    const QImage shot = window.grab().toImage();
    if (const QByteArray dir = qgetenv("KELV_SCREENSHOT_DIR"); !dir.isEmpty())
        shot.save(QString::fromLocal8Bit(dir) + "/viewer_main_window.png");

    ASSERT_EQ(bar->count(), 10);
    EXPECT_LE(bar->tabRect(9).right(), bar->width()) << "all ten tabs fit the window";
    for (int i = 0; i < bar->count(); ++i) {
        const QString caption = bar->tabText(i);
        for (char32_t c : caption.toUcs4())
            EXPECT_TRUE(metrics.inFontUcs4(c)) << "tab " << i << " lacks U+" << std::hex << uint32_t(c);
        // Different characters must look different: missing glyphs are all the same box.
        QSet<QString> characters;
        QSet<QByteArray> looks;
        for (char32_t c : caption.toUcs4()) {
            const QString ch = QString::fromUcs4(&c, 1);
            if (ch.trimmed().isEmpty() || characters.contains(ch)) continue;
            characters.insert(ch);
            const QImage glyph = RenderText(ch, font);
            looks.insert(QByteArray(reinterpret_cast<const char*>(glyph.constBits()), glyph.sizeInBytes()));
        }
        EXPECT_EQ(looks.size(), characters.size()) << "tab " << i << " caption renders as boxes";
        // And the tab in the screenshot carries ink.
        const QRect tab(bar->mapTo(&window, bar->tabRect(i).topLeft()), bar->tabRect(i).size());
        EXPECT_GT(InkedPixels(shot, tab.adjusted(4, 4, -4, -4)), 20) << "tab " << i;
    }
}

TEST(Screen, TheAboutBoxShowsTheProgramFile) {
    if (qEnvironmentVariableIsSet("KVS_NO_DISPLAY")) GTEST_SKIP() << "no X display";
    TfrmABT box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::qWait(100);
    const QImage shot = box.grab().toImage();
    if (const QByteArray dir = qgetenv("KELV_SCREENSHOT_DIR"); !dir.isEmpty())
        shot.save(QString::fromLocal8Bit(dir) + "/viewer_about_box.png");
    for (QWidget* w : std::initializer_list<QWidget*>{box.lblEXEMei, box.lblEXEDate, box.lblEXETime, box.btnYes}) {
        const QRect area(w->mapTo(&box, QPoint(0, 0)), w->size());
        EXPECT_GT(InkedPixels(shot, area.adjusted(1, 1, -1, -1)), 10) << w->objectName().toStdString();
    }
}

}  // namespace
