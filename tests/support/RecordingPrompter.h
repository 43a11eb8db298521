#pragma once

#include "gui/Prompter.h"

#include <QStringList>

#include <deque>

/// Message boxes for tests: every text shown is recorded, questions take the answers queued
/// (No when none is left).
class RecordingPrompter final : public IPrompter
{
public:
    RecordingPrompter(QStringList& shown, std::deque<bool>& answers)
        : m_shown(shown), m_answers(answers)
    {
    }

    void information(QWidget*, const QString& text) override { m_shown << text; }
    bool question(QWidget*, const QString& text, Icon) override
    {
        m_shown << text;
        if (m_answers.empty())
            return false;
        const bool answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }

private:
    QStringList& m_shown;
    std::deque<bool>& m_answers;
};
