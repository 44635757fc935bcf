#pragma once

#include "app_state.h"
#include "platform.h"
#include "play_mode.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace piano {

class KeyReceiver;
class ScoreBox;

inline constexpr int kMainOuterWidth = 380;
inline constexpr int kMainOuterHeight = 283;

// The non-visual MIDI output control: the port the note player sends through.
class MidiOutputControl final : public QObject {
public:
    MidiOutputControl(MidiPort& port, QObject* parent);
    MidiPort& port() { return port_; }

private:
    MidiPort& port_;
};

class MainWindow final : public QWidget {
    Q_OBJECT

public:
    MainWindow(AppState& state, InfoBox& info, ShellOpener& shell);
    ~MainWindow() override;

    // Runs once the window and its controls exist, before it is first shown: opens the
    // MIDI device, builds the key-note table, enters play mode, loads the song list
    // and plays the greeting.
    void created();
    bool closed() const { return closed_; }
    // Tests turn the start-up greeting off so they need not wait for it.
    void setGreetingEnabled(bool enabled) { greetingEnabled_ = enabled; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void setTabOrder();
    void fillSongList();
    void songChosen();
    void playClicked();
    void setBoxesLocked(bool locked);
    void openHelp();
    void willBeDestroyed();

    AppState& state_;
    InfoBox& info_;
    ShellOpener& shell_;
    PlayMode playMode_;
    MidiOutputControl* midi_ = nullptr;

    QPushButton* linkButton_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    QLabel* coverLabel_ = nullptr;
    KeyReceiver* keyReceiver_ = nullptr;
    QLabel* tempoUnit_ = nullptr;
    QLineEdit* tempoBox_ = nullptr;
    QPushButton* playButton_ = nullptr;
    ScoreBox* scoreBox_ = nullptr;
    QComboBox* songList_ = nullptr;
    QLabel* songCaption_ = nullptr;

    bool closed_ = false;
    bool frameFitted_ = false;
    bool greetingEnabled_ = true;
};

} // namespace piano
