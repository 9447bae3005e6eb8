#pragma once
// Each command adds itself to the application; its callback stores the exit status in exitCode
// (0 the work ran, 1 it could not; usage errors are 2 and come from the parser).

namespace CLI {
class App;
}

void registerDrivesCommand(CLI::App& app, int& exitCode);
void registerPartitionsCommand(CLI::App& app, int& exitCode);
void registerCarveCommand(CLI::App& app, int& exitCode);
void registerSignaturesCommand(CLI::App& app, int& exitCode);
void registerListCommand(CLI::App& app, int& exitCode);
void registerSaveCommand(CLI::App& app, int& exitCode);
void registerImageCommand(CLI::App& app, int& exitCode);
