#include "sound/builtin_synth.h"
#include "sound/rtmidi_outputs.h"
#include "sound/sound_font.h"
#include "sound/synth_device.h"
#include "sound/system_midi_backend.h"

#include <QTemporaryFile>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace piano;

namespace {
constexpr int kRate = 48000;

std::uint32_t noteOn(int note, int velocity = 127)
{
    return 0x90u | static_cast<std::uint32_t>(note) << 8 | static_cast<std::uint32_t>(velocity) << 16;
}
std::uint32_t noteOff(int note) { return 0x80u | static_cast<std::uint32_t>(note) << 8; }

// The left channel of the next ms milliseconds.
std::vector<float> renderMs(BuiltinSynth& synth, int ms)
{
    const std::size_t frames = static_cast<std::size_t>(kRate) * static_cast<std::size_t>(ms) / 1000;
    std::vector<float> stereo(2 * frames);
    synth.render(stereo.data(), frames);
    std::vector<float> left(frames);
    for (std::size_t i = 0; i < frames; ++i)
        left[i] = stereo[2 * i];
    return left;
}

double rms(const std::vector<float>& samples)
{
    double sum = 0;
    for (float s : samples)
        sum += static_cast<double>(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

// Fundamental by autocorrelation: the shortest lag that correlates nearly as well as the best one,
// which keeps a strong second harmonic from halving the estimate.
double pitchHz(const std::vector<float>& samples)
{
    const int minLag = kRate / 1500;
    const int maxLag = kRate / 60;
    const int n = static_cast<int>(samples.size()) - maxLag - 1;
    std::vector<double> r(static_cast<std::size_t>(maxLag + 2), 0.0);
    for (int lag = minLag - 1; lag <= maxLag + 1; ++lag) {
        double sum = 0;
        for (int i = 0; i < n; ++i)
            sum += static_cast<double>(samples[static_cast<std::size_t>(i)]) * samples[static_cast<std::size_t>(i + lag)];
        r[static_cast<std::size_t>(lag)] = sum;
    }
    double best = 0;
    for (int lag = minLag; lag <= maxLag; ++lag)
        best = std::max(best, r[static_cast<std::size_t>(lag)]);
    for (int lag = minLag; lag <= maxLag; ++lag) {
        const double a = r[static_cast<std::size_t>(lag - 1)];
        const double b = r[static_cast<std::size_t>(lag)];
        const double c = r[static_cast<std::size_t>(lag + 1)];
        if (b >= 0.9 * best && b >= a && b >= c) {
            const double shift = (a - c) / (2 * (a - 2 * b + c));
            return kRate / (lag + (std::isfinite(shift) ? shift : 0));
        }
    }
    return 0;
}

// Everything the code under test writes to stdout and stderr while it is alive.
class CapturedOutput {
public:
    CapturedOutput()
    {
        file_.open();
        std::fflush(stdout);
        std::fflush(stderr);
        savedOut_ = ::dup(1);
        savedErr_ = ::dup(2);
        ::dup2(file_.handle(), 1);
        ::dup2(file_.handle(), 2);
    }
    ~CapturedOutput() { restore(); }
    QByteArray text()
    {
        restore();
        file_.seek(0);
        return file_.readAll();
    }

private:
    void restore()
    {
        if (savedOut_ < 0)
            return;
        std::fflush(stdout);
        std::fflush(stderr);
        ::dup2(savedOut_, 1);
        ::dup2(savedErr_, 2);
        ::close(savedOut_);
        ::close(savedErr_);
        savedOut_ = savedErr_ = -1;
    }

    QTemporaryFile file_;
    int savedOut_ = -1;
    int savedErr_ = -1;
};
} // namespace

class BuiltinSynthTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        soundFont_ = findDefaultSoundFont();
        const std::string_view test = QTest::currentTestFunction();
        const bool needsSoundFont = test != "missingSoundFontFailsQuietly" && test != "systemBackendWithoutSound"
                                    && test != "shortMessageLength";
        if (needsSoundFont && soundFont_.empty())
            QSKIP("no default General MIDI SoundFont installed");
    }

    void pitch_data()
    {
        QTest::addColumn<int>("note");
        QTest::addColumn<double>("hz");
        QTest::newRow("C4, middle C") << 60 << 261.63;
        QTest::newRow("A4") << 69 << 440.0;
        QTest::newRow("G2, lowest key") << 43 << 98.0;
        QTest::newRow("D6, highest key") << 86 << 1174.66;
    }
    void pitch()
    {
        QFETCH(int, note);
        QFETCH(double, hz);
        BuiltinSynth synth(soundFont_, kRate);
        QVERIFY(synth.isReady());
        QVERIFY(synth.send(noteOn(note)));
        renderMs(synth, 100);
        const double measured = pitchHz(renderMs(synth, 200));
        QVERIFY2(std::abs(measured - hz) < hz * 0.01, qPrintable(QString::number(measured) + " Hz"));
    }

    void releaseFadesToSilence_data()
    {
        QTest::addColumn<quint32>("release");
        QTest::newRow("note off") << quint32(noteOff(60));
        QTest::newRow("note on with velocity 0") << quint32(noteOn(60, 0));
    }
    void releaseFadesToSilence()
    {
        QFETCH(quint32, release);
        BuiltinSynth synth(soundFont_, kRate);
        QVERIFY(synth.send(noteOn(60)));
        const double held = rms(renderMs(synth, 300));
        QVERIFY(held > 0.005);
        QVERIFY(synth.send(release));
        renderMs(synth, 1500);
        const double after = rms(renderMs(synth, 200));
        QVERIFY2(after < held * 1e-3, qPrintable(QString("held %1, after release %2").arg(held).arg(after)));
    }

    void heldNoteKeepsSounding()
    {
        BuiltinSynth synth(soundFont_, kRate);
        QVERIFY(synth.send(noteOn(60)));
        const double start = rms(renderMs(synth, 300));
        renderMs(synth, 1500);
        QVERIFY(rms(renderMs(synth, 200)) > start * 0.05);
    }

    void malformedMessages_data()
    {
        QTest::addColumn<quint32>("message");
        QTest::newRow("note number above 127") << quint32(0x90u | 0x80u << 8 | 127u << 16);
        QTest::newRow("velocity above 127") << quint32(0x90u | 60u << 8 | 0xFFu << 16);
        QTest::newRow("data byte as status") << quint32(60u | 60u << 8 | 127u << 16);
        QTest::newRow("system exclusive") << quint32(0xF0u);
    }
    void malformedMessages()
    {
        QFETCH(quint32, message);
        BuiltinSynth synth(soundFont_, kRate);
        QVERIFY(!synth.send(message));
        QVERIFY(rms(renderMs(synth, 200)) < 1e-6);
    }

    void releasingSilentNoteIsAccepted()
    {
        BuiltinSynth synth(soundFont_, kRate);
        QVERIFY(synth.send(noteOff(0)));
    }

    // What goes out to a system MIDI port: the bytes the status calls for, nothing malformed.
    void shortMessageLength_data()
    {
        QTest::addColumn<quint32>("message");
        QTest::addColumn<int>("length");
        QTest::newRow("note on") << quint32(noteOn(60)) << 3;
        QTest::newRow("note off for note 0") << quint32(noteOff(0)) << 3;
        QTest::newRow("program change ignores the third byte") << quint32(0xC0u | 5u << 8 | 0xFFu << 16) << 2;
        QTest::newRow("timing clock") << quint32(0xF8u) << 1;
        QTest::newRow("note number above 127") << quint32(0x90u | 0x80u << 8 | 127u << 16) << 0;
        QTest::newRow("velocity above 127") << quint32(0x90u | 60u << 8 | 0x80u << 16) << 0;
        QTest::newRow("no status byte") << quint32(60u | 60u << 8) << 0;
        QTest::newRow("system exclusive") << quint32(0xF0u) << 0;
    }
    void shortMessageLength()
    {
        QFETCH(quint32, message);
        QFETCH(int, length);
        QCOMPARE(piano::shortMessageLength(message), length);
    }

    void missingSoundFontFailsQuietly()
    {
        CapturedOutput output;
        std::vector<float> samples(64, 1.0f);
        bool ready = true;
        bool sent = true;
        bool readyWithoutSf2 = false;
        bool opened = true;
        {
            BuiltinSynth synth("/nonexistent/default-GM.sf2", kRate);
            ready = synth.isReady();
            sent = synth.send(noteOn(60));
            synth.render(samples.data(), 32);
        }
        for (const QByteArray& content : {QByteArray("RIFF this is not a SoundFont"), truncatedSoundFont()}) {
            QTemporaryFile notSf2;
            if (notSf2.open()) {
                notSf2.write(content);
                notSf2.flush();
                readyWithoutSf2 = readyWithoutSf2 || BuiltinSynth(notSf2.fileName().toStdString(), kRate).isReady();
            }
        }
        {
            SynthDevice device("/nonexistent/default-GM.sf2");
            opened = device.open() || device.isOpen() || device.send(noteOn(60));
            device.close();
        }
        QCOMPARE(output.text(), QByteArray());
        QVERIFY(!ready);
        QVERIFY(!sent);
        QCOMPARE(samples, std::vector<float>(64, 0.0f));
        QVERIFY(!readyWithoutSf2);
        QVERIFY(!opened);
    }

    // Here no server answers and there is no sound card: device 0 exists but cannot be opened,
    // however often it is tried.
    void systemBackendWithoutSound()
    {
        if (::access("/dev/snd", F_OK) == 0)
            QSKIP("this machine has sound cards");
        qputenv("PULSE_SERVER", "unix:/nonexistent/pulse/native");
        CapturedOutput output;
        auto backend = makeSystemMidiBackend();
        const int count = backend->deviceCount();
        int opened = 0;
        int sent = 0;
        for (int round = 0; round < 2; ++round) {
            opened += backend->open(0);
            sent += backend->send(noteOn(60));
            backend->close();
        }
        opened += backend->open(count) + backend->open(-1);
        sent += backend->send(noteOn(60));
        backend.reset();
        qunsetenv("PULSE_SERVER");
        QCOMPARE(output.text(), QByteArray());
        QCOMPARE(count, 1);
        QCOMPARE(opened, 0);
        QCOMPARE(sent, 0);
    }

private:
    // The head of the real SoundFont, cut off in the middle of its first chunk.
    QByteArray truncatedSoundFont() const
    {
        QFile file(QString::fromStdString(soundFont_));
        return file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray("RIFF\0\0\0\0sfbk", 12);
    }

    std::string soundFont_;
};

QTEST_GUILESS_MAIN(BuiltinSynthTest)
#include "test_builtin_synth.moc"
