#pragma once

#include "app/Prompts.h"

#include <deque>
#include <functional>
#include <vector>

// Prompts for tests: records every box instead of showing it and answers questions from a queue
// (the box's default button when the queue is empty).
class RecordingPrompts : public Prompts
{
public:
    Button show(const Box& box) override
    {
        m_shown.push_back(box);
        if (m_hook)
            m_hook(box);
        if (m_answers.empty())
            return box.defaultButton;
        const Button answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }

    void answerNext(Button answer) { m_answers.push_back(answer); }
    const std::vector<Box>& shown() const { return m_shown; }
    void clear() { m_shown.clear(); }
    // Called with each box as it is shown, before the answer is given.
    void onShow(std::function<void(const Box&)> hook) { m_hook = std::move(hook); }

private:
    std::vector<Box> m_shown;
    std::deque<Button> m_answers;
    std::function<void(const Box&)> m_hook;
};
