#pragma once
// The bash completion of pictorva-cli, written from its own command table, so a new command or
// option is completed without a second list to keep up to date.

#include <string>

namespace CLI {
class App;
}

/// A bash script defining completion for `program`: commands, their options, the choices of options
/// that take one of a fixed set, file names for the other text values.
std::string bashCompletionScript(const CLI::App& app, const std::string& program);
