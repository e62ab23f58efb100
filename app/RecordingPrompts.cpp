#include "app/RecordingPrompts.h"

Prompts::Button RecordingPrompts::show(const Box& box)
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
