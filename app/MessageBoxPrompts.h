#pragma once

#include "app/Prompts.h"

// The prompts the running program uses: modal QMessageBox windows.
class MessageBoxPrompts : public Prompts
{
public:
    Button show(const Box& box) override;
};
