#include "filelist/list_store.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include "file_rows.h"
#include "qt_printers.h"

namespace ostrel {
namespace {

// A list of 10,000 rows comes back row for row; a list cut short or of another version reads
// as empty, and a failed save leaves the list before it whole.
TEST(ListStoreTest, TenThousandRowsRoundTripAndBrokenListsReadAsEmpty) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("list.json"));
    QList<FileRow> rows;
    for (int i = 0; i < 10000; ++i) {
        FileRow row = testing::VideoFileRow(
            QStringLiteral("/media/f%1/caf\u00e9 %2.mp4").arg(i % 100).arg(i));
        row.Identity = row.FileName;
        row.DurationSeconds = i / 7.0;
        row.SizeBytes = 1000.0 * i;
        row.Modified = QDateTime::fromMSecsSinceEpoch(1700000000000LL + i);
        row.RelativeFolder = QStringLiteral("f%1/").arg(i % 100);
        rows.append(row);
    }
    rows[5].Modified = QDateTime();
    ASSERT_TRUE(SaveFileList(path, rows));
    EXPECT_EQ(LoadFileList(path), rows);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray whole = file.readAll();
    const struct {
        QByteArray contents;
    } broken[] = {{whole.left(whole.size() / 2)}, {QByteArray("{\"list\":2,\"rows\":[]}")}, {{}}};
    for (const auto& c : broken) {
        file.resize(0);
        file.seek(0);
        file.write(c.contents);
        file.flush();
        EXPECT_TRUE(LoadFileList(path).isEmpty());
    }
    EXPECT_FALSE(SaveFileList(dir.filePath(QStringLiteral("missing/list.json")), rows));
}

}  // namespace
}  // namespace ostrel
