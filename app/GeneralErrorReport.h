#pragma once

#include <string>

class Prompts;

// Shows an error that no handler dealt with: error icon, OK, the program's title as caption and
// the error's message as text.
class GeneralErrorReport
{
public:
    explicit GeneralErrorReport(Prompts& prompts) : m_prompts(prompts) {}

    // `message` is Windows-1251. A full stop is added unless the message already ends in a
    // character whose code is at or below that of '.' (a blank, '!', a quote, a bracket, ',',
    // '-', '.').
    void report(const std::string& message);

private:
    Prompts& m_prompts;
};
