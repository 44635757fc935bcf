#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace piano {

inline constexpr int kHelpOuterWidth = 381;
inline constexpr int kHelpOuterHeight = 253;

// How to play and how to write scores; opened modally from the main window.
class HelpWindow final : public QDialog {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* owner);

    static QString helpText();

protected:
    bool event(QEvent* event) override;

private:
    bool frameFitted_ = false;
};

} // namespace piano
