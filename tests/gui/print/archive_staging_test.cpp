// The archive's staging folder beside its final place: a name planted there
// by someone else is never used or emptied, and a failed run removes only
// what it made itself.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "desktop/print/archive.h"

using namespace quillet;

namespace {

SmsBox one_message() {
    SmsBox box(BoxKind::Inbox);
    SmsMessage m;
    m.set_text(u"hello");
    m.set_number("+4915112345678");
    box.append(m);
    return box;
}

}  // namespace

class ArchiveStagingTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("victim")));
        victim_file_ = dir_->filePath(QStringLiteral("victim/keep.txt"));
        QFile f(victim_file_);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("mine");
    }

    void aPlantedStagingNameIsNeitherUsedNorEmptied() {
        const QString planted =
            dir_->filePath(QStringLiteral(".archive.partial-%1").arg(::getpid()));
        QVERIFY(QFile::link(dir_->filePath(QStringLiteral("victim")), planted));
        const ArchiveReport r =
            write_archive(dir_->filePath(QStringLiteral("archive")), {inbox_, sent_, &deleted_},
                          ContactList(), QLocale::c());
        QVERIFY2(r.outcome.ok(), r.outcome.what().c_str());
        QVERIFY(QFile::exists(victim_file_));
        QCOMPARE(QDir(dir_->filePath(QStringLiteral("victim"))).count(),
                 3u);  // ".", "..", keep.txt
    }

    void aFailedRunRemovesOnlyWhatItMade() {
        // Someone else takes the final name while the archive is filled.
        const QString target = dir_->filePath(QStringLiteral("taken"));
        const ArchiveReport r = write_archive(
            target, {inbox_, sent_, &deleted_}, ContactList(), QLocale::c(), [&](size_t, size_t) {
                QDir(dir_->path()).mkdir(QStringLiteral("taken"));
                QFile other(target + QStringLiteral("/theirs.txt"));
                QVERIFY(other.open(QIODevice::WriteOnly));
            });
        QVERIFY(!r.outcome.ok());
        QVERIFY(QFile::exists(target + QStringLiteral("/theirs.txt")));
        QVERIFY(QFile::exists(victim_file_));
        QCOMPARE(
            QDir(dir_->path())
                .entryList({QStringLiteral(".taken.partial-*")}, QDir::AllEntries | QDir::Hidden),
            QStringList());
    }

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString victim_file_;
    SmsBox inbox_ = one_message();
    SmsBox sent_{BoxKind::SentItems};
    SmsBox deleted_{BoxKind::DeletedItems};
};

QTEST_MAIN(ArchiveStagingTest)
#include "archive_staging_test.moc"
