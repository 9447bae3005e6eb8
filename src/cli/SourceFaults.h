#pragma once
// How partitions, list, save and carve end a run over a failing medium: the skipped ranges get
// their retry, the bytes that could not be read are counted on stderr, the map of the medium is
// written when asked for, and a medium that shrank underneath ends the run with a message and
// status 1.

#include <string>

class PositionedSource;
struct VolumeOptions;

/// Retries what was skipped and reports the unreadable bytes and a shrunk medium (sourceName as
/// the user gave it). Returns 0, or 1 when the medium shrank during the run.
int reportReading(PositionedSource& source, const std::string& sourceName);

/// reportReading, then writes --bad-map. Returns 0, or 1 when the medium
/// shrank during the run or the map could not be written (the message says which).
int finishReading(PositionedSource& source, const VolumeOptions& options, const std::string& command);

