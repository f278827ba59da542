#pragma once

#include <QString>

#include "gui/common/FileSavePicker.h"

// The save dialog, answered in advance with `answer` (empty: cancelled).
class AnsweringSavePicker final : public IFileSavePicker {
public:
    explicit AnsweringSavePicker(QString answer) : m_answer(std::move(answer)) {}
    QString PickSaveFile(QWidget*, const QString&, const QString&) override { return m_answer; }

private:
    QString m_answer;
};
