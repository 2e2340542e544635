// The format dialog as a window: its profile menu, its place on the screen, its buttons, the
// output folder it checks, and its texts under a translation that lengthens them.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>
#include "app/conversion_ui.h"
#include "app/format_dialog.h"
#include "app/settings_grid_view.h"
#include "app/window_placement.h"
#include "fake_encoder.h"
#include "format_dialog_fixture.h"
#include "profiles/settings_grid_model.h"
#include "pseudo_translation.h"
#include "shown_text.h"

using namespace ostrel;
using namespace ostrel::testing;

class FormatDialogWindowTest : public FormatDialogFixture {
    Q_OBJECT

  private slots:
    void init() { SetUp(); }
    void cleanup() { dialog_.reset(); }
    void profileMenuUnderTheBox();
    void audioProfileHidesVideoControls();
    void moreExpandsAndCollapses();
    void positionInsideTheScreen_data();
    void positionInsideTheScreen();
    void expandedDialogStaysOnTheScreen();
    void cancelAndCloseBoxKeepTheChoice();
    void browseWritesTheChosenFolder();
    void invalidPathStopsTheRun_data();
    void invalidPathStopsTheRun();
    void relativeDestinationBecomesAbsolute_data();
    void relativeDestinationBecomesAbsolute();
    void pseudoTranslationFits();
};

void FormatDialogWindowTest::profileMenuUnderTheBox() {
    auto* format = Child<QComboBox>(dialog_.get(), "ComboFormat");
    QMenu* menu = dialog_->ProfileMenu();
    // Three sub-menus at the top; every profile of the catalogue is an entry somewhere below.
    QCOMPARE(menu->actions().size(), 3);
    int profiles = 0;
    for (QAction* action : menu->findChildren<QAction*>()) {
        profiles += action->data().isValid() ? 1 : 0;
    }
    QCOMPARE(profiles, static_cast<int>(AllProfiles().size()));

    QTest::mouseClick(format, Qt::LeftButton);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), format->mapToGlobal(QPoint(0, format->height())));
    QTest::keyClick(menu, Qt::Key_Escape);
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(format->currentText(), QStringLiteral("MP4 - H264 Video (*.mp4)"));  // unchanged

    // A device profile's entry tells in one line what the device plays; a format's tells nothing.
    QCOMPARE(FindProfileAction(menu, "iPod - H264 Video for TV")->toolTip(),
             QStringLiteral("Plays on iPod (5th generation): H.264 Baseline 3.0, up to 640x480, "
                            "1.5 Mbit/s"));
    QCOMPARE(FindProfileAction(menu, "MP4 - H264 Video (*.mp4)")->toolTip(),
             QStringLiteral("MP4 - H264 Video (*.mp4)"));

    FindProfileAction(menu, "iPhone - H.264 Video")->trigger();
    QCOMPARE(Items(format), QStringList{"iPhone - H.264 Video"});
    QCOMPARE(Child<QLineEdit>(dialog_.get(), "TextW")->text(), QStringLiteral("480"));
    QCOMPARE(Child<QLineEdit>(dialog_.get(), "TextH")->text(), QStringLiteral("320"));
    QCOMPARE(dialog_->Model().Grid().Text(GridItem::Extension), QStringLiteral("mp4"));
}

void FormatDialogWindowTest::audioProfileHidesVideoControls() {
    QAction* mp3 = FindProfileAction(dialog_->ProfileMenu(), "MP3 - MPEG Layer-3 Audio (*.mp3)");
    QVERIFY(mp3 != nullptr);
    mp3->trigger();
    QCOMPARE(Child<QComboBox>(dialog_.get(), "ComboFormat")->currentText(),
             QStringLiteral("MP3 - MPEG Layer-3 Audio (*.mp3)"));
    QVERIFY(IsRowHidden(GridModel()->IndexOfCategory(GridCategory::VideoSettings)));
    QVERIFY(IsRowHidden(GridModel()->IndexOfItem(GridItem::RemoveAudio)));
    QVERIFY(!IsRowHidden(GridModel()->IndexOfItem(GridItem::AudioBitrate)));
    QCOMPARE(Child<QComboBox>(dialog_.get(), "ComboSize")->isEnabled(),
             dialog_->Model().IsSizeEnabled());
    QCOMPARE(Child<QComboBox>(dialog_.get(), "ComboVideoQ")->isEnabled(),
             dialog_->Model().IsVideoQualityEnabled());
    QVERIFY(!Child<QComboBox>(dialog_.get(), "ComboVideoQ")->isEnabled());

    FindProfileAction(dialog_->ProfileMenu(), "iPhone - H.264 Video")->trigger();
    QVERIFY(!IsRowHidden(GridModel()->IndexOfCategory(GridCategory::VideoSettings)));
    QVERIFY(!IsRowHidden(GridModel()->IndexOfItem(GridItem::RemoveAudio)));
    QVERIFY(Child<QComboBox>(dialog_.get(), "ComboVideoQ")->isEnabled());
}

void FormatDialogWindowTest::moreExpandsAndCollapses() {
    auto* more = Child<QPushButton>(dialog_.get(), "BtnMore");
    QTest::mouseClick(more, Qt::LeftButton);
    QCOMPARE(Shown(more->text()), QStringLiteral("More <<"));
    QVERIFY(dialog_->Grid()->isVisible());
    // 818 pixels, or the screen's width on a narrower screen, with the whole grid inside.
    const int screenWidth = dialog_->screen()->availableGeometry().width();
    QCOMPARE(dialog_->frameGeometry().width(), qMin(818, screenWidth));
    QVERIFY(dialog_->Grid()->geometry().right() < dialog_->width());
    QVERIFY(dialog_->Grid()->width() > 200);
    // The grid's category rows and items are all there, in order.
    QCOMPARE(GridModel()->rowCount(), 3);
    QCOMPARE(GridModel()->index(0, 0).data().toString(), QStringLiteral("Output File"));
    QTest::mouseClick(more, Qt::LeftButton);
    QCOMPARE(Shown(more->text()), QStringLiteral("More >>"));
    QVERIFY(!dialog_->Grid()->isVisible());
    QCOMPARE(dialog_->frameGeometry().width(), 487);
}

void FormatDialogWindowTest::positionInsideTheScreen_data() {
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QPoint>("placed");
    // In a screen area of 1024 x 768.
    QTest::newRow("inside stays") << QRect(100, 100, 400, 300) << QPoint(100, 100);
    QTest::newRow("past the right edge") << QRect(800, 100, 818, 400) << QPoint(206, 100);
    QTest::newRow("past the bottom") << QRect(100, 600, 400, 300) << QPoint(100, 468);
    QTest::newRow("left of the screen") << QRect(-50, -20, 400, 300) << QPoint(0, 0);
    QTest::newRow("wider than the screen") << QRect(300, 0, 1200, 300) << QPoint(0, 0);
}

void FormatDialogWindowTest::positionInsideTheScreen() {
    QFETCH(QRect, frame);
    QFETCH(QPoint, placed);
    QCOMPARE(PositionInside(frame, QRect(0, 0, 1024, 768)), placed);
}

// "More" near the right edge of the screen moves the dialog left rather than past the edge.
void FormatDialogWindowTest::expandedDialogStaysOnTheScreen() {
    const QRect area = dialog_->screen()->availableGeometry();
    dialog_->move(area.right() - dialog_->frameGeometry().width() - 10, area.top() + 40);
    QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnMore"), Qt::LeftButton);
    QVERIFY(dialog_->Model().IsGridExpanded());
    const QRect frame = dialog_->frameGeometry();
    QVERIFY(frame.width() > 487);
    QVERIFY(frame.left() >= area.left());
    if (frame.width() <= area.width()) {
        QVERIFY2(area.contains(frame), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                      .arg(frame.x())
                                                      .arg(frame.y())
                                                      .arg(frame.width())
                                                      .arg(frame.height())));
    }
    QCOMPARE(frame.top(), area.top() + 40);
}

void FormatDialogWindowTest::cancelAndCloseBoxKeepTheChoice() {
    FindProfileAction(dialog_->ProfileMenu(), "iPhone - H.264 Video")->trigger();
    SelectByKeys(Child<QComboBox>(dialog_.get(), "ComboVideoQ"), 0);
    QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnCancel"), Qt::LeftButton);
    QVERIFY(!dialog_->isVisible());
    dialog_->show();
    QCOMPARE(Child<QComboBox>(dialog_.get(), "ComboFormat")->currentText(),
             QStringLiteral("iPhone - H.264 Video"));
    QCOMPARE(Child<QComboBox>(dialog_.get(), "ComboVideoQ")->currentIndex(), 0);

    QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnMore"), Qt::LeftButton);
    dialog_->close();  // the close box
    QVERIFY(!dialog_->isVisible());
    dialog_->show();
    QCOMPARE(Child<QComboBox>(dialog_.get(), "ComboFormat")->currentText(),
             QStringLiteral("iPhone - H.264 Video"));
    QCOMPARE(Shown(Child<QPushButton>(dialog_.get(), "BtnMore")->text()),
             QStringLiteral("More <<"));
}

void FormatDialogWindowTest::browseWritesTheChosenFolder() {
    QString answer = QStringLiteral("/srv/videos out");
    int asked = 0;
    dialog_->SetFolderChooser([&](QWidget* owner) {
        ++asked;
        return owner == dialog_.get() ? answer : QString();
    });
    QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnBrowse"), Qt::LeftButton);
    QCOMPARE(Child<QLineEdit>(dialog_.get(), "TextFolder")->text(), answer);
    answer.clear();  // cancelled: the folder stays
    QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnBrowse"), Qt::LeftButton);
    QCOMPARE(asked, 2);
    QCOMPARE(dialog_->Model().Settings().DestinationFolder, QStringLiteral("/srv/videos out"));
}

void FormatDialogWindowTest::invalidPathStopsTheRun_data() {
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("missing") << false;
    QTest::newRow("read-only") << true;
}

void FormatDialogWindowTest::invalidPathStopsTheRun() {
    QFETCH(bool, readOnly);
    dialog_.reset();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString folder = dir.path() + QStringLiteral("/missing");
    if (readOnly) {
        folder = dir.path();
        QVERIFY(QFile::setPermissions(
            folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup));
    }

    QWidget mainWindow;
    testing::FakeEncoder encoder;
    QString outputFolder = folder;
    ConversionUi ui(&mainWindow, encoder, outputFolder);
    FileRow row;
    row.FileName = dir.path() + QStringLiteral("/in.avi");
    ui.Convert({row});
    auto* dialog = mainWindow.findChild<FormVideoFormat*>();
    QVERIFY(dialog != nullptr);
    QStringList messages;
    int chooserOpened = 0;
    dialog->SetErrorMessageFunction([&](QWidget*, const QString& caption, const QString& text) {
        messages << caption + QLatin1Char('|') + text;
    });
    dialog->SetFolderChooser([&](QWidget*) {
        ++chooserOpened;
        return QString();
    });

    QTest::mouseClick(Child<QPushButton>(dialog, "BtnOK"), Qt::LeftButton);
    QCOMPARE(messages, QStringList{"Error|Invalid path!"});
    QCOMPARE(chooserOpened, 1);
    QVERIFY(dialog->isVisible());
    QCOMPARE(Child<QLineEdit>(dialog, "TextFolder")->text(), folder + QLatin1Char('/'));
    QVERIFY(encoder.calls.empty());
    QCOMPARE(outputFolder, folder);
    QVERIFY(mainWindow.findChild<QDialog*>(QStringLiteral("FormConverting")) == nullptr);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void FormatDialogWindowTest::relativeDestinationBecomesAbsolute_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("inHome");  // the folder it names, inside the home folder
    QTest::newRow("relative") << "out"
                              << "out";
    QTest::newRow("relative with blanks") << "  out  "
                                          << "out";
    QTest::newRow("tilde") << "~/Videos"
                           << "Videos";
    QTest::newRow("a real name ending in a blank") << "out "
                                                   << "out ";
}

// A relative destination is taken in the home folder, not in the folder the program was
// started from, and everything after OK sees it absolute: the box, the rows and the folder
// that is stored.
void FormatDialogWindowTest::relativeDestinationBecomesAbsolute() {
    QFETCH(QString, typed);
    QFETCH(QString, inHome);
    dialog_.reset();
    QTemporaryDir home;
    QTemporaryDir elsewhere;
    QVERIFY(home.isValid() && elsewhere.isValid());
    for (const char* name : {"out", "Videos", "out "}) {
        QVERIFY(QDir(home.path()).mkdir(QString::fromLatin1(name)));
        QVERIFY(QDir(elsewhere.path()).mkdir(QString::fromLatin1(name)));
    }
    const QByteArray savedHome = qgetenv("HOME");
    const QString savedCurrent = QDir::currentPath();
    qputenv("HOME", QFile::encodeName(home.path()));
    QDir::setCurrent(elsewhere.path());
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", savedHome);
        QDir::setCurrent(savedCurrent);
    });

    QWidget mainWindow;
    testing::FakeEncoder encoder;
    QString outputFolder = QStringLiteral("/tmp/");
    ConversionUi ui(&mainWindow, encoder, outputFolder);
    FileRow row;
    row.FileName = elsewhere.path() + QStringLiteral("/in.avi");
    ui.Convert({row});
    auto* dialog = mainWindow.findChild<FormVideoFormat*>();
    QVERIFY(dialog != nullptr);
    QStringList messages;
    dialog->SetErrorMessageFunction(
        [&](QWidget*, const QString&, const QString& text) { messages << text; });
    dialog->SetFolderChooser([](QWidget*) { return QString(); });
    auto* box = Child<QLineEdit>(dialog, "TextFolder");
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, typed);
    QTest::mouseClick(Child<QPushButton>(dialog, "BtnOK"), Qt::LeftButton);

    const QString expected = home.path() + QLatin1Char('/') + inHome + QLatin1Char('/');
    QCOMPARE(messages, QStringList());
    QCOMPARE(outputFolder, expected);
    QCOMPARE(box->text(), expected);
    auto* progress = mainWindow.findChild<QDialog*>(QStringLiteral("FormConverting"));
    QVERIFY(progress != nullptr);
    auto* rows = progress->findChild<QTreeView*>(QStringLiteral("ListView1"));
    QCOMPARE(rows->model()->index(0, 0).data().toString(), expected + QStringLiteral("in.mp4"));
    progress->close();
}

// Every caption, list entry and grid text is translated and has its room, also where the
// English layout places a caption at a fixed position before its control.
void FormatDialogWindowTest::pseudoTranslationFits() {
    Lengthening lengthening;
    QCoreApplication::installTranslator(&lengthening);
    const auto removal =
        qScopeGuard([&lengthening] { QCoreApplication::removeTranslator(&lengthening); });
    init();
    FormVideoFormat* d = dialog_.get();
    QTest::mouseClick(Child<QPushButton>(d, "BtnMore"), Qt::LeftButton);
    PseudoFaults pseudo;
    for (const QLabel* label : d->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty() || label->wordWrap()) {
            continue;
        }
        // The caption's text ends before any control beside it, and no control reaches into it.
        int room = label->contentsRect().width();
        const QRect text(
            label->pos(),
            QSize(label->fontMetrics().horizontalAdvance(Shown(label->text())), label->height()));
        for (const QWidget* other :
             label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QRect g = other->geometry();
            if (other == label || !other->isVisible() || g.top() >= label->geometry().bottom() ||
                g.bottom() <= label->y()) {
                continue;
            }
            if (g.left() > label->x()) {
                room = qMin(room, g.left() - label->x());
            } else if (g.intersects(text)) {
                pseudo.faults << "covered: " + label->text() + " by " + other->objectName();
            }
        }
        pseudo.Check(label->text(), room, label->fontMetrics());
    }
    for (const QPushButton* button : d->findChildren<QPushButton*>()) {
        pseudo.Check(button->text(), button->width() - 8, button->fontMetrics());
    }
    for (const char* name : {"ComboSize", "ComboVideoQ", "ComboAudioQ"}) {
        auto* combo = Child<QComboBox>(d, name);
        pseudo.Check(combo->itemText(0), combo->width() - 24, combo->fontMetrics());
    }
    // Item texts are drawn inside the style's margins on both sides.
    const int margins = 2 * (Tree()->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    for (int category = 0; category < GridModel()->rowCount(); ++category) {
        const QModelIndex parent = GridModel()->index(category, SettingsGridModel::CaptionColumn);
        const QVariant font = parent.data(Qt::FontRole);  // categories may be bold
        pseudo.Check(parent.data().toString(), Tree()->visualRect(parent).width() - margins,
                     QFontMetrics(font.isValid() ? font.value<QFont>() : Tree()->font()));
        for (int row = 0; row < GridModel()->rowCount(parent); ++row) {
            const QModelIndex caption =
                GridModel()->index(row, SettingsGridModel::CaptionColumn, parent);
            if (!IsRowHidden(caption)) {
                pseudo.Check(caption.data().toString(),
                             Tree()->visualRect(caption).width() - margins, Tree()->fontMetrics());
            }
        }
    }
    KeepShot(*d, QStringLiteral("format_pseudo"));
    QVERIFY2(pseudo.faults.isEmpty(), qPrintable(pseudo.faults.join(u'\n')));
}

QTEST_MAIN(FormatDialogWindowTest)
#include "format_dialog_window_test.moc"
