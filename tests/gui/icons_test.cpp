// Our drawn icons at the pixel densities of dense screens and scale factors: each is drawn at
// the device pixels it is shown with, never enlarged from a smaller picture.
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QTest>

#include "app/commands.h"
#include "app/icons.h"
#include "app/player_icons.h"

using namespace ostrel;

Q_DECLARE_METATYPE(QIcon)

namespace {

// The pixels alone, whatever density the picture is marked with.
QImage Pixels(const QPixmap& pixmap) {
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1.0);
    return image;
}

}  // namespace

class IconsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        // No icon theme: every command shows its own drawing.
        QIcon::setThemeSearchPaths({});
        QIcon::setThemeName(QStringLiteral("ostrel-test-none"));
    }

    void drawnAtTheDevicePixels_data() {
        QTest::addColumn<QIcon>("icon");
        QTest::addColumn<qreal>("scale");
        QList<QPair<QString, QIcon>> icons = {
            {"app", AppIcon()}, {"play", PlayIcon()}, {"pause", PauseIcon()}};
        for (const Command& command : CommandTable()) {
            if (const QIcon icon = CommandIcon(command.Id); !icon.isNull()) {
                icons.append({command.Name, icon});
            }
        }
        QVERIFY(icons.size() > 10);
        for (const auto& [name, icon] : icons) {
            for (const qreal scale : {1.0, 1.25, 2.0, 3.0}) {
                QTest::addRow("%s at %.2f", qPrintable(name), scale) << icon << scale;
            }
        }
    }

    void drawnAtTheDevicePixels() {
        QFETCH(QIcon, icon);
        QFETCH(qreal, scale);
        const QSize logical(32, 32);
        const QSize pixels = logical * scale;
        const QPixmap shown = icon.pixmap(logical, scale);
        QCOMPARE(shown.size(), pixels);
        QCOMPARE(shown.devicePixelRatio(), scale);
        // The same pixels as the icon drawn at that many pixels on an ordinary screen.
        const QImage drawn = Pixels(icon.pixmap(pixels, 1.0));
        QCOMPARE(Pixels(shown), drawn);
        QImage blank(drawn.size(), drawn.format());
        blank.fill(Qt::transparent);
        QVERIFY(drawn != blank);
        // A disabled command looks different (greyed by the style).
        QVERIFY(Pixels(icon.pixmap(logical, scale, QIcon::Disabled)) != drawn);
    }
};

QTEST_MAIN(IconsTest)
#include "icons_test.moc"
