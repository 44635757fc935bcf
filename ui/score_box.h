#pragma once

#include <QPlainTextEdit>

#include <string>
#include <string_view>

namespace piano {

// The multi-line score editor. Scores go in and out with CR LF line breaks.
class ScoreBox final : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit ScoreBox(QWidget* parent);

    std::string score() const;
    void setScore(std::string_view score);
};

} // namespace piano
