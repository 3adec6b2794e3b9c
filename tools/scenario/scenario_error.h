// The one error type of scenario and .reg reading: which file, which line, what is wrong.
// Portable: plain C++, no platform calls; also built by the Windows cross compiler.
#pragma once

#include <stdexcept>
#include <string>

namespace tvx {

class ScenarioError : public std::runtime_error {
public:
    // line 0: the error concerns the whole file (it cannot be read, for example).
    ScenarioError(std::string file, int line, std::string message)
        : std::runtime_error(Compose(file, line, message)),
          file_(std::move(file)),
          line_(line),
          message_(std::move(message)) {}

    const std::string& file() const { return file_; }
    int line() const { return line_; }
    const std::string& message() const { return message_; }

private:
    static std::string Compose(const std::string& file, int line, const std::string& message) {
        return line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
    }

    std::string file_;
    int line_;
    std::string message_;
};

}  // namespace tvx
