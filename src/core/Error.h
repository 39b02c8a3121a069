#pragma once
// Every failure the program reports is an exception carrying the text the
// operator sees; the application's error box shows it as it stands.

#include <stdexcept>
#include <string>

namespace scb {

class Error : public std::runtime_error
{
public:
    explicit Error(const std::string &message) : std::runtime_error(message) {}
};

// The error box appends a full stop when the text ends in a character whose
// code is above that of '.', so "File access denied" reads as a sentence.
std::string errorBoxText(const std::string &message);

} // namespace scb
