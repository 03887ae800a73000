#pragma once
#include <sys/wait.h>
#include <cstdio>
#include <string>

// What a shell command printed on standard output and its exit status;
// standard error goes where the command line sends it.
struct TShellResult {
    std::string Output;
    int Status = -1;
};

inline TShellResult Shell(const std::string& command) {
    TShellResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.Output.append(buffer, n);
    const int status = pclose(pipe);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// A word for the shell inside single quotes.
inline std::string ShellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
