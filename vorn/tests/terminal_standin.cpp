#include "terminal_standin.h"

#include "terminal.h"

terminal_script& terminal()
{
    static terminal_script script;
    return script;
}

bool stderr_is_terminal() { return terminal().present && terminal().shows_progress; }

bool stdout_is_terminal() { return terminal().present && terminal().output_shown; }

bool read_secret_line(const char* prompt, std::string& line)
{
    terminal_script& script = terminal();
    script.prompts.push_back(prompt);
    line.clear();
    if (!script.present || script.answers.empty()) return false;
    line = script.answers.front();
    script.answers.pop_front();
    return true;
}
