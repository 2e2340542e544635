// The files the desktop reads about us agree with the program: the menu entry offers every
// media type the open dialog accepts, the ids of the entry, icon and metainfo match the id the
// window announces, and the manual pages describe every option that --help lists.
#include <gtest/gtest.h>
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <map>

#include "app/open_with.h"
#include "filelist/file_adder.h"
#include "qt_printers.h"

namespace {

const QString kDataDir = QStringLiteral(OSTREL_DATA_DIR);

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The keys of the [Desktop Entry] group.
std::map<QString, QString> DesktopEntry() {
    std::map<QString, QString> keys;
    bool inEntry = false;
    const QString text = ReadText(kDataDir + u'/' + ostrel::kDesktopEntryId + ".desktop");
    for (const QString& line : text.split(u'\n')) {
        if (line.startsWith(u'[')) {
            inEntry = line == QStringLiteral("[Desktop Entry]");
        } else if (const qsizetype equals = line.indexOf(u'='); inEntry && equals > 0) {
            keys[line.left(equals)] = line.mid(equals + 1);
        }
    }
    return keys;
}

QSet<QString> ListValue(const QString& value) {
    const QStringList items = value.split(u';', Qt::SkipEmptyParts);
    return {items.begin(), items.end()};
}

// The text of every element with the given name.
QStringList MetainfoTexts(const QString& element) {
    QStringList texts;
    QXmlStreamReader xml(ReadText(kDataDir + u'/' + ostrel::kDesktopEntryId + ".metainfo.xml"));
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == element) {
            texts.append(xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed());
        }
    }
    return texts;
}

TEST(DesktopEntry, OffersEveryMediaTypeTheOpenDialogAccepts) {
    // The types the system's MIME database gives the extensions of the filter table; the
    // catch-all "*.*" entry and extensions the database does not know stand for no type.
    const QMimeDatabase database;
    QSet<QString> expected;
    for (const ostrel::OpenFilterEntry& entry : ostrel::OpenFilterTable()) {
        for (const QString& pattern : entry.Pattern.split(u';', Qt::SkipEmptyParts)) {
            if (pattern == QStringLiteral("*.*")) {
                continue;
            }
            for (const QMimeType& type :
                 database.mimeTypesForFileName(QStringLiteral("x") + pattern.mid(1))) {
                expected.insert(type.name());
            }
        }
    }
    ASSERT_GT(expected.size(), 20);
    const QSet<QString> offered = ListValue(DesktopEntry()[QStringLiteral("MimeType")]);
    for (const QString& type : expected - offered) {
        ADD_FAILURE() << "not offered: " << type.toStdString();
    }
    for (const QString& type : offered - expected) {
        ADD_FAILURE() << "offered but never accepted: " << type.toStdString();
    }
}

// The window announces kDesktopEntryId; the desktop finds the entry, the icon and the
// metainfo by it, and starts the window with the files opened.
TEST(DesktopEntry, NamesTheProgramIconAndMetainfo) {
    std::map<QString, QString> entry = DesktopEntry();
    const QString id = ostrel::kDesktopEntryId;
    EXPECT_EQ(entry[QStringLiteral("Exec")], QStringLiteral("ostrel %F"));
    EXPECT_EQ(entry[QStringLiteral("Icon")], id);
    EXPECT_TRUE(QFile::exists(kDataDir + u'/' + id + ".svg"));
    EXPECT_EQ(MetainfoTexts(QStringLiteral("id")), QStringList{id});
    EXPECT_EQ(MetainfoTexts(QStringLiteral("launchable")), QStringList{id + ".desktop"});
}

QSet<QString> LongOptions(const QString& text) {
    static const QRegularExpression option(QStringLiteral("--[a-z][a-z-]*"));
    QSet<QString> options;
    for (const QRegularExpressionMatch& match : option.globalMatch(text)) {
        options.insert(match.captured());
    }
    return options;
}

TEST(ManualPages, DescribeEveryOptionOfTheHelp) {
    struct Case {
        const char* program;
        const char* page;
    };
    for (const Case c :
         {Case{OSTREL_PATH, "ostrel.1"}, Case{OSTREL_CONVERT_PATH, "ostrel-convert.1"}}) {
        SCOPED_TRACE(c.page);
        QProcess help;
        help.start(QString::fromUtf8(c.program), {QStringLiteral("--help")});
        ASSERT_TRUE(help.waitForFinished(10000));
        ASSERT_EQ(help.exitCode(), 0);
        const QSet<QString> listed =
            LongOptions(QString::fromLocal8Bit(help.readAllStandardOutput()));
        ASSERT_GT(listed.size(), 1);
        // Roff writes a dash as "\-".
        const QString page = ReadText(kDataDir + "/man/" + c.page)
                                 .replace(QStringLiteral("\\-"), QStringLiteral("-"));
        const QSet<QString> described = LongOptions(page) - QSet<QString>{QStringLiteral("--help")};
        for (const QString& option : listed - described - QSet<QString>{QStringLiteral("--help")}) {
            ADD_FAILURE() << "not described: " << option.toStdString();
        }
        for (const QString& option : described - listed) {
            ADD_FAILURE() << "described but not in --help: " << option.toStdString();
        }
    }
}

}  // namespace
