#include "RipCliSupport.h"
#include "components/lookup/AccurateRip.h"
#include "support/LoopbackServer.h"
#include "support/MediaProbe.h"

#include <QRegularExpression>
#include <QTcpServer>

namespace {

constexpr int Second = SectorsPerSecond;
constexpr int FramesPerSector = DiscFixture::FramesPerSector;

struct Sums
{
    quint32 v1 = 0;
    quint32 v2 = 0;
    quint32 frame450 = 0;
};

struct TrackEntry
{
    int confidence = 0;
    quint32 checksum = 0;
    quint32 frame450 = 0;
};

// The database's ids of a disc of audio tracks (no pregaps) with these lengths in sectors,
// reckoned here from the layout alone.
struct DiscIds
{
    int count = 0;
    quint32 id1 = 0;
    quint32 id2 = 0;
    quint32 cddb = 0;

    explicit DiscIds(const std::vector<int>& sectors)
    {
        quint32 start = 0;
        int digitSums = 0;
        count = static_cast<int>(sectors.size());
        for (int k = 1; k <= count; ++k) {
            id1 += start;
            id2 += std::max<quint32>(start, 1) * static_cast<quint32>(k);
            for (int s = static_cast<int>((start + 150) / 75); s > 0; s /= 10)
                digitSums += s % 10;
            start += static_cast<quint32>(sectors[static_cast<std::size_t>(k - 1)]);
        }
        id1 += start;
        id2 += start * static_cast<quint32>(count + 1);
        const quint32 seconds = (start + 150) / 75 - 150 / 75;
        cddb = static_cast<quint32>(digitSums % 255) << 24 | seconds << 8 |
               static_cast<quint32>(count);
    }

    static QString hex(quint32 value)
    {
        return QStringLiteral("%1").arg(value, 8, 16, QChar(u'0'));
    }
    QString name() const
    {
        return QStringLiteral("dBAR-%1-%2-%3-%4.bin")
            .arg(count, 3, 10, QChar(u'0'))
            .arg(hex(id1), hex(id2), hex(cddb));
    }
    QString path() const
    {
        const QString digits = hex(id1);
        return QStringLiteral("/accuraterip/%1/%2/%3/")
                   .arg(digits[7])
                   .arg(digits[6])
                   .arg(digits[5]) +
               name();
    }
};

void appendLe32(QByteArray& bytes, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes.append(static_cast<char>(value >> (8 * i) & 0xff));
}

// A database file as the service writes it: per pressing a header and an entry per track.
QByteArray dbarFile(const DiscIds& ids, const std::vector<std::vector<TrackEntry>>& pressings)
{
    QByteArray bytes;
    for (const auto& tracks : pressings) {
        bytes.append(static_cast<char>(ids.count));
        appendLe32(bytes, ids.id1);
        appendLe32(bytes, ids.id2);
        appendLe32(bytes, ids.cddb);
        for (const TrackEntry& t : tracks) {
            bytes.append(static_cast<char>(t.confidence));
            appendLe32(bytes, t.checksum);
            appendLe32(bytes, t.frame450);
        }
    }
    return bytes;
}

// The disc's audio moved later by shift samples (earlier when negative), as a drive with that
// read offset delivers it: silence where the shift reaches beyond the disc.
DiscFixture::AudioSource shiftedSignal(std::vector<int> sectors, int shift)
{
    return [sectors = std::move(sectors), shift](int track, std::int64_t firstFrame,
                                                 std::span<std::int16_t> samples) {
        std::int64_t trackStart = 0;
        for (int t = 1; t < track; ++t)
            trackStart += std::int64_t{sectors[static_cast<std::size_t>(t - 1)]} * FramesPerSector;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            std::int64_t frame = trackStart + firstFrame + static_cast<std::int64_t>(i / 2) - shift;
            int source = 1;
            for (int sectorsOf : sectors) {
                const std::int64_t frames = std::int64_t{sectorsOf} * FramesPerSector;
                if (frame < frames || source == static_cast<int>(sectors.size()))
                    break;
                frame -= frames;
                ++source;
            }
            const bool outside =
                frame < 0 || frame >= std::int64_t{sectors[static_cast<std::size_t>(source - 1)]} *
                                          FramesPerSector;
            samples[i] =
                outside ? 0 : DiscFixture::testSample(source, frame, static_cast<int>(i % 2));
        }
    };
}

testing::AssertionResult contains(const QString& text, const QString& part)
{
    if (text.contains(part))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "\"" << part.toStdString() << "\" is not in:\n"
                                       << text.toStdString();
}

class AccurateRipTest : public RipCliTest
{
protected:
    void SetUp() override
    {
        RipCliTest::SetUp();
        const auto running = LoopbackServer::fromEnvironment(
            "TUNECREST_AR_SERVER", "TUNECREST_AR_DIR", "AccurateRip", "scripts/ar-server.sh",
            "start_ar_server");
        if (!running)
            GTEST_SKIP();
        server = *running;
        writeReports = true;
        checkAccurateRip = true;
        useServer(server.address);
    }

    void useServer(const QString& address)
    {
        writeSettings("[AccurateRip]\nserver=" + address.toUtf8() + "\n[Freedb]\ntimeout=5000\n");
    }

    QString makeImage(const QString& name, const std::vector<int>& sectors, int shift = 0)
    {
        DiscFixture::DiscLayout disc = DiscFixture::audioDisc(sectors);
        disc.album = name.toStdString();
        if (shift != 0)
            disc.audio = shiftedSignal(sectors, shift);
        const QString cue = path(name + QStringLiteral(".cue"));
        DiscFixture::writeDisc(cue.toStdString(), disc);
        return cue;
    }

    void putDatabase(const DiscIds& ids, const QByteArray& bytes)
    {
        LoopbackServer::putFile(QDir(server.folder).filePath(ids.name()), bytes);
        QFile::remove(requestsFile(ids));
    }
    QString requestsFile(const DiscIds& ids) const
    {
        return QDir(server.folder).filePath(ids.name() + QStringLiteral(".requests"));
    }

    // Rips the image to WAV into the folder; the log's text.
    QString ripToWav(const QString& image, const QString& folder, QStringList extra = {},
                     RunResult* result = nullptr)
    {
        QDir(root()).mkpath(folder);
        const RunResult r =
            rip(QStringList{QStringLiteral("-d"), image, QStringLiteral("-f"),
                            QStringLiteral("wav"), QStringLiteral("-j"), QStringLiteral("1"),
                            QStringLiteral("--no-cue"), QStringLiteral("-o"), path(folder)} +
                extra);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        if (result)
            *result = r;
        const QStringList logs = QDir(path(folder)).entryList({QStringLiteral("*.log")});
        EXPECT_EQ(logs.size(), 1);
        return logs.isEmpty()
                   ? QString()
                   : QString::fromUtf8(readAll(QDir(path(folder)).filePath(logs.first())));
    }

    QString wav(const QString& folder, int track) const
    {
        return path(folder + QStringLiteral("/Track%1.wav").arg(track, 2, 10, QChar(u'0')));
    }

    // The checksums of a ripped track by an outside reckoner (accuraterip-checksum), and the
    // checksum of its sector 450 reckoned here from the decoded file.
    static Sums outsideSums(const QString& file, int track, int tracks)
    {
        Sums sums;
        for (const char* version : {"--accuraterip-v1", "--accuraterip-v2"}) {
            QProcess process;
            process.start(
                QStringLiteral("accuraterip-checksum"),
                {QLatin1String(version), file, QString::number(track), QString::number(tracks)});
            EXPECT_TRUE(process.waitForFinished(30000));
            EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
            const quint32 value =
                QString::fromUtf8(process.readAllStandardOutput()).trimmed().toUInt(nullptr, 16);
            (version[15] == '1' ? sums.v1 : sums.v2) = value;
        }
        const std::vector<std::int16_t> pcm = MediaProbe::decode(file);
        const std::size_t from = std::size_t{450} * FramesPerSector * 2;
        for (std::size_t k = 0; from + 2 * k + 1 < pcm.size() && k < FramesPerSector; ++k)
            sums.frame450 +=
                static_cast<quint32>(k + 1) *
                (static_cast<std::uint16_t>(pcm[from + 2 * k]) |
                 static_cast<quint32>(static_cast<std::uint16_t>(pcm[from + 2 * k + 1])) << 16);
        return sums;
    }

    std::vector<Sums> outsideSumsOf(const QString& folder, int tracks) const
    {
        std::vector<Sums> sums;
        for (int t = 1; t <= tracks; ++t)
            sums.push_back(outsideSums(wav(folder, t), t, tracks));
        return sums;
    }

    static std::vector<TrackEntry> entries(const std::vector<Sums>& sums, int confidence, bool v2)
    {
        std::vector<TrackEntry> tracks;
        for (const Sums& s : sums)
            tracks.push_back({confidence, v2 ? s.v2 : s.v1, s.frame450});
        return tracks;
    }

    static QStringList linesWith(const QString& log, const QString& start)
    {
        QStringList found;
        for (const QString& line : log.split(u'\n'))
            if (line.trimmed().startsWith(start))
                found << line.trimmed();
        return found;
    }

    static QString hexUpper(quint32 v) { return DiscIds::hex(v).toUpper(); }

    LoopbackServer server;
};

TEST_F(AccurateRipTest, ChecksumsAgreeWithAnOutsideReckonerAndAMatchIsAccurate)
{
    const std::vector<int> sectors{7 * Second, 2 * Second, 3 * Second, 2 * Second, 7 * Second};
    const DiscIds ids(sectors);
    const QString image = makeImage(QStringLiteral("Five"), sectors);

    // Unknown to the database: a 404, which is no error.
    putDatabase(ids, {});
    RunResult first;
    const QString log = ripToWav(image, QStringLiteral("unknown"), {}, &first);
    EXPECT_TRUE(contains(log, QStringLiteral("the disc is not in the database")));
    EXPECT_EQ(linesWith(log, QStringLiteral("AccurateRip: Not present in the database")).size(), 5);
    // The path carries the ids reckoned from the layout alone.
    EXPECT_EQ(QString::fromUtf8(readAll(requestsFile(ids))).trimmed(), ids.path());

    const std::vector<Sums> sums = outsideSumsOf(QStringLiteral("unknown"), 5);
    const QStringList logged = linesWith(log, QStringLiteral("AccurateRip checksums:"));
    ASSERT_EQ(logged.size(), 5);
    for (int t : {0, 2, 4})
        EXPECT_EQ(logged[t], QStringLiteral("AccurateRip checksums: v1 %1, v2 %2")
                                 .arg(hexUpper(sums[t].v1), hexUpper(sums[t].v2)))
            << "track " << t + 1;

    putDatabase(ids, dbarFile(ids, {entries(sums, 7, true)}));
    RunResult second;
    const QString matched = ripToWav(image, QStringLiteral("matched"), {}, &second);
    EXPECT_EQ(linesWith(matched, QStringLiteral("AccurateRip: Accurately ripped (confidence 7) "
                                                "with the v2 checksum"))
                  .size(),
              5);
    EXPECT_TRUE(contains(matched, QStringLiteral("1 pressing(s) in the database")));
    EXPECT_EQ(second.out.count(QStringLiteral("AccurateRip: Accurately ripped (confidence 7)")), 5);
}

TEST_F(AccurateRipTest, PressingsMismatchesAndTruncatedFilesAreJudgedApart)
{
    const std::vector<int> sectors{4 * Second, 3 * Second, 4 * Second};
    const DiscIds ids(sectors);
    const QString image = makeImage(QStringLiteral("Three"), sectors);
    putDatabase(ids, {});
    ripToWav(image, QStringLiteral("plain"));
    const std::vector<Sums> sums = outsideSumsOf(QStringLiteral("plain"), 3);
    std::vector<Sums> wrong = sums;
    for (Sums& s : wrong) {
        s.v1 ^= 0x100;
        s.v2 ^= 0x100;
    }

    // Only the second pressing matches, with the v1 checksum.
    putDatabase(ids, dbarFile(ids, {entries(wrong, 9, true), entries(sums, 3, false)}));
    EXPECT_EQ(linesWith(ripToWav(image, QStringLiteral("second")),
                        QStringLiteral("AccurateRip: Accurately ripped (confidence 3) with the v1 "
                                       "checksum"))
                  .size(),
              3);

    putDatabase(ids, dbarFile(ids, {entries(wrong, 9, true)}));
    RunResult mismatch;
    const QString log = ripToWav(image, QStringLiteral("mismatch"), {}, &mismatch);
    EXPECT_EQ(linesWith(log, QStringLiteral("AccurateRip: Not accurately ripped (best confidence "
                                            "in the database 9)"))
                  .size(),
              3);
    EXPECT_EQ(mismatch.out.count(QStringLiteral("Not accurately ripped")), 3);

    // A file that ends inside its entry is rejected, with a line in the log; the rip goes on.
    QByteArray cut = dbarFile(ids, {entries(sums, 3, false)});
    cut.chop(4);
    putDatabase(ids, cut);
    const QString truncated = ripToWav(image, QStringLiteral("truncated"));
    EXPECT_TRUE(contains(
        truncated, QStringLiteral("the database's answer was rejected: the file is truncated")));
    EXPECT_EQ(linesWith(truncated, QStringLiteral("AccurateRip: Accurately")).size(), 0);
    EXPECT_EQ(QDir(path(QStringLiteral("truncated"))).entryList({QStringLiteral("*.wav")}).size(),
              3);

    // An entry of another disc makes the file inconsistent.
    DiscIds other = ids;
    other.id1 += 1;
    QByteArray mixed =
        dbarFile(ids, {entries(sums, 3, false)}) + dbarFile(other, {entries(sums, 3, false)});
    putDatabase(ids, mixed);
    EXPECT_TRUE(contains(ripToWav(image, QStringLiteral("mixed")),
                         QStringLiteral("rejected: entry 2 is of another disc")));

    // A server that takes the connection and never answers holds the rip only for the time-out
    // (the kernel accepts the connection; the listener never reads or writes).
    QTcpServer mute;
    ASSERT_TRUE(mute.listen(QHostAddress::LocalHost));
    useServer(QStringLiteral("http://127.0.0.1:%1").arg(mute.serverPort()));
    const QString silent = ripToWav(image, QStringLiteral("silent"));
    EXPECT_TRUE(contains(silent, QStringLiteral("the database could not be asked: no answer in "
                                                "time")));
    EXPECT_EQ(QDir(path(QStringLiteral("silent"))).entryList({QStringLiteral("*.wav")}).size(), 3);
}

// The database's server may send a request on, at most three times and only to itself.
TEST_F(AccurateRipTest, RedirectsStayOnTheDatabasesServer)
{
    const DiscIds ids({3 * Second, 2 * Second});
    putDatabase(ids, dbarFile(ids, {{{2, 0x1234, 0x5678}, {2, 0x9abc, 0xdef0}}}));
    const QString redirects =
        QDir(server.folder).filePath(ids.name() + QStringLiteral(".redirect"));
    ForeignServer foreign;
    using Status = AccurateRipAnswer::Status;
    for (const auto& [hops, status] :
         {std::pair{QStringList{ids.path(), server.address + ids.path(), ids.path()},
                    Status::Found},
          {QStringList(4, ids.path()), Status::Failed},
          {QStringList{foreign.url() + ids.path()}, Status::Failed}}) {
        LoopbackServer::putFile(redirects, hops.join(u'\n').toUtf8());
        const AccurateRipAnswer answer =
            fetchAccurateRip(settingsFile(), {ids.count, ids.id1, ids.id2, ids.cddb});
        EXPECT_EQ(answer.status, status) << answer.logLine().toStdString();
        EXPECT_EQ(foreign.received(), QString());
    }
    LoopbackServer::putFile(redirects, {});
}

// Images read as drives with read offsets of +6 and -30 samples would: --find-offset finds the
// offset from the database of the unshifted audio, and a rip with it verifies.
TEST_F(AccurateRipTest, FindOffsetFindsTheShiftAndARipWithItVerifies)
{
    const std::vector<int> sectors{8 * Second, 3 * Second, 8 * Second};
    const DiscIds ids(sectors);
    putDatabase(ids, {});
    ripToWav(makeImage(QStringLiteral("Straight"), sectors), QStringLiteral("straight"));
    const std::vector<Sums> sums = outsideSumsOf(QStringLiteral("straight"), 3);

    for (const auto& [shift, v2] : {std::pair{6, true}, std::pair{-30, false}}) {
        SCOPED_TRACE(shift);
        putDatabase(ids, dbarFile(ids, {entries(sums, 4, v2)}));
        const QString image =
            makeImage(QStringLiteral("Shifted%1").arg(shift + 100), sectors, shift);
        const QString folder = QStringLiteral("found%1").arg(shift + 100);
        QDir(root()).mkpath(folder);
        const RunResult found = rip({QStringLiteral("-d"), image, QStringLiteral("--find-offset"),
                                     QStringLiteral("-o"), path(folder)});
        EXPECT_EQ(found.code, 0) << found.err.toStdString();
        EXPECT_TRUE(contains(found.out, QStringLiteral("Read offset: %1 (3 of 3 tracks confirmed, "
                                                       "confidence 12)")
                                            .arg(shift)));
        EXPECT_TRUE(QDir(path(folder)).isEmpty()); // nothing written

        const QString plain = ripToWav(image, QStringLiteral("plain%1").arg(shift + 100));
        EXPECT_EQ(linesWith(plain, QStringLiteral("AccurateRip: Not accurately ripped")).size(), 3);
        const QString log = ripToWav(image, QStringLiteral("offset%1").arg(shift + 100),
                                     {QStringLiteral("--offset"), QString::number(shift)});
        EXPECT_TRUE(contains(log, QStringLiteral("Read offset: %1\n").arg(shift)));
        EXPECT_EQ(
            linesWith(log, QStringLiteral("AccurateRip: Accurately ripped (confidence 4)")).size(),
            3);
        // The middle track, away from the disc's ends, comes out as the unshifted one.
        EXPECT_EQ(readAll(wav(QStringLiteral("offset%1").arg(shift + 100), 2)),
                  readAll(wav(QStringLiteral("straight"), 2)));
    }
}

TEST_F(AccurateRipTest, VerifiedRipReadsAgainOnlyTheTracksTheDatabaseDoesNotConfirm)
{
    const std::vector<int> sectors{3 * Second, 2 * Second, 3 * Second};
    const DiscIds ids(sectors);
    const QString image = makeImage(QStringLiteral("Verify"), sectors);
    putDatabase(ids, {});
    ripToWav(image, QStringLiteral("plain"));
    std::vector<Sums> sums = outsideSumsOf(QStringLiteral("plain"), 3);
    sums[1].v2 ^= 1;
    putDatabase(ids, dbarFile(ids, {entries(sums, 2, true)}));

    const QString log = ripToWav(image, QStringLiteral("verified"), {QStringLiteral("--verify")});
    const QStringList paths = linesWith(log, QStringLiteral("Read:"));
    EXPECT_EQ(paths, (QStringList{QStringLiteral("Read: Burst, confirmed by AccurateRip"),
                                  QStringLiteral("Read: Burst, not confirmed by AccurateRip; read "
                                                 "again in Paranoid mode"),
                                  QStringLiteral("Read: Burst, confirmed by AccurateRip")}));
    for (int t = 1; t <= 3; ++t)
        EXPECT_EQ(readAll(wav(QStringLiteral("verified"), t)),
                  readAll(wav(QStringLiteral("plain"), t)));

    // The database out of reach: every track takes the paranoid path.
    useServer(QStringLiteral("http://127.0.0.1:1"));
    RunResult outOfReach;
    const QString unreachable =
        ripToWav(image, QStringLiteral("unreachable"), {QStringLiteral("--verify")}, &outOfReach);
    EXPECT_TRUE(contains(unreachable, QStringLiteral("the database could not be asked")));
    // The summary says it once, not once per track.
    EXPECT_EQ(outOfReach.out.count(QStringLiteral("AccurateRip: not checked")), 1)
        << outOfReach.out.toStdString();
    EXPECT_EQ(
        linesWith(unreachable, QStringLiteral("Read: Burst, not confirmed by AccurateRip; read "
                                              "again in Paranoid mode"))
            .size(),
        3);
}

// --check-rip reads an earlier rip's files back through its cue sheet: each track's CRC against
// the log beside the sheet, its checksums against the database; a missing file or a sheet that
// cannot be read ends it with its own exit code.
TEST_F(AccurateRipTest, CheckRipComparesAnEarlierRipWithItsLogAndTheDatabase)
{
    const std::vector<int> sectors{4 * Second, 3 * Second};
    const DiscIds ids(sectors);
    const QString image = makeImage(QStringLiteral("Pair"), sectors);
    putDatabase(ids, {});
    ripToWav(image, QStringLiteral("reference"));
    const std::vector<Sums> sums = outsideSumsOf(QStringLiteral("reference"), 2);
    putDatabase(ids, dbarFile(ids, {entries(sums, 3, false)}));
    const RunResult flac =
        rip({QStringLiteral("-d"), image, QStringLiteral("-f"), QStringLiteral("flac"),
             QStringLiteral("-o"), path(QStringLiteral("rip"))});
    ASSERT_EQ(flac.code, 0) << flac.err.toStdString();
    const QString sheet = path(QStringLiteral("rip/Pair.cue"));
    const QString log = path(QStringLiteral("rip/Pair.log"));
    const auto check = [&] { return rip({QStringLiteral("--check-rip"), sheet}); };

    struct Step
    {
        const char* what;
        std::function<void()> change;
        int code;
        QStringList lines;
    };
    const QString logText = QString::fromUtf8(readAll(log));
    const QString secondCrc = linesWith(logText, QStringLiteral("Copy CRC:")).value(1).mid(10);
    const std::vector<Step> steps{
        {"as ripped",
         [] {},
         0,
         {QStringLiteral("Track 01: CRC "), QStringLiteral(", equal to the log; AccurateRip: "
                                                           "Accurately ripped (confidence 3) with "
                                                           "the v1 checksum")}},
        {"a log that disagrees",
         [&] { writeAll(log, logText.toUtf8().replace(secondCrc.toUtf8(), "0BADC0DE")); },
         1,
         {QStringLiteral("different from the log's 0BADC0DE")}},
        {"no log", [&] { QFile::remove(log); }, 0, {QStringLiteral(", no log; ")}},
        {"a database that disagrees",
         [&] {
             std::vector<TrackEntry> wrong = entries(sums, 3, false);
             wrong[1].checksum ^= 1;
             putDatabase(ids, dbarFile(ids, {wrong}));
         },
         1,
         {QStringLiteral("Track 02: CRC "), QStringLiteral("Not accurately ripped")}},
        {"a missing file",
         [&] {
             QFile::rename(path(QStringLiteral("rip/Track01.flac")), path(QStringLiteral("gone")));
         },
         1,
         {QStringLiteral("Track 01: failed, its file")}},
        {"a broken sheet",
         [&] { writeAll(sheet, "FILE \"Track02.flac\" WAVE\nTRACK x AUDIO\n"); },
         2,
         {}}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        const RunResult r = check();
        EXPECT_EQ(r.code, step.code) << r.out.toStdString() << r.err.toStdString();
        for (const QString& line : step.lines)
            EXPECT_TRUE(contains(r.out, line));
    }
}

} // namespace
