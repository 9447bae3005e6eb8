#pragma once
// The results page's line after a save: "work done: N files written, M could not be written",
// then what was partial, skipped as identical or left out as not whole, and a report's failure.

#include <string>

class RecoveryReport;
class SaveWalk;

/// reportError is empty when the report was written.
std::string saveResultLine(const SaveWalk& walk, const RecoveryReport& report, bool onlyWhole, const std::string& reportError);
