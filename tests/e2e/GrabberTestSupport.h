#pragma once

#include "DiscImage.h"
#include "TestAudio.h"
#include "support/EnvGuard.h"
#include "support/TempDir.h"
#include "support/WavAudioFile.h"

#include "components/grabber/AudioCDGrabber.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

/// How a grab ended, with every progress event it sent.
struct GrabOutcome
{
    bool completed = false;
    QString failure;
    QList<double> progress;
};

/// Makes disc images in a temporary folder and grabbers whose image drives point at them.
class GrabberTest : public TempDirTest
{
protected:
    /// Writes name.cue and name.bin; returns the CUE's path.
    QString makeDisc(const QString& name, const DiscFixture::DiscLayout& layout)
    {
        const QString cue = path(name + QStringLiteral(".cue"));
        DiscFixture::writeDisc(cue.toStdString(), layout);
        return cue;
    }

    /// Writes name.cue (name.toc for the TOC styles) and its files; returns the sheet's path.
    QString makeImage(const QString& name, const DiscFixture::DiscLayout& layout,
                      DiscFixture::ImageStyle style)
    {
        const bool toc =
            style == DiscFixture::ImageStyle::TocWave || style == DiscFixture::ImageStyle::TocRaw;
        const QString sheet = path(name + (toc ? QStringLiteral(".toc") : QStringLiteral(".cue")));
        DiscFixture::writeImage(sheet.toStdString(), layout, style);
        return sheet;
    }

    /// A grabber over the image drives at paths, initialised, the last drive current.
    std::unique_ptr<TAudioCDGrabber2> grabberFor(const QStringList& paths)
    {
        m_imageDrives.set(paths.join(u':').toLocal8Bit());
        auto grabber = std::make_unique<TAudioCDGrabber2>(std::make_unique<WavAudioFile>());
        grabber->Initialize();
        grabber->CurrentDevice(grabber->DeviceCount());
        return grabber;
    }

    static WavAudioFile& wavOf(TAudioCDGrabber2& grabber)
    {
        return static_cast<WavAudioFile&>(*grabber.AudioFile());
    }

    /// Grabs track index into path, waits for the end and closes the file.
    static GrabOutcome grab(TAudioCDGrabber2& grabber, int index, const QString& path)
    {
        GrabOutcome outcome;
        QEventLoop loop;
        QObject::connect(&grabber, &IAudioCDGrabber2::OnOperationProgress, &loop,
                         [&](double percent) {
                             outcome.progress.append(percent);
                             if (percent == 100.0) {
                                 outcome.completed = true;
                                 loop.quit();
                             }
                         });
        QObject::connect(&grabber, &IAudioCDGrabber2::grabFailed, &loop,
                         [&](const QString& message) {
                             outcome.failure = message;
                             loop.quit();
                         });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        grabber.CurrentTrack(index);
        grabber.GrabToFile(path);
        loop.exec();
        grabber.AudioFile()->Close();
        return outcome;
    }

    /// The samples of a WAV file as ffmpeg decodes them.
    static std::vector<std::int16_t> decode(const QString& file)
    {
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                      QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")});
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0) {
            ADD_FAILURE() << "ffmpeg cannot decode " << file.toStdString() << ": "
                          << ffmpeg.readAllStandardError().toStdString();
            return {};
        }
        const QByteArray bytes = ffmpeg.readAllStandardOutput();
        std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size() / 2));
        qFromLittleEndian<std::int16_t>(bytes.constData(), bytes.size() / 2, samples.data());
        return samples;
    }

    /// The test signal of sectors [from, to) of a track (1-based number), counted from the
    /// track's start.
    static std::vector<std::int16_t> expected(int track, int from, int to)
    {
        std::vector<std::int16_t> samples;
        for (std::int64_t frame = std::int64_t(from) * DiscFixture::FramesPerSector;
             frame < std::int64_t(to) * DiscFixture::FramesPerSector; ++frame) {
            samples.push_back(DiscFixture::testSample(track, frame, 0));
            samples.push_back(DiscFixture::testSample(track, frame, 1));
        }
        return samples;
    }

    /// Where two sample runs first differ; -1 when they are equal.
    static long long mismatchAt(const std::vector<std::int16_t>& a,
                                const std::vector<std::int16_t>& b)
    {
        const auto [left, right] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
        if (left == a.end() && right == b.end())
            return -1;
        return left - a.begin();
    }

    static std::vector<std::int16_t> concat(std::vector<std::int16_t> a,
                                            const std::vector<std::int16_t>& b)
    {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    static std::vector<std::int16_t> silence(int sectors)
    {
        return std::vector<std::int16_t>(std::size_t(sectors) * DiscFixture::FramesPerSector * 2);
    }

    /// The audio of sectors [from, from + sectors) of layout's disc.
    static std::vector<std::int16_t> discSectors(const DiscFixture::DiscLayout& layout, int from,
                                                 int sectors)
    {
        std::vector<std::int16_t> samples(std::size_t(sectors) * DiscFixture::FramesPerSector * 2);
        DiscFixture::discAudio(layout, std::int64_t(from) * DiscFixture::FramesPerSector, samples);
        return samples;
    }

    EnvGuard m_imageDrives{"TUNECREST_IMAGE_DRIVES"};
};
