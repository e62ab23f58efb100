#include "app/GeneralErrorReport.h"

#include "app/Prompts.h"
#include "store/Cp1251.h"

std::string GeneralErrorReport::withFullStop(const std::string& message)
{
    if (message.empty() || static_cast<unsigned char>(message.back()) <= static_cast<unsigned char>('.'))
        return message;
    return message + '.';
}

void GeneralErrorReport::report(const std::string& message)
{
    m_prompts.showMessage(fromCp1251(withFullStop(message)), Prompts::Icon::Error);
}
