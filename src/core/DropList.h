#pragma once
// The file list handed to a drop handler: the dropped paths in the order they
// were delivered, leaving out any path of 255 characters or more (the count
// the handler also gets still includes them), with the chosen letter case.

#include <string>
#include <vector>

namespace scb {

enum DropCharCase { DropKeepCase = 0, DropLowerCase = 1, DropUpperCase = 2 };

// Paths are UTF-8; their length is counted in characters, not bytes. Case
// changes touch ASCII letters only; any other charCase keeps the names.
std::vector<std::string> buildDropList(const std::vector<std::string> &paths, int charCase);

} // namespace scb
