#pragma once

#include <string>

namespace piano {

// The maker's web site: opened by the link button and shown in the help text.
inline constexpr const char* kWebAddress = "https://example.org/tessaly";

// Shows a blocking information message with its OK button.
class InfoBox {
public:
    virtual ~InfoBox() = default;
    virtual void show(const std::string& text) = 0;
};

// Hands a web address to the desktop to open; the outcome is not reported.
class ShellOpener {
public:
    virtual ~ShellOpener() = default;
    virtual void open(const std::string& address) = 0;
};

} // namespace piano
