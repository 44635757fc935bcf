#include "fake_pump.h"
#include "recording_backend.h"
#include "sound/midi_port.h"
#include "sound/note_player.h"

#include <QTest>

using namespace piano;
using namespace piano::test;

using Messages = std::vector<std::uint32_t>;
Q_DECLARE_METATYPE(Messages)

class NotePlayerTest : public QObject {
    Q_OBJECT

private slots:
    // Each step is (note, duration); -1 as note means stop().
    void messages_data()
    {
        QTest::addColumn<QList<QPoint>>("steps");
        QTest::addColumn<Messages>("expected");
        QTest::addColumn<int>("soundingAfter");
        QTest::newRow("same note twice sends once") << QList<QPoint>{{60, 0}, {60, 0}} << Messages{noteOn(60)} << 60;
        QTest::newRow("new note silences the old") << QList<QPoint>{{60, 0}, {62, 0}}
                                                   << Messages{noteOn(60), noteOff(60), noteOn(62)} << 62;
        QTest::newRow("timed note stops itself") << QList<QPoint>{{60, 500}} << Messages{noteOn(60), noteOff(60)} << 0;
        QTest::newRow("stop with nothing sounding") << QList<QPoint>{{-1, 0}} << Messages{noteOff(0)} << 0;
        QTest::newRow("stop after held note") << QList<QPoint>{{57, 0}, {-1, 0}, {-1, 0}}
                                              << Messages{noteOn(57), noteOff(57), noteOff(0)} << 0;
    }
    void messages()
    {
        QFETCH(QList<QPoint>, steps);
        QFETCH(Messages, expected);
        QFETCH(int, soundingAfter);
        FakePump pump;
        RecordingBackend backend(pump.clock());
        MidiPort port(backend);
        QVERIFY(port.open(0));
        NotePlayer player(pump);
        player.setPort(&port);
        for (const QPoint& step : steps) {
            if (step.x() < 0)
                player.stop();
            else
                player.playNote(step.x(), step.y());
        }
        QCOMPARE(backend.messages(), expected);
        QCOMPARE(player.soundingNote(), soundingAfter);
    }

    void timedNoteLastsItsDuration()
    {
        FakePump pump;
        RecordingBackend backend(pump.clock());
        MidiPort port(backend);
        port.open(0);
        NotePlayer player(pump);
        player.setPort(&port);
        player.playNote(60, 500);
        const std::vector<RecordingBackend::Sent> expected = {{0, noteOn(60)}, {500, noteOff(60)}};
        QVERIFY(backend.sent == expected);
    }

    void closedPortSendsNothingButTracksTheNote()
    {
        FakePump pump;
        RecordingBackend backend(pump.clock());
        MidiPort port(backend);
        NotePlayer player(pump);
        player.setPort(&port);
        player.playNote(60, 0);
        QCOMPARE(player.soundingNote(), 60);
        QVERIFY(backend.sent.empty());
    }

    void portOpenChecksTheIndex()
    {
        RecordingBackend backend({}, 2);
        MidiPort port(backend);
        QVERIFY(!port.open(-1));
        QVERIFY(!port.open(2));
        QCOMPARE(backend.opens, 0);
        QVERIFY(port.open(1));
        QCOMPARE(backend.openIndex, 1);
        backend.openSucceeds = false;
        QVERIFY(!port.open(0));
        QVERIFY(!port.isOpen());
        QCOMPARE(backend.closes, 1);
    }

    // A note still on at close would hang on an external synthesizer.
    void closeSilencesHeldNoteFirst()
    {
        FakePump pump;
        RecordingBackend backend(pump.clock());
        MidiPort port(backend);
        port.open(0);
        NotePlayer player(pump);
        player.setPort(&port);
        player.playNote(67, 0);
        port.close();
        QCOMPARE(backend.messages(), (Messages{noteOn(67), noteOff(67)}));
        QCOMPARE(backend.sentWhileClosed, 0);
        QCOMPARE(backend.closes, 1);
        port.close();
        QCOMPARE(backend.closes, 1);
        player.stop();
        QCOMPARE(backend.sent.size(), std::size_t{2});
    }

    void rejectedMessagesAreDropped()
    {
        RecordingBackend backend;
        backend.acceptMessages = false;
        MidiPort port(backend);
        port.open(0);
        port.sendNoteOn(60);
        port.sendNoteOff(60);
        QCOMPARE(backend.sent.size(), std::size_t{2});
    }

    void messageBytes()
    {
        QCOMPARE(MidiPort::noteOnMessage(67), 0x7F4390u);
        QCOMPARE(MidiPort::noteOffMessage(67), 0x004380u);
        QCOMPARE(MidiPort::noteOnMessage(0x143), 0x7F4390u);
    }
};

QTEST_GUILESS_MAIN(NotePlayerTest)
#include "test_note_player.moc"
