#include "app/GeneralErrorReport.h"

#include "app/Prompts.h"
#include "store/Cp1251.h"

namespace {

std::string withFullStop(const std::string& message)
{
    if (message.empty() || static_cast<unsigned char>(message.back()) <= static_cast<unsigned char>('.'))
        return message;
    return message + '.';
}

} // namespace

void GeneralErrorReport::report(const std::string& message)
{
    m_prompts.showMessage(fromCp1251(withFullStop(message)), Prompts::Icon::Error);
}
