#include "main_window.h"

#include "help_window.h"
#include "key_receiver.h"
#include "look.h"
#include "music/song_book.h"
#include "music/text_number.h"
#include "score_box.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace piano {

namespace {
constexpr QRgb kWhite = 0xFFFFFF;
constexpr QRgb kNavy = 0x000080;  // 0x800000 as the window's BGR colour value
constexpr int kSongListDropHeight = 140;
} // namespace

MidiOutputControl::MidiOutputControl(MidiPort& port, QObject* parent) : QObject(parent), port_(port)
{
    setObjectName(QStringLiteral("midi"));
    // Laid out with the other controls but never shown.
    setProperty("place", QRect(24, 64, 26, 26));
}

MainWindow::MainWindow(AppState& state, InfoBox& info, ShellOpener& shell)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      state_(state), info_(info), shell_(shell), playMode_(state)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Velorin v1.01"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    buildControls();
    setTabOrder();
    placeCentred(this, {kMainOuterWidth, kMainOuterHeight});
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() { qApp->removeEventFilter(this); }

void MainWindow::buildControls()
{
    // Created bottom of the stack first, so each later control is drawn over the earlier ones.
    songCaption_ = makeLabel(this, "标签3", QStringLiteral("预定义乐谱："), {9, 7, 80, 24});

    songList_ = new QComboBox(this);
    songList_->setObjectName(QStringLiteral("组合框_预定义乐谱"));
    songList_->setGeometry(88, 9, 192, 20);
    songList_->setEditable(false);
    songList_->setMaxVisibleItems(kSongListDropHeight / (songList_->fontMetrics().height() + 3));
    setColours(songList_, Qt::black, kWhite);
    connect(songList_, &QComboBox::activated, this, [this] { songChosen(); });

    scoreBox_ = new ScoreBox(this);
    scoreBox_->setObjectName(QStringLiteral("编辑框_乐谱"));
    scoreBox_->setGeometry(8, 38, 360, 144);
    scoreBox_->setFont(pixelFont({"Fixedsys", "WenQuanYi Micro Hei Mono", "Monospace"}, 21, false));
    setColours(scoreBox_, kNavy, kWhite);
    scoreBox_->setScore("cdefghij-");

    playButton_ = new QPushButton(QStringLiteral("播放乐谱"), this);
    playButton_->setObjectName(QStringLiteral("按钮_播放乐谱"));
    playButton_->setGeometry(296, 187, 71, 26);
    playButton_->setFont(pixelFont({"宋体", "SimSun", "WenQuanYi Micro Hei"}, 12, true));
    playButton_->setProperty("tag", QStringLiteral("0"));
    connect(playButton_, &QPushButton::clicked, this, [this] { playClicked(); });

    tempoBox_ = new QLineEdit(QStringLiteral("120"), this);
    tempoBox_->setObjectName(QStringLiteral("编辑框_每分钟拍数"));
    tempoBox_->setGeometry(200, 190, 32, 20);
    tempoBox_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    tempoBox_->setMaxLength(std::numeric_limits<int>::max());
    setColours(tempoBox_, Qt::black, kWhite);

    tempoUnit_ = makeLabel(this, "标签1", QStringLiteral("拍/分钟"), {240, 192, 46, 16});

    keyReceiver_ = new KeyReceiver(playMode_, this);
    keyReceiver_->setObjectName(QStringLiteral("按键接收器"));
    keyReceiver_->setGeometry(-9, 189, 184, 24);

    // Covers the check box's tick so the key receiver shows as a plain coloured bar.
    coverLabel_ = makeLabel(this, "标签2", QString(), {-11, 188, 16, 32});

    midi_ = new MidiOutputControl(state_.port, this);

    helpButton_ = new QPushButton(QStringLiteral("使用说明"), this);
    helpButton_->setObjectName(QStringLiteral("按钮_使用说明"));
    helpButton_->setGeometry(296, 6, 72, 26);
    helpButton_->setFont(pixelFont({"宋体", "SimSun", "WenQuanYi Micro Hei"}, 12, false));
    connect(helpButton_, &QPushButton::clicked, this, [this] { openHelp(); });

    linkButton_ = new QPushButton(QStringLiteral("→ Tessaly ←"), this);
    linkButton_->setObjectName(QStringLiteral("按钮1"));
    linkButton_->setGeometry(112, 224, 152, 24);
    connect(linkButton_, &QPushButton::clicked, this, [this] { shell_.open(kWebAddress); });
}

void MainWindow::setTabOrder()
{
    QWidget* const order[] = {songList_, scoreBox_, playButton_, tempoBox_, keyReceiver_, helpButton_, linkButton_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

bool MainWindow::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowActivate:
        if (!frameFitted_)
            frameFitted_ = fitOuterFrame(this, {kMainOuterWidth, kMainOuterHeight});
        break;
    default:
        break;
    }
    return handled;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && widget && widget->window() == this) {
            close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::created()
{
    if (state_.port.deviceCount() == 0) {
        info_.show("未发现MIDI设备！");
        return;
    }
    if (!state_.port.open(0)) {
        info_.show("未能打开默认MIDI设备！");
        return;
    }
    show();
    state_.notes.setPort(&midi_->port());
    state_.table.build();
    keyReceiver_->setFocus(Qt::OtherFocusReason);
    fillSongList();
    if (closed_ || !greetingEnabled_)
        return;
    state_.scores.playScore(kGreetingScore, kGreetingTempo, true);
}

void MainWindow::fillSongList()
{
    songList_->clear();
    for (std::string_view label : songLabels())
        songList_->addItem(QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())));
    songList_->setCurrentIndex(0);
    songChosen();
}

void MainWindow::songChosen()
{
    const Song song = loadSong(songList_->currentIndex() + 1);
    scoreBox_->setScore(song.score);
    tempoBox_->setText(QString::number(song.tempo));
    keyReceiver_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::playClicked()
{
    // A click still queued when the window closed reaches the hidden window: it must not start a run.
    if (closed_)
        return;
    if (playButton_->property("tag").toString() == QLatin1String("0")) {
        playButton_->setProperty("tag", QStringLiteral("1"));
        playButton_->setText(QStringLiteral("停止播放"));
        setBoxesLocked(true);
        const std::int32_t tempo = textToInt(tempoBox_->text().toStdString());
        const std::string score = scoreBox_->score();
        state_.scores.playScore(score, tempo, true);
    }
    state_.scores.requestStop();
    playButton_->setProperty("tag", QStringLiteral("0"));
    playButton_->setText(QStringLiteral("自动播放"));
    setBoxesLocked(false);
}

void MainWindow::setBoxesLocked(bool locked)
{
    for (QWidget* box : {static_cast<QWidget*>(scoreBox_), static_cast<QWidget*>(tempoBox_)}) {
        box->setEnabled(!locked);
        setBackgroundColour(box, locked ? palette().color(QPalette::Button) : QColor(kWhite));
    }
}

void MainWindow::openHelp()
{
    // Nor open a help window that would outlive its owner.
    if (closed_)
        return;
    HelpWindow help(this);
    help.exec();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    willBeDestroyed();
    QWidget::closeEvent(event);
}

void MainWindow::willBeDestroyed()
{
    if (closed_)
        return;
    closed_ = true;
    // A score playing in a handler further up the stack ends at once: its wait is cut short and it sees the stop.
    state_.scores.requestStop();
    state_.pump.stopWaiting();
    state_.port.close();
    // The help window goes with its owner; left open, its modal loop would keep the program running.
    for (QDialog* dialog : findChildren<QDialog*>())
        dialog->reject();
}

} // namespace piano
