// Plays a fixed score through the real event pump and through a spin-wait delay, side by side, and prints how
// exactly each note and rest lasts and how much processor time the wait costs.
//
//   delay_bench [rounds]      (rounds of the score per delay; default 1, about 14 s each)
//
// Runs a QApplication on the offscreen platform unless QT_QPA_PLATFORM says otherwise. A 10 ms timer stands in for
// the window's own events, to show that each way of waiting keeps dispatching them.

#include "music/key_note_table.h"
#include "music/score_player.h"
#include "sound/midi_backend.h"
#include "sound/midi_port.h"
#include "sound/note_player.h"
#include "ui/qt_platform.h"

#include <QApplication>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace piano;

namespace {

using Clock = std::chrono::steady_clock;

struct Piece {
    const char* score;
    std::int32_t tempo;
};

// Mixed lengths from 107 ms to 1.5 s, rests, speed marks and several tempos.
constexpr Piece kPieces[] = {
    {"cdefg-0e-c--", 240},
    {">cdcd<e-0-g", 120},
    {"ab>cdef<g--0h", 300},
    {"c0d-e--", 200},
    {">>jihg<<f-", 70},
    {">cdefgabc<0-", 280},
};

struct Logged {
    enum Kind { On, Off, WaitBegin, WaitEnd } kind;
    Clock::time_point at;
    int ms = 0;
};

class Log {
public:
    void add(Logged::Kind kind, int ms = 0) { entries.push_back({kind, Clock::now(), ms}); }
    std::vector<Logged> entries;
};

class LoggingBackend final : public MidiBackend {
public:
    explicit LoggingBackend(Log& log) : log_(log) {}
    int deviceCount() override { return 1; }
    bool open(int) override { return true; }
    bool send(std::uint32_t message) override
    {
        log_.add((message & 0xF0u) == 0x90u ? Logged::On : Logged::Off);
        return true;
    }
    void close() override {}

private:
    Log& log_;
};

// Marks the start and end of every wait, so each note and rest can be matched with the duration it was given.
class LoggingPump final : public EventPump {
public:
    LoggingPump(EventPump& inner, Log& log) : inner_(inner), log_(log) {}
    void processPending() override { inner_.processPending(); }
    void delay(int ms) override
    {
        log_.add(Logged::WaitBegin, ms);
        inner_.delay(ms);
        log_.add(Logged::WaitEnd, ms);
    }

private:
    EventPump& inner_;
    Log& log_;
};

// The classic way: spin on the event queue until a millisecond tick counter has passed start + count.
class SpinPump final : public EventPump {
public:
    explicit SpinPump(std::function<std::int64_t()> tick) : tick_(std::move(tick)) {}
    void processPending() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
    void delay(int ms) override
    {
        if (ms <= 0)
            return;
        const std::int64_t start = tick_();
        for (;;) {
            processPending();
            processPending();
            if (tick_() > start + ms)
                return;
            processPending();
            processPending();
        }
    }

private:
    std::function<std::int64_t()> tick_;
};

std::int64_t microsSinceStart()
{
    static const Clock::time_point origin = Clock::now();
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - origin).count();
}

std::int64_t plainTick() { return microsSinceStart() / 1000; }

// A counter that moves in 15.625 ms steps, like the default Windows tick.
std::int64_t coarseTick() { return microsSinceStart() / 15625 * 15625 / 1000; }

long involuntarySwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nivcsw;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Figures {
    std::string name;
    std::vector<double> noteErrors;  // measured minus computed, ms
    std::vector<double> restErrors;
    double cpuPerSecond = 0;
    double wallSeconds = 0;
    int ticks = 0;  // timer events dispatched during the run
    long preempted = 0;  // times another process took the core: the source of outliers on a busy machine
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

double percentile95(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[(v.size() - 1) * 95 / 100];
}

double maximum(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }
double minimum(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

int g_ticks = 0;

Figures run(const std::string& name, EventPump& delayer, const KeyNoteTable& table, int rounds)
{
    Log log;
    LoggingBackend backend(log);
    MidiPort port(backend);
    port.open(0);
    LoggingPump pump(delayer, log);
    NotePlayer notes(pump);
    notes.setPort(&port);
    ScorePlayer player(table, notes, pump);

    const int ticksBefore = g_ticks;
    const long switchesBefore = involuntarySwitches();
    const double cpuBefore = cpuSeconds();
    const Clock::time_point wallBefore = Clock::now();
    for (int round = 0; round < rounds; ++round) {
        for (const Piece& piece : kPieces)
            player.playScore(piece.score, piece.tempo);
    }
    const double wall = millis(Clock::now() - wallBefore) / 1000;
    const double cpu = cpuSeconds() - cpuBefore;

    Figures figures{name, {}, {}, cpu / wall, wall, g_ticks - ticksBefore, involuntarySwitches() - switchesBefore};
    // A note is On, WaitBegin, WaitEnd, Off; a rest is a WaitBegin/WaitEnd pair with no note around it.
    const std::vector<Logged>& e = log.entries;
    for (std::size_t i = 0; i + 1 < e.size(); ++i) {
        if (e[i].kind == Logged::On && i + 3 < e.size() && e[i + 1].kind == Logged::WaitBegin &&
            e[i + 3].kind == Logged::Off) {
            figures.noteErrors.push_back(millis(e[i + 3].at - e[i].at) - e[i + 1].ms);
            i += 3;
        } else if (e[i].kind == Logged::WaitBegin && e[i + 1].kind == Logged::WaitEnd) {
            figures.restErrors.push_back(millis(e[i + 1].at - e[i].at) - e[i].ms);
            ++i;
        }
    }
    return figures;
}

void print(const Figures& f)
{
    std::printf("%s\n  notes %3zu: error median %+7.3f ms, 95%% %+7.3f ms, max %+7.3f ms, min %+7.3f ms\n"
                "  rests %3zu: error median %+7.3f ms, 95%% %+7.3f ms, max %+7.3f ms, min %+7.3f ms\n"
                "  CPU %.2f %% of a core over %.1f s; the 10 ms timer ran %d times; preempted %ld times\n",
                f.name.c_str(), f.noteErrors.size(), median(f.noteErrors), percentile95(f.noteErrors),
                maximum(f.noteErrors), minimum(f.noteErrors), f.restErrors.size(), median(f.restErrors),
                percentile95(f.restErrors), maximum(f.restErrors), minimum(f.restErrors), f.cpuPerSecond * 100,
                f.wallSeconds, f.ticks, f.preempted);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [] { ++g_ticks; });
    ticker.start(10);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;

    KeyNoteTable table;
    table.build();

    QtEventPump qtPump;
    SpinPump spinPlain(plainTick);
    SpinPump spinCoarse(coarseTick);

    std::vector<Figures> results;
    results.push_back(run("timer wait (QtEventPump)", qtPump, table, rounds));
    results.push_back(run("spin, 1 ms tick", spinPlain, table, rounds));
    results.push_back(run("spin, 15.6 ms tick", spinCoarse, table, rounds));

    for (const Figures& f : results)
        print(f);

    const Figures& qt = results[0];
    std::printf("\n");
    for (std::size_t i = 1; i < results.size(); ++i) {
        const Figures& spin = results[i];
        std::printf("%s vs timer wait: CPU %.0fx, median note error %.2fx\n", spin.name.c_str(),
                    qt.cpuPerSecond > 0 ? spin.cpuPerSecond / qt.cpuPerSecond : 0.0,
                    median(qt.noteErrors) != 0 ? median(spin.noteErrors) / median(qt.noteErrors) : 0.0);
    }

    std::vector<double> all = qt.noteErrors;
    all.insert(all.end(), qt.restErrors.begin(), qt.restErrors.end());
    const bool cpuOk = qt.cpuPerSecond <= 0.02;
    const bool medianOk = median(all) >= 0 && median(all) <= 2;
    const bool maxOk = minimum(all) >= 0 && maximum(all) <= 5;
    std::printf("\ntimer wait targets: CPU <= 2%% %s; median error in [0, 2] ms %s; every error in [0, 5] ms %s\n",
                cpuOk ? "met" : "MISSED", medianOk ? "met" : "MISSED", maxOk ? "met" : "MISSED");
    std::fflush(stdout);
    return 0;
}
